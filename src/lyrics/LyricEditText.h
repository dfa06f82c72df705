// Text rules of the lyric editor. A text is the whole editor text, lines joined by "\r\n".
#pragma once

#include <string>
#include <string_view>

namespace quillet {

// Every lone CR and every lone LF becomes CR LF.
std::string NormaliseLineBreaks(std::string_view bytes);

// Completes the "[TI:]" "[AR:]" "[AL:]" "[BY:]" header skeleton of an imported text.
std::string CompleteHeaderSkeleton(std::string_view text);

// "[" + time + "]" + line.
std::string StampLine(std::string_view lineText, std::string_view timeText);

}  // namespace quillet
