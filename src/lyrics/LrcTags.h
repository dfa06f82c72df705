// The bracket grammar of LRC lines, shared by the timed lyric reader and the offset writer. It
// works on code units of any width (bytes of UTF-8 or GB18030 text, or UTF-16 units), so the
// writer finds exactly the tags the reader reads, whatever the file's encoding. Every character
// the grammar looks at is ASCII; other units only ever stand inside values and lyric text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace quillet::lrc {

// Minutes, hours and offsets are read with at most this many digits, so no sum overflows.
inline constexpr int kMaxNumberDigits = 9;

template <typename C>
constexpr bool IsBlank(C c) {
  return c == C(' ') || c == C('\t');
}
template <typename C>
constexpr bool IsDigit(C c) {
  return c >= C('0') && c <= C('9');
}
template <typename C>
constexpr bool IsLetter(C c) {
  return (c >= C('a') && c <= C('z')) || (c >= C('A') && c <= C('Z'));
}
template <typename C>
constexpr C LowerAscii(C c) {
  return (c >= C('A') && c <= C('Z')) ? C(c - C('A') + C('a')) : c;
}

// Reads 1..maxDigits digits as a number; false for anything else.
template <typename C>
bool ReadNumber(std::basic_string_view<C> s, int maxDigits, std::int64_t* value) {
  if (s.empty() || std::ssize(s) > maxDigits) return false;
  std::int64_t v = 0;
  for (C c : s) {
    if (!IsDigit(c)) return false;
    v = v * 10 + (c - C('0'));
  }
  *value = v;
  return true;
}

// The inside of a time stamp (what stands between "[" and "]", or "<" and ">") as milliseconds.
// Blanks anywhere inside are ignored. Forms, with m minutes of 1 to 9 digits, s seconds of 1 or
// 2 digits, f a fraction of 1 to 3 digits (tenths, hundredths, thousandths; further digits are
// cut off) and h hours:
//   m:s   m:s.f   m:s:f   h:m:s.f
// Anything else (signs, letters, empty parts, more than 64 characters) is no stamp.
template <typename C>
bool ParseStamp(std::basic_string_view<C> inside, std::int64_t* ms) {
  // No stamp is this long, blanks and all; the limit keeps a line of many brackets linear.
  if (inside.size() > 64) return false;
  C buf[40];
  std::size_t n = 0;
  for (C c : inside) {
    if (IsBlank(c)) continue;
    if (n == sizeof buf / sizeof buf[0]) return false;
    buf[n++] = c;
  }
  const std::basic_string_view<C> s(buf, n);
  // Up to three colon-separated parts; the last may hold one dot.
  std::basic_string_view<C> part[3];
  int parts = 0;
  std::size_t at = 0;
  for (;;) {
    const std::size_t colon = s.find(C(':'), at);
    if (parts == 3) return false;
    if (colon == std::basic_string_view<C>::npos) {
      part[parts++] = s.substr(at);
      break;
    }
    part[parts++] = s.substr(at, colon - at);
    at = colon + 1;
  }
  if (parts < 2) return false;
  std::basic_string_view<C> last = part[parts - 1];
  std::basic_string_view<C> fraction;
  bool hasFraction = false;
  const std::size_t dot = last.find(C('.'));
  if (dot != std::basic_string_view<C>::npos) {
    fraction = last.substr(dot + 1);
    last = last.substr(0, dot);
    hasFraction = true;
  }
  std::int64_t hours = 0, minutes = 0, seconds = 0, milli = 0;
  if (parts == 3 && !hasFraction) {
    // m:s:f, the colon standing for the decimal point.
    fraction = last;
    hasFraction = true;
    if (!ReadNumber(part[0], kMaxNumberDigits, &minutes) || !ReadNumber(part[1], 2, &seconds))
      return false;
  } else if (parts == 3) {
    if (!ReadNumber(part[0], kMaxNumberDigits, &hours) ||
        !ReadNumber(part[1], kMaxNumberDigits, &minutes) || !ReadNumber(last, 2, &seconds))
      return false;
  } else {
    if (!ReadNumber(part[0], kMaxNumberDigits, &minutes) || !ReadNumber(last, 2, &seconds))
      return false;
  }
  if (hasFraction) {
    if (fraction.empty()) return false;
    for (C c : fraction) {
      if (!IsDigit(c)) return false;
    }
    static constexpr int kScale[3] = {100, 10, 1};
    for (std::size_t i = 0; i < fraction.size() && i < 3; ++i) {
      milli += (fraction[i] - C('0')) * kScale[i];
    }
  }
  *ms = ((hours * 60 + minutes) * 60 + seconds) * 1000 + milli;
  return true;
}

// One bracket group at the start of a line part: "[" inside "]".
template <typename C>
struct Bracket {
  std::size_t open = 0;   // position of "["
  std::size_t close = 0;  // position of "]"
  std::basic_string_view<C> Inside(std::basic_string_view<C> line) const {
    return line.substr(open + 1, close - open - 1);
  }
};

// The bracket group that starts at `at` after blanks, if there is one closed on this line.
template <typename C>
bool NextBracket(std::basic_string_view<C> line, std::size_t at, Bracket<C>* out) {
  while (at < line.size() && IsBlank(line[at])) ++at;
  if (at >= line.size() || line[at] != C('[')) return false;
  const std::size_t close = line.find(C(']'), at + 1);
  if (close == std::basic_string_view<C>::npos) return false;
  out->open = at;
  out->close = close;
  return true;
}

// A header tag "[key:value]": the key a letter then letters, digits, "_" or "-", blanks around
// it allowed; the value everything up to the first "]".
struct TagParts {
  std::size_t keyBegin = 0, keyEnd = 0;      // within the line
  std::size_t valueBegin = 0, valueEnd = 0;  // within the line, untrimmed
};

template <typename C>
bool ParseTag(std::basic_string_view<C> line, const Bracket<C>& b, TagParts* out) {
  std::size_t i = b.open + 1;
  while (i < b.close && IsBlank(line[i])) ++i;
  if (i >= b.close || !IsLetter(line[i])) return false;
  const std::size_t keyBegin = i;
  while (i < b.close &&
         (IsLetter(line[i]) || IsDigit(line[i]) || line[i] == C('_') || line[i] == C('-')))
    ++i;
  const std::size_t keyEnd = i;
  while (i < b.close && IsBlank(line[i])) ++i;
  if (i >= b.close || line[i] != C(':')) return false;
  *out = {keyBegin, keyEnd, i + 1, b.close};
  return true;
}

template <typename C>
bool KeyIs(std::basic_string_view<C> key, std::string_view lowerName) {
  if (key.size() != lowerName.size()) return false;
  for (std::size_t i = 0; i < key.size(); ++i) {
    if (LowerAscii(key[i]) != C(lowerName[i])) return false;
  }
  return true;
}

// An offset value: blanks, an optional sign, blanks, 1 to 9 digits, blanks. False for
// anything else.
template <typename C>
bool ParseOffset(std::basic_string_view<C> v, std::int64_t* ms) {
  std::size_t i = 0;
  while (i < v.size() && IsBlank(v[i])) ++i;
  bool negative = false;
  if (i < v.size() && (v[i] == C('+') || v[i] == C('-'))) {
    negative = v[i] == C('-');
    ++i;
    while (i < v.size() && IsBlank(v[i])) ++i;
  }
  std::size_t end = v.size();
  while (end > i && IsBlank(v[end - 1])) --end;
  std::int64_t value = 0;
  if (!ReadNumber(v.substr(i, end - i), kMaxNumberDigits, &value)) return false;
  *ms = negative ? -value : value;
  return true;
}

// A line as the reader takes it apart: leading time stamps, or else leading header tags.
template <typename C>
struct LineShape {
  int stamps = 0;             // leading stamps
  std::size_t textBegin = 0;  // after the stamps (or the tags)
  int tags = 0;               // leading tags, when there is no stamp
  bool offsetFound = false;   // one of the tags is "offset"
  TagParts offset;            // the first such tag
};

// Walks the leading bracket groups of a line. With `stamp` not null it is called with the time
// of each leading stamp; with `tag` not null, with each leading tag of a line that has no stamp.
template <typename C, typename OnStamp, typename OnTag>
LineShape<C> ReadLineShape(std::basic_string_view<C> line, OnStamp stamp, OnTag tag) {
  LineShape<C> shape;
  Bracket<C> b;
  std::size_t at = 0;
  std::int64_t ms = 0;
  while (NextBracket(line, at, &b) && ParseStamp(b.Inside(line), &ms)) {
    stamp(ms);
    ++shape.stamps;
    at = b.close + 1;
  }
  if (shape.stamps > 0) {
    shape.textBegin = at;
    return shape;
  }
  TagParts parts;
  while (NextBracket(line, at, &b) && ParseTag(line, b, &parts)) {
    const auto key = line.substr(parts.keyBegin, parts.keyEnd - parts.keyBegin);
    if (!shape.offsetFound && KeyIs(key, "offset")) {
      shape.offsetFound = true;
      shape.offset = parts;
    }
    tag(parts);
    ++shape.tags;
    at = b.close + 1;
  }
  shape.textBegin = at;
  return shape;
}

}  // namespace quillet::lrc
