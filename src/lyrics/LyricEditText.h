// Text rules of the lyric editor. A text is the whole editor text, lines joined by "\r\n".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

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

// The exact stamp's time text: "mm:ss.xx", minutes, seconds and hundredths each truncated and
// padded to two digits, minutes unbounded ("01:02.34", "100:00.00"); below 0 counts as 0.
std::string HundredthsTimeText(std::int64_t ms);

// The stamp for a line heard now: the play position less the output delay gives what is
// heard, and the lyric's offset is added back so that the reader (stamp - offset) puts the line
// at that moment. Never below 0.
std::int64_t EditorStampMs(std::int64_t playMs, std::int64_t delayMs, std::int64_t offsetMs);

// The lines one tap stamps together: the line `index` and the lines next to it, before and
// after, whose first stamp lies within 10 ms of its first stamp (an original and its
// translations, stamped before). A line without a stamp is a group of its own. Returns the
// first and the last line, inclusive; {index, index} for an index out of range.
std::pair<std::size_t, std::size_t> StampGroupRange(const std::vector<std::string>& lines,
                                                    std::size_t index);

// The first [offset:] of a text's lines as the timed reader reads it; 0 without one.
std::int64_t LyricOffsetOf(const std::vector<std::string>& lines);

}  // namespace quillet
