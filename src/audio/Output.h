// Where the engine's sound goes: an output device (the sound server, an SDL device, or the fake
// of the tests) opens outputs, and each output takes interleaved stereo float frames at the rate
// it was opened at, in order.
//
// An output counts its frames on one time line from 0 at its opening: every frame written gets
// the next index, and Heard() is the index of the frame being heard now. Frames written but not
// yet heard can be taken back from Rewritable() on (Rewind), which is how a pause, a stop or a
// seek is heard at once although the output holds a deep buffer. No output knows about streams,
// decoders or positions; the engine maps its streams onto the time line.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

namespace quillet::audio {

// Wakes the engine's writer: an output calls Kick when it has room again or has failed, from
// whatever thread it runs on. Never takes any other lock.
class Waker {
 public:
  void Kick() {
    {
      std::lock_guard<std::mutex> lk(m_);
      kicked_ = true;
    }
    cv_.notify_all();
  }
  // Waits until kicked (or `limit` passes, when given) and clears the kick.
  template <typename Duration>
  void Wait(Duration limit) {
    std::unique_lock<std::mutex> lk(m_);
    cv_.wait_for(lk, limit, [this] { return kicked_; });
    kicked_ = false;
  }

 private:
  std::mutex m_;
  std::condition_variable cv_;
  bool kicked_ = false;
};

class Output {
 public:
  virtual ~Output() = default;

  // Frames Write takes now without waiting.
  virtual std::size_t Room() = 0;
  // Appends up to `frames` frames at Written(); returns how many it took.
  virtual std::size_t Write(const float* stereo, std::size_t frames) = 0;
  // The index the next written frame gets.
  virtual std::uint64_t Written() = 0;
  // The index of the frame being heard now, never beyond Written(). Holds still while nothing
  // is left to play.
  virtual std::uint64_t Heard() = 0;
  // The first index that can still be replaced: Heard() plus what is already on its way to the
  // listener. Never beyond Written().
  virtual std::uint64_t Rewritable() = 0;
  // Drops the frames from `at` (clamped to [Rewritable(), Written()]) on; the next Write lands
  // there. Returns the index it dropped from.
  virtual std::uint64_t Rewind(std::uint64_t at) = 0;
  // Paused, the output holds what it has and plays nothing; unpaused it goes on from there.
  virtual void SetPaused(bool paused) = 0;
  // Nothing follows the frames written for now (the end of a track, or a resume after a hold):
  // play them all even if they are fewer than the output waits for before it starts.
  virtual void Drain() = 0;
  // The output broke (the server went away); it takes nothing more.
  virtual bool Failed() = 0;
  // The engine's packed volume (left low, right high, 0..65535 each), applied to what is heard
  // from now on, including what is already buffered.
  virtual void SetVolume(std::uint32_t packed) = 0;
};

class OutputDevice {
 public:
  virtual ~OutputDevice() = default;
  // The rate every output of the device plays at.
  virtual std::uint32_t rate() const = 0;
  // Whether outputs can be opened now; a device that lost its server connects again. False
  // means the device is gone (code 23).
  virtual bool Ready() = 0;
  // A new output at `rate` with `channels` (the engine asks for rate() and 2); nullptr when the
  // device refuses it. `waker` is kicked whenever the output wants more frames.
  virtual std::unique_ptr<Output> Open(std::uint32_t rate, std::uint32_t channels,
                                       Waker* waker) = 0;
};

}  // namespace quillet::audio
