// Text rules of the lyric editor. A text is the whole editor text, lines joined by "\r\n".
#pragma once

#include <string>
#include <string_view>

namespace quillet {

// Every lone CR and every lone LF becomes CR LF.
std::string NormaliseLineBreaks(std::string_view bytes);

// Completes the header skeleton of an imported text: for k = 0..3, unless line k (upper-cased
// for A-Z) holds "[TI:", "[AR:", "[AL:", "[BY:" respectively, the bare tag line ("[TI:]" ...)
// is inserted as a new line k. A text of n line breaks has n + 1 lines, so an empty text has one
// empty line; inserting before an existing line adds the tag and a line break, inserting at
// the end adds a line break and the tag.
std::string CompleteHeaderSkeleton(std::string_view text);

// "[" + time + "]" + line.
std::string StampLine(std::string_view lineText, std::string_view timeText);

}  // namespace quillet
