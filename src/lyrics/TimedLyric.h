// A lyric file read for exact timing: every timed line with its time in milliseconds, sorted,
// gathered into groups of lines that share a time (an original and its translations), plus the
// header tags and the file's [offset:]. It is read from the same lines as the raw-line model
// (LyricTextBytes, then SplitLyricLines), so the encoding rules are the same: a byte-order mark
// chooses UTF-8 or UTF-16 (which arrives here as UTF-8), otherwise the bytes are UTF-8 when the
// whole text is valid UTF-8, else GB18030. Texts stay bytes; the *Text functions decode them.
//
// What a line may hold:
//   [mm:ss]  [mm:ss.xx]  [mm:ss.xxx]  [mm:ss:xx]  [m:ss.xx]  [h:mm:ss.xx]   time stamps; blanks
//                     inside the brackets are ignored; several stamps before the text give the
//                     line once per stamp
//   [key:value]       a header tag (ti, ar, al, by, offset, length, re, ...), on any line; the
//                     first [offset:] of the file counts; a value it cannot read counts as 0
//   <mm:ss.xx>        a word time inside the text ("enhanced" files); [mm:ss.xx] inside the
//                     text is taken the same way. Both are kept as the line's words and are not
//                     part of its text
// A stamp with no text is a timed empty line: it clears the strip. Lines with neither stamps
// nor tags (plain text, broken stamps such as "[0a:12]x" or "[00:12.00x") are not timed; a file
// with no timed line at all keeps them as its untimed text.
//
// The offset: a positive [offset:] shows the lines earlier. A line stamped s is due at
// s - offset on the lyric's clock, and the lyric's clock is the play position less the output
// delay, so it shows once  play - delay >= s - offset.
//
// Groups. Sorted by time (equal times keep file order), lines whose stamps lie within 10 ms of a
// group's first stamp join that group; inside a group the lines are in file order, so an
// original stays first even when its translation was stamped a few milliseconds earlier. A timed
// empty line in a group with text is dropped; a group of empty lines is one empty line.
//
// Originals and translations. Not every group is a translation pair: two singers of a duet
// share a stamp too. The rule looks at the whole file: its "layers" are the most common number
// of lines per group (the smaller on a tie).
//   - One layer (a plain file; shared stamps are the exception, as in a duet): every line of a
//     group is original text. They are shown together, joined by " / ", and nothing is hidden.
//   - L > 1 layers (a bilingual file has 2, one with a romanisation too has 3): a group of n
//     lines is ceil(n / L) original lines followed by translations. A usual group (n == L) is
//     one original and its translations; a duet in a bilingual file (two lines, two
//     translations) is two originals and two translations; a line left untranslated is one
//     original alone.
// Originals are always shown; translations only with "show translation" on, after the
// originals and lighter. So no line is ever lost, and hiding translations hides only lines
// that stand in a translation's place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

// One piece of a word-timed line: the time its word starts (as stamped, before the offset)
// and its bytes. Text before the first word time starts with the line.
struct TimedWord {
  std::int64_t stampMs = 0;
  std::string text;
  bool operator==(const TimedWord&) const = default;
};

struct TimedLine {
  std::int64_t stampMs = 0;  // as stamped, before the offset
  // The text's bytes with stamps and word times taken out, blanks and control characters trimmed
  // at both ends. Empty: a timed empty line.
  std::string text;
  std::vector<TimedWord> words;  // empty unless the line has word times
  std::size_t sourceLine = 0;    // index of the file line it comes from
  bool operator==(const TimedLine&) const = default;
};

struct LyricTag {
  std::string key;    // lower-cased ("ti", "ar", "offset", ...)
  std::string value;  // bytes, trimmed
};

struct LyricGroup {
  std::int64_t stampMs = 0;  // the earliest stamp of its lines
  std::size_t first = 0;     // its lines: TimedLyric::lines[first, first + count)
  std::size_t count = 1;
  std::size_t originals = 1;  // the first `originals` of them are original text, the rest
                              // translations; 1 <= originals <= count
  bool empty = false;         // a timed empty line: the strip is cleared
};

struct TimedLyric {
  std::vector<TimedLine> lines;      // in time order, grouped
  std::vector<LyricGroup> groups;    // in time order; strictly increasing stampMs
  std::vector<LyricTag> tags;        // header tags in file order
  std::vector<std::string> untimed;  // lines that are neither timed nor tags (bytes, as read)
  std::int64_t offsetMs = 0;         // the file's first [offset:], 0 without one
  int layers = 1;                    // lines per group in most groups (see above)
  bool utf8 = true;                  // the text is valid UTF-8; else it is GB18030
};

// Reads the lines of a lyric file (as SplitLyricLines(LyricTextBytes(file)) gives them).
TimedLyric ParseTimedLyric(const std::vector<std::string>& lines);
// The same from the file's bytes.
TimedLyric ParseTimedLyricBytes(std::string_view fileBytes);

// The first value of a header tag (key in lower case), or empty.
std::string_view LyricTagValue(const TimedLyric& lyric, std::string_view key);

inline constexpr std::int64_t kNoLyricChange = std::numeric_limits<std::int64_t>::max();

struct LyricPosition {
  int group = -1;  // the current group; -1 before the first one
  // The play position (ms) at which the current group gives way to the next one, for a
  // single-shot timer; kNoLyricChange after the last group.
  std::int64_t nextChangeMs = kNoLyricChange;
};

// The group current at play position playMs with the output delay delayMs and the offset
// offsetMs (the file's, or one the user has moved): the last group whose stamp s has
// playMs - delayMs >= s - offsetMs. O(log n) in the number of groups.
LyricPosition FindLyricGroup(const TimedLyric& lyric, std::int64_t playMs, std::int64_t delayMs,
                             std::int64_t offsetMs);

// The strip's texts of a group, decoded to UTF-8: the original lines joined by " / ", and the
// translation lines joined the same way (empty when it has none). Both are empty for an empty
// group; a group index out of range gives two empty texts.
struct LyricGroupText {
  std::string original;
  std::string translation;
  bool operator==(const LyricGroupText&) const = default;
};
LyricGroupText GroupText(const TimedLyric& lyric, int group);

// A piece of the lyric's bytes (a line's text, a word, a tag value) decoded as the file's
// encoding, to UTF-8.
std::string LyricDisplayText(const TimedLyric& lyric, std::string_view bytes);

// The lyric as plain UTF-8 text for the media controls (xesam:asText): one line per timed line
// in time order (a timed empty line gives an empty line, once per group), without stamps, word
// times or header tags, lines joined by "\n". A file without timed lines gives its untimed lines
// instead, in file order, without leading and trailing empty lines.
std::string LyricPlainText(const TimedLyric& lyric);

}  // namespace quillet
