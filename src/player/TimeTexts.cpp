#include "player/TimeTexts.h"

#include <cmath>
#include <cstdint>

namespace quillet {

namespace {

std::string TwoDigits(std::int64_t n) {
  std::string text = std::to_string(n);
  if (n <= 9) text.insert(text.begin(), '0');
  return text;
}

}  // namespace

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

std::string FileLengthText(const std::string& path) {
  audio::FileProbe probe;
  if (!audio::AudioEngine::ProbeFile(path, &probe)) return {};
  if (probe.length == audio::kNotAvailable) return {};
  if (!(probe.seconds > 0)) return {};
  return TimeText(probe.seconds);
}

TimeInfo StreamLengthInfo(audio::AudioEngine& engine, audio::Handle h) {
  if (h == 0) return {{}, 1.0};
  const std::uint64_t bytes = engine.ChannelGetLength(h);
  if (bytes == audio::kNotAvailable) return {{}, 1.0};
  const double seconds = engine.ChannelBytes2Seconds(h, bytes);
  if (!(seconds > 0)) return {{}, 1.0};
  return {TimeText(seconds), seconds};
}

TimeInfo StreamPositionInfo(audio::AudioEngine& engine, audio::Handle h) {
  if (h == 0) return {{}, 0.0};
  const std::uint64_t bytes = engine.ChannelGetPosition(h);
  if (bytes == audio::kNotAvailable) return {{}, 0.0};
  const double seconds = engine.ChannelBytes2Seconds(h, bytes);
  if (!(seconds > 0)) return {{}, 0.0};
  return {TimeText(seconds), seconds};
}

std::string AudioErrorText(const std::string& message, int code) {
  std::string text = message;
  text += "\r\n（错误码： ";
  text += std::to_string(code);
  text += "）";
  return text;
}

}  // namespace quillet
