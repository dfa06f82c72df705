#include "player/EarlyDevice.h"

#include <utility>

#include "audio/Engine.h"

namespace quillet {

EarlyDevice::EarlyDevice(audio::Engine& engine) {
  work_ = std::async(std::launch::async, [&engine] {
    Outcome outcome;
    outcome.backEndOk = engine.BackEndOk(&outcome.why);
    // The error code belongs to the thread that made the call, so it is read here.
    if (outcome.backEndOk && !engine.Init(-1, 44100, 0)) {
      outcome.deviceError = engine.LastErrorCode();
    }
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
