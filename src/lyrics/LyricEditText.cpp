#include "lyrics/LyricEditText.h"

#include <algorithm>
#include <array>
#include <vector>

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

}  // namespace quillet
