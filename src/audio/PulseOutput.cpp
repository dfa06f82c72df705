// The PulseAudio-protocol output. All libpulse calls run either on the threaded main loop's own
// thread (the callbacks) or with its lock held; waits are bounded polls, so a server that does
// not answer costs a few seconds at worst and never hangs the caller.
#include "audio/PulseOutput.h"

#include <pulse/pulseaudio.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace quillet::audio {

namespace {

constexpr const char* kAppName = "Quillet";
constexpr const char* kRole = "music";
constexpr int kFrameBytes = 4;  // stereo 16-bit
// The server's buffer. A deep target keeps wake-ups rare on both sides: the server asks for
// more only once a large step has played, and the sink can sleep long between mixes.
constexpr std::uint32_t kTargetMs = 250;
constexpr std::uint32_t kRequestMs = 100;
// After a seek, playback starts again once this much is buffered.
constexpr std::uint32_t kStartMs = 40;
constexpr auto kAnswerWait = std::chrono::seconds(3);

std::uint32_t MsToBytes(std::uint32_t ms, std::uint32_t rate) {
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(rate) * ms / 1000) * kFrameBytes;
}

void Drop(pa_operation* op) {
  if (op) pa_operation_unref(op);
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

}  // namespace

bool PulseConnection::Wanted() {
  const char* driver = std::getenv("SDL_AUDIODRIVER");
  if (!driver || !*driver) return true;
  return std::strcmp(driver, "pulse") == 0 || std::strcmp(driver, "pulseaudio") == 0;
}

std::unique_ptr<PulseConnection> PulseConnection::Open(std::uint32_t rate) {
  std::unique_ptr<PulseConnection> c(new PulseConnection);
  c->rate_ = rate;
  c->loop_ = pa_threaded_mainloop_new();
  if (!c->loop_) return nullptr;
  if (pa_threaded_mainloop_start(c->loop_) < 0) {
    pa_threaded_mainloop_free(c->loop_);
    c->loop_ = nullptr;
    return nullptr;
  }
  c->Lock();
  const bool ok = c->Connect();
  c->Unlock();
  if (!ok) return nullptr;
  return c;
}

PulseConnection::~PulseConnection() {
  if (!loop_) return;
  Lock();
  DropContext();
  Unlock();
  pa_threaded_mainloop_stop(loop_);
  pa_threaded_mainloop_free(loop_);
}

void PulseConnection::Lock() { pa_threaded_mainloop_lock(loop_); }
void PulseConnection::Unlock() { pa_threaded_mainloop_unlock(loop_); }

void PulseConnection::OnContextState(pa_context*, void* self) {
  pa_threaded_mainloop_signal(static_cast<PulseConnection*>(self)->loop_, 0);
}

bool PulseConnection::Connect() {
  pa_proplist* props = pa_proplist_new();
  pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, kAppName);
  pa_proplist_sets(props, PA_PROP_APPLICATION_ID, "quillet");
  pa_proplist_sets(props, PA_PROP_APPLICATION_ICON_NAME, "quillet");
  pa_proplist_sets(props, PA_PROP_MEDIA_ROLE, kRole);
  ctx_ = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(loop_), kAppName, props);
  pa_proplist_free(props);
  if (!ctx_) return false;
  pa_context_set_state_callback(ctx_, &PulseConnection::OnContextState, this);
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

void PulseConnection::DropContext() {
  if (!ctx_) return;
  pa_context_set_state_callback(ctx_, nullptr, nullptr);
  pa_context_disconnect(ctx_);
  pa_context_unref(ctx_);
  ctx_ = nullptr;
}

bool PulseConnection::EnsureConnected() {
  Lock();
  bool ok = ctx_ && pa_context_get_state(ctx_) == PA_CONTEXT_READY;
  if (!ok) {
    DropContext();
    ok = Connect();
  }
  Unlock();
  return ok;
}

std::unique_ptr<PulseStream> PulseConnection::NewStream(PulseFeed* feed) {
  std::unique_ptr<PulseStream> out(new PulseStream);
  out->conn_ = this;
  out->feed_ = feed;
  out->rate_ = rate_;
  Lock();
  bool ok = ctx_ && pa_context_get_state(ctx_) == PA_CONTEXT_READY;
  if (ok) {
    const pa_sample_spec format{PA_SAMPLE_S16NE, rate_, 2};
    pa_proplist* props = pa_proplist_new();
    pa_proplist_sets(props, PA_PROP_MEDIA_ROLE, kRole);
    pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, kAppName);
    out->s_ = pa_stream_new_with_proplist(ctx_, kAppName, &format, nullptr, props);
    pa_proplist_free(props);
    ok = out->s_ != nullptr;
  }
  if (ok) {
    PulseStream* raw = out.get();
    pa_stream_set_state_callback(raw->s_, &PulseStream::OnState, raw);
    pa_stream_set_write_callback(raw->s_, &PulseStream::OnWrite, raw);
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.tlength = MsToBytes(kTargetMs, rate_);
    attr.prebuf = MsToBytes(kStartMs, rate_);
    attr.minreq = MsToBytes(kRequestMs, rate_);
    attr.fragsize = static_cast<std::uint32_t>(-1);
    const auto flags = static_cast<pa_stream_flags_t>(
        PA_STREAM_START_CORKED | PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE);
    ok = pa_stream_connect_playback(raw->s_, nullptr, &attr, flags, nullptr, nullptr) == 0;
    ok = ok && PollUntil(loop_, [raw] {
           const pa_stream_state_t st = pa_stream_get_state(raw->s_);
           return st == PA_STREAM_READY || !PA_STREAM_IS_GOOD(st);
         });
    ok = ok && pa_stream_get_state(raw->s_) == PA_STREAM_READY;
  }
  Unlock();
  if (!ok) return nullptr;  // the destructor takes the lock and lets the stream go
  return out;
}

PulseStream::~PulseStream() {
  if (!s_) return;
  conn_->Lock();
  closing_ = true;
  pa_stream_set_write_callback(s_, nullptr, nullptr);
  pa_stream_set_state_callback(s_, nullptr, nullptr);
  if (PA_STREAM_IS_GOOD(pa_stream_get_state(s_))) pa_stream_disconnect(s_);
  pa_stream_unref(s_);
  conn_->Unlock();
}

void PulseStream::OnWrite(pa_stream*, std::size_t, void* self) {
  static_cast<PulseStream*>(self)->Pump();
}

void PulseStream::OnState(pa_stream* s, void* self) {
  auto* me = static_cast<PulseStream*>(self);
  const pa_stream_state_t st = pa_stream_get_state(s);
  if (st == PA_STREAM_FAILED || (st == PA_STREAM_TERMINATED && !me->closing_)) {
    if (!me->failed_) {
      me->failed_ = true;
      me->feed_->Lost();
    }
  }
}

void PulseStream::Pump() {
  if (failed_ || drained_ || pa_stream_get_state(s_) != PA_STREAM_READY) return;
  const std::size_t writable = pa_stream_writable_size(s_);
  if (writable == static_cast<std::size_t>(-1)) return;
  std::size_t want = writable / kFrameBytes;
  while (want > 0) {
    void* buf = nullptr;
    std::size_t bytes = want * kFrameBytes;
    if (pa_stream_begin_write(s_, &buf, &bytes) < 0 || !buf || bytes < kFrameBytes) return;
    const std::size_t frames = std::min(want, bytes / kFrameBytes);
    bool last = false;
    const std::size_t n = feed_->Pull(static_cast<std::int16_t*>(buf), frames, &last);
    if (n > 0) {
      if (pa_stream_write(s_, buf, n * kFrameBytes, nullptr, 0, PA_SEEK_RELATIVE) < 0) return;
    } else {
      pa_stream_cancel_write(s_);
    }
    want -= n;
    if (last) {
      drained_ = true;
      // The tail may be shorter than what the server waits for before it starts playing.
      if (!corked_) Drop(pa_stream_trigger(s_, nullptr, nullptr));
      std::int64_t latency = -1;
      if (!LatencyFrames(&latency)) latency = -1;
      feed_->Drained(latency);
      return;
    }
    if (n < frames) return;
  }
}

void PulseStream::Kick() {
  conn_->Lock();
  Pump();
  conn_->Unlock();
}

void PulseStream::SetCorked(bool corked) {
  corked_ = corked;
  if (failed_) return;
  Drop(pa_stream_cork(s_, corked ? 1 : 0, nullptr, nullptr));
  if (!corked && drained_) Drop(pa_stream_trigger(s_, nullptr, nullptr));
}

void PulseStream::Flush() {
  drained_ = false;
  if (failed_) return;
  Drop(pa_stream_flush(s_, nullptr, nullptr));
}

void PulseStream::SetVolume(std::uint32_t packed) {
  if (failed_) return;
  pa_cvolume volume{};
  volume.channels = 2;
  volume.values[0] = pa_sw_volume_from_linear(static_cast<double>(packed & 0xFFFF) / 65535.0);
  volume.values[1] = pa_sw_volume_from_linear(static_cast<double>(packed >> 16) / 65535.0);
  Drop(pa_context_set_sink_input_volume(pa_stream_get_context(s_), pa_stream_get_index(s_), &volume,
                                        nullptr, nullptr));
}

bool PulseStream::LatencyFrames(std::int64_t* frames) {
  if (failed_) return false;
  pa_usec_t usec = 0;
  int negative = 0;
  if (pa_stream_get_latency(s_, &usec, &negative) < 0) return false;
  const auto f = static_cast<std::int64_t>(usec * rate_ / 1000000);
  *frames = negative ? -f : f;
  return true;
}

}  // namespace quillet::audio
