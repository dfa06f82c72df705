#include "lyrics/LyricOffset.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "lyrics/LrcTags.h"

namespace quillet {

namespace {

constexpr char kCtrlZ = 26;

// A line as the reader sees it (lone CRs dropped, cut at a Ctrl-Z), with the place of each of
// its units in the text.
template <typename C>
struct LogicalLine {
  std::basic_string<C> units;
  std::vector<std::size_t> at;  // text position of units[i]; one more entry: where it ends
  std::size_t next = 0;         // where the following line starts
  bool hasEnd = false;          // ended by LF or CR LF (not by the end of the text)
  std::size_t endLength = 0;    // 1 for LF, 2 for CR LF right after its units; else 0
  bool endsText = false;        // a Ctrl-Z at its start: the reader stops here
};

// The line starting at `from`, split by the reader's rules (SplitLyricLines).
template <typename C>
LogicalLine<C> ReadLine(std::basic_string_view<C> text, std::size_t from) {
  LogicalLine<C> line;
  std::size_t i = from;
  const std::size_t n = text.size();
  while (i < n) {
    const C c = text[i];
    if (c == C('\n')) {
      line.hasEnd = true;
      line.endLength = 1;
      line.at.push_back(i);
      line.next = i + 1;
      return line;
    }
    if (c == C('\r')) {
      if (i + 1 < n && text[i + 1] == C('\n')) {
        line.hasEnd = true;
        line.endLength = 2;
        line.at.push_back(i);
        line.next = i + 2;
        return line;
      }
      ++i;
      continue;
    }
    if (c == C(kCtrlZ)) {
      line.at.push_back(i);
      if (line.units.empty()) {
        line.endsText = true;
        line.next = n;
        return line;
      }
      const std::size_t lf = text.find(C('\n'), i);
      line.hasEnd = lf != std::basic_string_view<C>::npos;
      line.next = line.hasEnd ? lf + 1 : n;
      return line;
    }
    line.units += c;
    line.at.push_back(i);
    ++i;
  }
  line.at.push_back(n);
  line.next = n;
  return line;
}

template <typename C>
std::basic_string<C> Widen(std::string_view ascii) {
  return std::basic_string<C>(ascii.begin(), ascii.end());
}

template <typename C>
bool BlankLine(std::basic_string_view<C> s) {
  return std::all_of(s.begin(), s.end(), [](C c) { return lrc::IsBlank(c); });
}

// Sets the offset in a text of units; see SetLyricOffsetBytes.
template <typename C>
std::basic_string<C> SetOffsetIn(std::basic_string_view<C> text, std::int64_t offsetMs) {
  const std::basic_string<C> value = Widen<C>(std::to_string(offsetMs));
  const auto noTag = [](const lrc::TagParts&) {};
  const auto noStamp = [](std::int64_t) {};

  std::basic_string<C> lineEnd;
  std::size_t insertAt = 0;  // after the header lines
  bool afterLineWithoutEnd = false;
  bool inHeader = true;
  for (std::size_t from = 0; from < text.size();) {
    const LogicalLine<C> line = ReadLine(text, from);
    if (line.endsText) break;
    if (lineEnd.empty() && line.endLength > 0) {
      lineEnd = line.endLength == 1 ? Widen<C>("\n") : Widen<C>("\r\n");
    }
    const std::basic_string_view<C> units(line.units);
    const lrc::LineShape<C> shape = lrc::ReadLineShape<C>(units, noStamp, noTag);
    if (shape.offsetFound) {
      // Replace the value: from its first unit up to the "]".
      const std::size_t begin = line.at[shape.offset.valueBegin];
      const std::size_t end = line.at[shape.offset.valueEnd];
      std::basic_string<C> out(text.substr(0, begin));
      out += value;
      out += text.substr(end);
      return out;
    }
    if (inHeader) {
      if (shape.stamps == 0 && shape.tags > 0) {
        insertAt = line.next;
        afterLineWithoutEnd = !line.hasEnd;
      } else if (!BlankLine(units)) {
        inHeader = false;
      }
    }
    from = line.next;
  }
  if (lineEnd.empty()) lineEnd = Widen<C>("\r\n");

  const std::basic_string<C> tag = Widen<C>("[offset:") + value + C(']');
  std::basic_string<C> out(text.substr(0, insertAt));
  if (afterLineWithoutEnd) {
    out += lineEnd;
    out += tag;
  } else {
    out += tag;
    out += lineEnd;
  }
  out += text.substr(insertAt);
  return out;
}

std::string SetOffsetUtf16(std::string_view body, bool littleEndian, std::int64_t offsetMs) {
  std::u16string units;
  units.reserve(body.size() / 2);
  for (std::size_t i = 0; i + 1 < body.size(); i += 2) {
    const auto lo = static_cast<unsigned char>(body[littleEndian ? i : i + 1]);
    const auto hi = static_cast<unsigned char>(body[littleEndian ? i + 1 : i]);
    units += static_cast<char16_t>(lo | (hi << 8));
  }
  const std::u16string changed = SetOffsetIn<char16_t>(units, offsetMs);
  std::string out;
  out.reserve(changed.size() * 2 + 1);
  for (char16_t u : changed) {
    const char lo = static_cast<char>(u & 0xFF);
    const char hi = static_cast<char>(u >> 8);
    out += littleEndian ? lo : hi;
    out += littleEndian ? hi : lo;
  }
  // A trailing odd byte is no unit; it stays where it was, at the end.
  if (body.size() % 2) out += body.back();
  return out;
}

std::string Seconds(std::int64_t ms) {
  std::string s = std::to_string(ms / 1000);
  std::int64_t frac = ms % 1000;
  if (frac) {
    std::string digits = std::to_string(1000 + frac).substr(1);
    while (digits.back() == '0') digits.pop_back();
    s += '.' + digits;
  }
  return s;
}

}  // namespace

std::string SetLyricOffsetBytes(std::string_view fileBytes, std::int64_t offsetMs) {
  offsetMs = std::clamp(offsetMs, -kMaxLyricOffsetMs, kMaxLyricOffsetMs);
  if (fileBytes.starts_with("\xFF\xFE") || fileBytes.starts_with("\xFE\xFF")) {
    const bool le = fileBytes.starts_with("\xFF\xFE");
    return std::string(fileBytes.substr(0, 2)) + SetOffsetUtf16(fileBytes.substr(2), le, offsetMs);
  }
  const std::size_t mark = fileBytes.starts_with("\xEF\xBB\xBF") ? 3 : 0;
  return std::string(fileBytes.substr(0, mark)) +
         SetOffsetIn<char>(fileBytes.substr(mark), offsetMs);
}

IoResult WriteLyricOffset(const std::string& path, std::int64_t offsetMs) {
  std::string bytes;
  IoResult io = ReadWholeFile(path, &bytes);
  if (!io.ok) return io;
  const std::string changed = SetLyricOffsetBytes(bytes, offsetMs);
  if (changed == bytes) return {};
  return WriteFileAtomic(path, changed);
}

std::string LyricOffsetNotice(std::int64_t deltaMs) {
  if (deltaMs == 0) return "歌词时间复原";
  if (deltaMs > 0) return "歌词提前 " + Seconds(deltaMs) + " 秒";
  // Negating the smallest value would overflow; no move is ever that large.
  return "歌词延后 " +
         Seconds(deltaMs == std::numeric_limits<std::int64_t>::min()
                     ? std::numeric_limits<std::int64_t>::max()
                     : -deltaMs) +
         " 秒";
}

}  // namespace quillet
