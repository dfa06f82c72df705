// Small text rules over bytes shared by every layer: trimming, time texts, the audio error text.
#pragma once

#include <string>
#include <string_view>

namespace quillet {

// Removes characters of code 32 or below at both ends.
std::string TrimControl(std::string_view s);

// "mm:ss", each part truncated toward zero and padded to two digits; minutes unbounded.
std::string TimeText(double seconds);

// The text of the audio error box: the message, CR LF, "（错误码： ", the code, "）". UTF-8.
std::string AudioErrorText(const std::string& message, int code);

}  // namespace quillet
