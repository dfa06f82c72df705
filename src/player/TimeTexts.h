// Minutes:seconds texts of the open stream's length and play position.
#pragma once

#include <string>

#include "audio/Engine.h"
#include "common/TextRules.h"

namespace quillet {

struct TimeInfo {
  std::string text;  // empty when not available or not above 0
  double seconds;    // length: 1 when not available; position: 0 when not available
};
TimeInfo StreamLengthInfo(audio::Engine& engine, audio::Handle h);
TimeInfo StreamPositionInfo(audio::Engine& engine, audio::Handle h);

}  // namespace quillet
