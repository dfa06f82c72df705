#include "player/EarlyDevice.h"

#include <utility>

#include "audio/Engine.h"

namespace quillet {

std::optional<int> OpenDefaultDevice(audio::Engine& engine) {
  if (engine.Init(-1, 44100, 0)) return std::nullopt;
  return engine.LastErrorCode();
}

EarlyDevice::EarlyDevice(audio::Engine& engine) {
  work_ = std::async(std::launch::async, [&engine] {
    Outcome outcome;
    outcome.backEndOk = engine.BackEndOk(&outcome.why);
    if (outcome.backEndOk) outcome.deviceError = OpenDefaultDevice(engine);
    return outcome;
  });
}

EarlyDevice::~EarlyDevice() {
  if (work_.valid()) work_.wait();
}

const EarlyDevice::Outcome& EarlyDevice::Wait() {
  if (!outcome_) outcome_ = work_.get();
  return *outcome_;
}

bool EarlyDevice::BackEndOk(std::string* why) {
  const Outcome& outcome = Wait();
  if (!outcome.backEndOk && why != nullptr) *why = outcome.why;
  return outcome.backEndOk;
}

std::optional<int> EarlyDevice::DeviceError() { return Wait().deviceError; }

}  // namespace quillet
