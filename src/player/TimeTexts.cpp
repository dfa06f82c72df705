#include "player/TimeTexts.h"

#include <cstdint>

namespace quillet {

// Positions and lengths come from the engine in milliseconds, the player's one unit.
TimeInfo StreamLengthInfo(audio::Engine& engine, audio::Handle h) {
  if (h == 0) return {{}, 1.0};
  const std::uint64_t ms = engine.ChannelGetLengthMs(h);
  if (ms == audio::kNotAvailable || ms == 0) return {{}, 1.0};
  const double seconds = static_cast<double>(ms) / 1000;
  return {TimeText(seconds), seconds};
}

TimeInfo StreamPositionInfo(audio::Engine& engine, audio::Handle h) {
  if (h == 0) return {{}, 0.0};
  const std::uint64_t ms = engine.ChannelGetPositionMs(h);
  if (ms == audio::kNotAvailable || ms == 0) return {{}, 0.0};
  const double seconds = static_cast<double>(ms) / 1000;
  return {TimeText(seconds), seconds};
}

}  // namespace quillet
