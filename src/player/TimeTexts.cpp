#include "player/TimeTexts.h"

#include <cmath>
#include <cstdint>

namespace quillet {

TimeInfo StreamLengthInfo(audio::Engine& engine, audio::Handle h) {
  if (h == 0) return {{}, 1.0};
  const std::uint64_t bytes = engine.ChannelGetLength(h);
  if (bytes == audio::kNotAvailable) return {{}, 1.0};
  const double seconds = engine.ChannelBytes2Seconds(h, bytes);
  if (!(seconds > 0)) return {{}, 1.0};
  return {TimeText(seconds), seconds};
}

TimeInfo StreamPositionInfo(audio::Engine& engine, audio::Handle h) {
  if (h == 0) return {{}, 0.0};
  const std::uint64_t bytes = engine.ChannelGetPosition(h);
  if (bytes == audio::kNotAvailable) return {{}, 0.0};
  const double seconds = engine.ChannelBytes2Seconds(h, bytes);
  if (!(seconds > 0)) return {{}, 0.0};
  return {TimeText(seconds), seconds};
}

}  // namespace quillet
