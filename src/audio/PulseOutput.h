// Output through a sound server that speaks the PulseAudio protocol (PulseAudio itself, and
// PipeWire through its PulseAudio service), with libpulse's asynchronous interface: one
// connection per engine, one playback stream per output. The server keeps a deep buffer (about
// a quarter of a second), so neither side wakes often. The frame being heard is the server's own
// timing report (read position less the sink's latency); frames not yet heard are replaced by
// writing over them at their place in the server's buffer. No libpulse header is visible from
// here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "audio/Output.h"

struct pa_threaded_mainloop;
struct pa_context;

namespace quillet::audio {

class PulseDevice final : public OutputDevice {
 public:
  // Whether the server is the output to try: SDL_AUDIODRIVER is unset, empty or names pulse.
  // Any other driver named there is honoured and goes through SDL.
  static bool Wanted();
  // Connects (never starting a server); nullptr when no server answers.
  static std::unique_ptr<PulseDevice> Connect(std::uint32_t rate);
  ~PulseDevice() override;
  PulseDevice(const PulseDevice&) = delete;
  PulseDevice& operator=(const PulseDevice&) = delete;

  std::uint32_t rate() const override { return rate_; }
  // Connects again when the server went away since.
  bool Ready() override;
  // A new stream, corked until the first frames are written; nullptr when the server refuses.
  std::unique_ptr<Output> Open(std::uint32_t rate, std::uint32_t channels, Waker* waker) override;

  // The connection's lock; every libpulse call is made with it held.
  void Lock();
  void Unlock();
  pa_threaded_mainloop* loop() const { return loop_; }

 private:
  PulseDevice() = default;
  bool ConnectContext();
  void DropContext();
  static void OnContextState(pa_context* c, void* self);

  pa_threaded_mainloop* loop_ = nullptr;
  pa_context* ctx_ = nullptr;
  std::uint32_t rate_ = 44100;
};

}  // namespace quillet::audio
