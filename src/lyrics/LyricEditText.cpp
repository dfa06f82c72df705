#include "lyrics/LyricEditText.h"

#include <algorithm>
#include <array>
#include <vector>

#include "lyrics/LrcTags.h"

namespace quillet {

std::string NormaliseLineBreaks(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 16);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (c == '\r') {
      out += "\r\n";
      if (i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    } else if (c == '\n') {
      out += "\r\n";
    } else {
      out += c;
    }
  }
  return out;
}

namespace {

bool ContainsUpper(std::string_view line, std::string_view tag) {
  auto it = std::search(line.begin(), line.end(), tag.begin(), tag.end(), [](char a, char b) {
    return ((a >= 'a' && a <= 'z') ? static_cast<char>(a - 'a' + 'A') : a) == b;
  });
  return it != line.end();
}

}  // namespace

std::string CompleteHeaderSkeleton(std::string_view text) {
  // The editor's lines: the pieces between the CR LF pairs.
  std::vector<std::string> lines;
  std::size_t at = 0;
  for (;;) {
    const std::size_t brk = text.find("\r\n", at);
    if (brk == std::string_view::npos) {
      lines.emplace_back(text.substr(at));
      break;
    }
    lines.emplace_back(text.substr(at, brk - at));
    at = brk + 2;
  }

  static constexpr std::array<std::pair<std::string_view, std::string_view>, 4> kSkeleton{{
      {"[TI:", "[TI:]"},
      {"[AR:", "[AR:]"},
      {"[AL:", "[AL:]"},
      {"[BY:", "[BY:]"},
  }};
  for (std::size_t k = 0; k < kSkeleton.size(); ++k) {
    const auto& [probe, line] = kSkeleton[k];
    if (k < lines.size() && ContainsUpper(lines[k], probe)) continue;
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(std::min(k, lines.size())),
                 std::string(line));
  }

  std::string out;
  out.reserve(text.size() + 32);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i) out += "\r\n";
    out += lines[i];
  }
  return out;
}

std::string StampLine(std::string_view lineText, std::string_view timeText) {
  std::string out;
  out.reserve(lineText.size() + timeText.size() + 2);
  out += '[';
  out += timeText;
  out += ']';
  out += lineText;
  return out;
}

std::string HundredthsTimeText(std::int64_t ms) {
  if (ms < 0) ms = 0;
  const std::int64_t minutes = ms / 60000;
  const int seconds = static_cast<int>(ms / 1000 % 60);
  const int hundredths = static_cast<int>(ms / 10 % 100);
  std::string out = minutes < 10 ? "0" + std::to_string(minutes) : std::to_string(minutes);
  out += ':';
  out += static_cast<char>('0' + seconds / 10);
  out += static_cast<char>('0' + seconds % 10);
  out += '.';
  out += static_cast<char>('0' + hundredths / 10);
  out += static_cast<char>('0' + hundredths % 10);
  return out;
}

std::int64_t EditorStampMs(std::int64_t playMs, std::int64_t delayMs, std::int64_t offsetMs) {
  return std::max<std::int64_t>(0, playMs - delayMs + offsetMs);
}

namespace {

// The first leading stamp of a line, or -1 when it has none.
std::int64_t FirstStamp(std::string_view line) {
  std::int64_t first = -1;
  lrc::ReadLineShape<char>(
      line,
      [&](std::int64_t ms) {
        if (first < 0) first = ms;
      },
      [](const lrc::TagParts&) {});
  return first;
}

constexpr std::int64_t kGroupSpanMs = 10;

}  // namespace

std::pair<std::size_t, std::size_t> StampGroupRange(const std::vector<std::string>& lines,
                                                    std::size_t index) {
  if (index >= lines.size()) return {index, index};
  const std::int64_t stamp = FirstStamp(lines[index]);
  if (stamp < 0) return {index, index};
  const auto same = [&](std::size_t i) {
    const std::int64_t s = FirstStamp(lines[i]);
    return s >= 0 && (s > stamp ? s - stamp : stamp - s) <= kGroupSpanMs;
  };
  std::size_t first = index, last = index;
  while (first > 0 && same(first - 1)) --first;
  while (last + 1 < lines.size() && same(last + 1)) ++last;
  return {first, last};
}

std::int64_t LyricOffsetOf(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    const std::string_view view(line);
    const lrc::LineShape<char> shape = lrc::ReadLineShape<char>(
        view, [](std::int64_t) {}, [](const lrc::TagParts&) {});
    if (!shape.offsetFound) continue;
    std::int64_t ms = 0;
    const lrc::TagParts& o = shape.offset;
    return lrc::ParseOffset(view.substr(o.valueBegin, o.valueEnd - o.valueBegin), &ms) ? ms : 0;
  }
  return 0;
}

}  // namespace quillet
