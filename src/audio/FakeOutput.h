// The output of the engine tests: nothing reaches a sound device. Each output opened writes to a
// tape that the test plays by hand (Hear), so the test decides how many frames have been heard
// and reads back exactly what was heard, in order. Outputs are freed by the engine when it likes;
// their tapes stay with the device for the test to read.
#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "audio/Output.h"

namespace quillet::audio {

struct FakeTape {
  std::mutex m;
  std::uint32_t rate = 44100;
  std::size_t capacity = 11025;  // frames it buffers (a quarter of a second)
  std::uint64_t margin = 0;      // frames past Heard() that can no longer be replaced
  std::deque<float> queued;      // written, not yet heard (stereo)
  std::vector<float> heard;      // every frame heard, in order (stereo)
  std::uint64_t written = 0;
  std::uint64_t played = 0;
  bool paused = false;
  int drains = 0;
  int rewinds = 0;
  bool failed = false;
  bool closed = false;
  std::uint32_t volume = 0xFFFFFFFFu;
  Waker* waker = nullptr;

  // Plays up to `frames` frames (none while paused or after a failure); returns how many.
  std::size_t Hear(std::size_t frames) {
    std::size_t n;
    Waker* w;
    {
      std::lock_guard<std::mutex> lk(m);
      if (paused || failed) return 0;
      n = std::min(frames, queued.size() / 2);
      heard.insert(heard.end(), queued.begin(),
                   queued.begin() + static_cast<std::ptrdiff_t>(2 * n));
      queued.erase(queued.begin(), queued.begin() + static_cast<std::ptrdiff_t>(2 * n));
      played += n;
      w = closed ? nullptr : waker;
    }
    if (w) w->Kick();
    return n;
  }
  void Fail() {
    Waker* w;
    {
      std::lock_guard<std::mutex> lk(m);
      failed = true;
      w = closed ? nullptr : waker;
    }
    if (w) w->Kick();
  }
  std::size_t Queued() {
    std::lock_guard<std::mutex> lk(m);
    return queued.size() / 2;
  }
  // The left channel of what was heard.
  std::vector<float> Left() {
    std::lock_guard<std::mutex> lk(m);
    std::vector<float> out(heard.size() / 2);
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = heard[2 * i];
    return out;
  }
};

class FakeOutput final : public Output {
 public:
  explicit FakeOutput(std::shared_ptr<FakeTape> tape) : t_(std::move(tape)) {}
  ~FakeOutput() override {
    std::lock_guard<std::mutex> lk(t_->m);
    t_->closed = true;
  }
  std::size_t Room() override {
    std::lock_guard<std::mutex> lk(t_->m);
    if (t_->failed) return 0;
    const std::size_t q = t_->queued.size() / 2;
    return q >= t_->capacity ? 0 : t_->capacity - q;
  }
  std::size_t Write(const float* stereo, std::size_t frames) override {
    std::lock_guard<std::mutex> lk(t_->m);
    if (t_->failed) return 0;
    const std::size_t q = t_->queued.size() / 2;
    const std::size_t n = std::min(frames, q >= t_->capacity ? 0 : t_->capacity - q);
    t_->queued.insert(t_->queued.end(), stereo, stereo + 2 * n);
    t_->written += n;
    return n;
  }
  std::uint64_t Written() override {
    std::lock_guard<std::mutex> lk(t_->m);
    return t_->written;
  }
  std::uint64_t Heard() override {
    std::lock_guard<std::mutex> lk(t_->m);
    return t_->played;
  }
  std::uint64_t Rewritable() override {
    std::lock_guard<std::mutex> lk(t_->m);
    return std::min(t_->played + t_->margin, t_->written);
  }
  std::uint64_t Rewind(std::uint64_t at) override {
    std::lock_guard<std::mutex> lk(t_->m);
    at = std::clamp(at, std::min(t_->played + t_->margin, t_->written), t_->written);
    t_->queued.resize(static_cast<std::size_t>(at - t_->played) * 2);
    t_->written = at;
    ++t_->rewinds;
    return at;
  }
  void SetPaused(bool paused) override {
    std::lock_guard<std::mutex> lk(t_->m);
    t_->paused = paused;
  }
  void Drain() override {
    std::lock_guard<std::mutex> lk(t_->m);
    ++t_->drains;
  }
  bool Failed() override {
    std::lock_guard<std::mutex> lk(t_->m);
    return t_->failed;
  }
  void SetVolume(std::uint32_t packed) override {
    std::lock_guard<std::mutex> lk(t_->m);
    t_->volume = packed;
  }

 private:
  std::shared_ptr<FakeTape> t_;
};

class FakeDevice final : public OutputDevice {
 public:
  explicit FakeDevice(std::uint32_t rate = 44100) : rate_(rate) {}
  std::uint32_t rate() const override { return rate_; }
  bool Ready() override {
    std::lock_guard<std::mutex> lk(m_);
    return ready_;
  }
  std::unique_ptr<Output> Open(std::uint32_t rate, std::uint32_t, Waker* waker) override {
    std::lock_guard<std::mutex> lk(m_);
    if (!ready_) return nullptr;
    auto tape = std::make_shared<FakeTape>();
    tape->rate = rate;
    tape->capacity = capacity_;
    tape->margin = margin_;
    tape->waker = waker;
    tapes_.push_back(tape);
    return std::make_unique<FakeOutput>(tape);
  }

  // Test controls: what new outputs buffer and hold back, whether the device answers, and the
  // tapes of every output opened so far (the last one is the newest).
  void Shape(std::size_t capacity, std::uint64_t margin) {
    std::lock_guard<std::mutex> lk(m_);
    capacity_ = capacity;
    margin_ = margin;
  }
  void SetReady(bool ready) {
    std::lock_guard<std::mutex> lk(m_);
    ready_ = ready;
  }
  std::vector<std::shared_ptr<FakeTape>> Tapes() {
    std::lock_guard<std::mutex> lk(m_);
    return tapes_;
  }

 private:
  std::mutex m_;
  std::uint32_t rate_;
  std::size_t capacity_ = 11025;
  std::uint64_t margin_ = 0;
  bool ready_ = true;
  std::vector<std::shared_ptr<FakeTape>> tapes_;
};

}  // namespace quillet::audio
