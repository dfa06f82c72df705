// The PulseAudio-protocol output. All libpulse calls run either on the threaded main loop's own
// thread (the callbacks) or with its lock held; waits are bounded polls, so a server that does
// not answer costs a few seconds at worst and never hangs the caller. The callbacks only kick
// the engine's writer; they never call into the engine.
#include "audio/PulseOutput.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

namespace quillet::audio {

namespace {

constexpr const char* kAppName = "Quillet";
constexpr const char* kRole = "music";
constexpr int kFrameBytes = 4;  // stereo 16-bit
// The server's buffer. A deep target keeps wake-ups rare on both sides: the server asks for
// more only once a large step has played, and the sink can sleep long between mixes.
constexpr std::uint32_t kTargetMs = 250;
constexpr std::uint32_t kRequestMs = 100;
// After an underrun, playback starts again once this much is buffered (or on Drain).
constexpr std::uint32_t kStartMs = 40;
// What a replacement needs to reach the server before the sink takes the frames it replaces,
// on top of the sink's own latency; beyond kRewriteMaxMs the server's rewind takes over.
constexpr std::uint32_t kTransitMs = 5;
constexpr std::uint32_t kRewriteMaxMs = 40;
constexpr auto kAnswerWait = std::chrono::seconds(3);

std::uint32_t MsToBytes(std::uint32_t ms, std::uint32_t rate) {
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(rate) * ms / 1000) * kFrameBytes;
}

void Drop(pa_operation* op) {
  if (op) pa_operation_unref(op);
}

std::int16_t To16(float v) {
  const float s = std::nearbyint(v * 32768.0f);
  return static_cast<std::int16_t>(std::clamp(s, -32768.0f, 32767.0f));
}

// With the main loop locked: lets its thread run until `done` holds or the wait runs out.
template <typename F>
bool PollUntil(pa_threaded_mainloop* loop, F done) {
  const auto end = std::chrono::steady_clock::now() + kAnswerWait;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    pa_threaded_mainloop_unlock(loop);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    pa_threaded_mainloop_lock(loop);
  }
  return true;
}

class Locked {
 public:
  explicit Locked(PulseDevice* d) : d_(d) { d_->Lock(); }
  ~Locked() { d_->Unlock(); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;

 private:
  PulseDevice* d_;
};

class PulseOutput final : public Output {
 public:
  PulseOutput(PulseDevice* d, std::uint32_t rate, Waker* waker)
      : d_(d), rate_(rate), waker_(waker) {}
  ~PulseOutput() override {
    if (!s_) return;
    Locked lk(d_);
    closing_ = true;
    pa_stream_set_write_callback(s_, nullptr, nullptr);
    pa_stream_set_state_callback(s_, nullptr, nullptr);
    if (PA_STREAM_IS_GOOD(pa_stream_get_state(s_))) pa_stream_disconnect(s_);
    pa_stream_unref(s_);
  }

  // With the lock held.
  bool Connect(pa_context* ctx) {
    const pa_sample_spec format{PA_SAMPLE_S16NE, rate_, 2};
    pa_proplist* props = pa_proplist_new();
    pa_proplist_sets(props, PA_PROP_MEDIA_ROLE, kRole);
    pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, kAppName);
    s_ = pa_stream_new_with_proplist(ctx, kAppName, &format, nullptr, props);
    pa_proplist_free(props);
    if (!s_) return false;
    pa_stream_set_state_callback(s_, &PulseOutput::OnState, this);
    pa_stream_set_write_callback(s_, &PulseOutput::OnWrite, this);
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.tlength = MsToBytes(kTargetMs, rate_);
    attr.prebuf = MsToBytes(kStartMs, rate_);
    attr.minreq = MsToBytes(kRequestMs, rate_);
    attr.fragsize = static_cast<std::uint32_t>(-1);
    const auto flags =
        static_cast<pa_stream_flags_t>(PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE);
    if (pa_stream_connect_playback(s_, nullptr, &attr, flags, nullptr, nullptr) != 0) return false;
    return PollUntil(d_->loop(),
                     [this] {
                       const pa_stream_state_t st = pa_stream_get_state(s_);
                       return st == PA_STREAM_READY || !PA_STREAM_IS_GOOD(st);
                     }) &&
           pa_stream_get_state(s_) == PA_STREAM_READY;
  }

  std::size_t Room() override {
    Locked lk(d_);
    if (failed_) return 0;
    const std::size_t writable = pa_stream_writable_size(s_);
    return writable == static_cast<std::size_t>(-1) ? 0 : writable / kFrameBytes;
  }

  // Takes every frame: the server buffers beyond its target when asked to.
  std::size_t Write(const float* stereo, std::size_t frames) override {
    Locked lk(d_);
    if (failed_ || frames == 0) return 0;
    buf_.resize(frames * 2);
    for (std::size_t i = 0; i < frames * 2; ++i) buf_[i] = To16(stereo[i]);
    const auto offset = static_cast<std::int64_t>(written_ * kFrameBytes);
    const int r =
        pa_stream_write(s_, buf_.data(), frames * kFrameBytes, nullptr, replace_ ? offset : 0,
                        replace_ ? PA_SEEK_ABSOLUTE : PA_SEEK_RELATIVE);
    if (r < 0) return 0;
    replace_ = false;
    drained_ = false;
    written_ += frames;
    return frames;
  }

  std::uint64_t Written() override {
    Locked lk(d_);
    return written_;
  }

  std::uint64_t Heard() override {
    Locked lk(d_);
    return HeardLocked();
  }

  std::uint64_t Rewritable() override {
    Locked lk(d_);
    return RewritableLocked();
  }

  std::uint64_t Rewind(std::uint64_t at) override {
    Locked lk(d_);
    at = std::clamp(at, RewritableLocked(), written_);
    if (at < written_) {
      written_ = at;
      replace_ = true;
    }
    return at;
  }

  void SetPaused(bool paused) override {
    Locked lk(d_);
    if (failed_ || paused == corked_) return;
    if (drained_) {
      drain_heard_ = HeardLocked();
      drain_at_ = std::chrono::steady_clock::now();
    }
    corked_ = paused;
    Drop(pa_stream_cork(s_, paused ? 1 : 0, nullptr, nullptr));
    if (!paused && drained_) Drop(pa_stream_trigger(s_, nullptr, nullptr));
  }

  void Drain() override {
    Locked lk(d_);
    drain_heard_ = HeardLocked();
    drain_at_ = std::chrono::steady_clock::now();
    drained_ = true;
    if (failed_ || corked_) return;
    Drop(pa_stream_trigger(s_, nullptr, nullptr));
  }

  bool Failed() override {
    Locked lk(d_);
    return failed_;
  }

  void SetVolume(std::uint32_t packed) override {
    Locked lk(d_);
    if (failed_) return;
    pa_cvolume volume{};
    volume.channels = 2;
    volume.values[0] = pa_sw_volume_from_linear(static_cast<double>(packed & 0xFFFF) / 65535.0);
    volume.values[1] = pa_sw_volume_from_linear(static_cast<double>(packed >> 16) / 65535.0);
    Drop(pa_context_set_sink_input_volume(pa_stream_get_context(s_), pa_stream_get_index(s_),
                                          &volume, nullptr, nullptr));
  }

 private:
  std::uint64_t HeardLocked() {
    pa_usec_t usec = 0;
    if (!failed_ && pa_stream_get_time(s_, &usec) >= 0)
      heard_ = std::max(heard_, static_cast<std::uint64_t>(usec) * rate_ / 1000000);
    if (drained_ && !corked_) {
      // Nothing follows: the rest plays out in real time. The server's report stands still
      // once the stream runs dry, by as much as the sink's latency short of the end.
      const double secs =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - drain_at_).count();
      heard_ = std::max(heard_, drain_heard_ + static_cast<std::uint64_t>(secs * rate_));
    }
    return std::min(heard_, written_);
  }

  std::uint64_t RewritableLocked() {
    std::uint64_t ahead_us = kRewriteMaxMs * 1000;
    if (const pa_timing_info* t = failed_ ? nullptr : pa_stream_get_timing_info(s_))
      ahead_us = std::min<std::uint64_t>(t->sink_usec + kTransitMs * 1000, ahead_us);
    return std::min(HeardLocked() + ahead_us * rate_ / 1000000, written_);
  }

  static void OnWrite(pa_stream*, std::size_t, void* self) {
    static_cast<PulseOutput*>(self)->waker_->Kick();
  }
  static void OnState(pa_stream* s, void* self) {
    auto* me = static_cast<PulseOutput*>(self);
    const pa_stream_state_t st = pa_stream_get_state(s);
    if (st == PA_STREAM_FAILED || (st == PA_STREAM_TERMINATED && !me->closing_)) {
      me->failed_ = true;
      me->waker_->Kick();
    }
  }

  PulseDevice* d_;
  std::uint32_t rate_;
  Waker* waker_;
  pa_stream* s_ = nullptr;
  std::vector<std::int16_t> buf_;
  std::uint64_t written_ = 0;
  std::uint64_t heard_ = 0;
  std::uint64_t drain_heard_ = 0;  // what was heard when the last frames were written
  std::chrono::steady_clock::time_point drain_at_{};
  bool replace_ = false;  // the next write goes over frames already written, at written_
  bool corked_ = false;
  bool drained_ = false;
  bool failed_ = false;
  bool closing_ = false;
};

}  // namespace

bool PulseDevice::Wanted() {
  const char* driver = std::getenv("SDL_AUDIODRIVER");
  if (!driver || !*driver) return true;
  return std::strcmp(driver, "pulse") == 0 || std::strcmp(driver, "pulseaudio") == 0;
}

std::unique_ptr<PulseDevice> PulseDevice::Connect(std::uint32_t rate) {
  std::unique_ptr<PulseDevice> c(new PulseDevice);
  c->rate_ = rate;
  c->loop_ = pa_threaded_mainloop_new();
  if (!c->loop_) return nullptr;
  if (pa_threaded_mainloop_start(c->loop_) < 0) {
    pa_threaded_mainloop_free(c->loop_);
    c->loop_ = nullptr;
    return nullptr;
  }
  c->Lock();
  const bool ok = c->ConnectContext();
  c->Unlock();
  if (!ok) return nullptr;
  return c;
}

PulseDevice::~PulseDevice() {
  if (!loop_) return;
  Lock();
  DropContext();
  Unlock();
  pa_threaded_mainloop_stop(loop_);
  pa_threaded_mainloop_free(loop_);
}

void PulseDevice::Lock() { pa_threaded_mainloop_lock(loop_); }
void PulseDevice::Unlock() { pa_threaded_mainloop_unlock(loop_); }

void PulseDevice::OnContextState(pa_context*, void* self) {
  pa_threaded_mainloop_signal(static_cast<PulseDevice*>(self)->loop_, 0);
}

bool PulseDevice::ConnectContext() {
  pa_proplist* props = pa_proplist_new();
  pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, kAppName);
  pa_proplist_sets(props, PA_PROP_APPLICATION_ID, "quillet");
  pa_proplist_sets(props, PA_PROP_APPLICATION_ICON_NAME, "quillet");
  pa_proplist_sets(props, PA_PROP_MEDIA_ROLE, kRole);
  ctx_ = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(loop_), kAppName, props);
  pa_proplist_free(props);
  if (!ctx_) return false;
  pa_context_set_state_callback(ctx_, &PulseDevice::OnContextState, this);
  // Never start a server: one that is not running means the output goes through SDL.
  if (pa_context_connect(ctx_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
    DropContext();
    return false;
  }
  const bool answered = PollUntil(loop_, [this] {
    const pa_context_state_t st = pa_context_get_state(ctx_);
    return st == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(st);
  });
  if (!answered || pa_context_get_state(ctx_) != PA_CONTEXT_READY) {
    DropContext();
    return false;
  }
  return true;
}

void PulseDevice::DropContext() {
  if (!ctx_) return;
  pa_context_set_state_callback(ctx_, nullptr, nullptr);
  pa_context_disconnect(ctx_);
  pa_context_unref(ctx_);
  ctx_ = nullptr;
}

bool PulseDevice::Ready() {
  Lock();
  bool ok = ctx_ && pa_context_get_state(ctx_) == PA_CONTEXT_READY;
  if (!ok) {
    DropContext();
    ok = ConnectContext();
  }
  Unlock();
  return ok;
}

std::unique_ptr<Output> PulseDevice::Open(std::uint32_t rate, std::uint32_t, Waker* waker) {
  auto out = std::make_unique<PulseOutput>(this, rate, waker);
  Lock();
  const bool ok = ctx_ && pa_context_get_state(ctx_) == PA_CONTEXT_READY && out->Connect(ctx_);
  Unlock();
  if (!ok) return nullptr;  // the destructor takes the lock and lets the stream go
  return out;
}

}  // namespace quillet::audio
