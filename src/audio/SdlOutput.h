// Output through an SDL2 audio device (ALSA, OSS, the dummy and disk drivers of the tests, ...):
// one device per engine, whose callback mixes every open output's ring. A frame handed to the
// device at time t is heard one device buffer later; the frame being heard is interpolated from
// the times of the hand-outs.
#pragma once

#include <SDL.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "audio/Output.h"

namespace quillet::audio {

class SdlOutput;

class SdlDevice final : public OutputDevice {
 public:
  // device -1 is SDL's default, 1.. the devices it lists; nullptr with kErrDriver, kErrDevice
  // or kErrMemory in `*error`.
  static std::unique_ptr<SdlDevice> OpenDevice(int device, std::uint32_t freq, int* error);
  ~SdlDevice() override;

  std::uint32_t rate() const override { return static_cast<std::uint32_t>(fmt_.freq); }
  bool Ready() override { return true; }
  std::unique_ptr<Output> Open(std::uint32_t rate, std::uint32_t channels, Waker* waker) override;

 private:
  friend class SdlOutput;
  SdlDevice() = default;
  static void Callback(void* user, Uint8* out, int len);
  void Fill(std::int16_t* out, std::size_t frames);

  std::mutex m_;  // guards the outputs and their rings; the device callback takes it
  std::vector<SdlOutput*> outputs_;
  SDL_AudioDeviceID dev_ = 0;
  SDL_AudioSpec fmt_{};
  std::vector<float> mix_;  // the callback's only
  std::atomic<std::uint32_t> volume_{0xFFFFFFFFu};
};

}  // namespace quillet::audio
