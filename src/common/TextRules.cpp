#include "common/TextRules.h"

#include <cstdint>

namespace quillet {

namespace {

std::string TwoDigits(std::int64_t n) {
  std::string text = std::to_string(n);
  if (n <= 9) text.insert(text.begin(), '0');
  return text;
}

}  // namespace

std::string TrimControl(std::string_view s) {
  auto isControl = [](char c) { return static_cast<unsigned char>(c) <= 32; };
  std::size_t b = 0, e = s.size();
  while (b < e && isControl(s[b])) ++b;
  while (e > b && isControl(s[e - 1])) --e;
  return std::string(s.substr(b, e - b));
}

std::string TimeText(double seconds) {
  // Times come from unsigned positions; a negative, NaN or absurdly large value would make the
  // integer conversions below undefined, so it reads as the nearest sane time instead.
  if (!(seconds > 0)) seconds = 0;
  if (seconds > 1e15) seconds = 1e15;
  const auto minutes = static_cast<std::int64_t>(seconds / 60);
  const auto secs = static_cast<std::int64_t>(seconds) % 60;
  std::string text = TwoDigits(minutes);
  text += ':';
  text += TwoDigits(secs);
  return text;
}

std::string AudioErrorText(const std::string& message, int code) {
  std::string text = message;
  text += "\r\n（错误码： ";
  text += std::to_string(code);
  text += "）";
  return text;
}

}  // namespace quillet
