// Minutes:seconds texts of times, file lengths and stream positions, and the audio error text.
#pragma once

#include <string>

#include "player/audio/AudioEngine.h"

namespace quillet {

// "mm:ss", each part truncated toward zero and padded to two digits; minutes unbounded.
std::string TimeText(double seconds);

// Length of an audio file as a time text, measured without decoding; empty when unknown.
std::string FileLengthText(const std::string& path);

struct TimeInfo {
  std::string text;  // empty when not available or not above 0
  double seconds;    // length: 1 when not available; position: 0 when not available
};
TimeInfo StreamLengthInfo(audio::AudioEngine& engine, audio::Handle h);
TimeInfo StreamPositionInfo(audio::AudioEngine& engine, audio::Handle h);

// The text of the audio error box: the message, CR LF, "（错误码： ", the code, "）". UTF-8.
std::string AudioErrorText(const std::string& message, int code);

}  // namespace quillet
