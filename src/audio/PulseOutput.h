// Output through a sound server that speaks the PulseAudio protocol (PulseAudio itself, and
// PipeWire through its PulseAudio service), with libpulse's asynchronous interface: one
// connection per engine, one playback stream per engine stream, each pulling its frames from the
// stream's decoded ring when the server asks for more. The server keeps a deep buffer (about a
// quarter of a second), so neither side wakes often; how much of it is still to be heard is the
// server's own latency report. No libpulse header is visible from here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

struct pa_threaded_mainloop;
struct pa_context;
struct pa_stream;

namespace quillet::audio {

// Where a playback stream gets its frames. Called on the connection's thread with the
// connection locked.
class PulseFeed {
 public:
  virtual ~PulseFeed() = default;
  // Up to `frames` interleaved stereo 16-bit frames into `out`; returns how many. `*last` is set
  // when they end the stream (nothing will follow until a seek).
  virtual std::size_t Pull(std::int16_t* out, std::size_t frames, bool* last) = 0;
  // The last frames were written; `latency_frames` (-1 when unknown) are still to be heard.
  virtual void Drained(std::int64_t latency_frames) = 0;
  // The stream or the connection to the server failed; nothing more will be pulled.
  virtual void Lost() = 0;
};

class PulseStream;

class PulseConnection {
 public:
  // Whether the server is the output to try: SDL_AUDIODRIVER is unset, empty or names pulse.
  // Any other driver named there is honoured and goes through SDL.
  static bool Wanted();
  // Connects (never starting a server); nullptr when no server answers.
  static std::unique_ptr<PulseConnection> Open(std::uint32_t rate);
  ~PulseConnection();
  PulseConnection(const PulseConnection&) = delete;
  PulseConnection& operator=(const PulseConnection&) = delete;

  // Connects again when the server went away since; false when it still cannot be reached.
  bool EnsureConnected();
  std::uint32_t rate() const { return rate_; }

  // A new stream, corked, already filling from `feed`; nullptr when the server refuses it.
  std::unique_ptr<PulseStream> NewStream(PulseFeed* feed);

  // The connection's lock; every PulseStream call but Kick and the destructor needs it held.
  // Never taken while an engine stream's own mutex is held.
  void Lock();
  void Unlock();

 private:
  PulseConnection() = default;
  bool Connect();
  void DropContext();
  static void OnContextState(pa_context* c, void* self);

  pa_threaded_mainloop* loop_ = nullptr;
  pa_context* ctx_ = nullptr;
  std::uint32_t rate_ = 44100;
};

class PulseConnectionLock {
 public:
  explicit PulseConnectionLock(PulseConnection* c) : c_(c) {
    if (c_) c_->Lock();
  }
  ~PulseConnectionLock() {
    if (c_) c_->Unlock();
  }
  PulseConnectionLock(const PulseConnectionLock&) = delete;
  PulseConnectionLock& operator=(const PulseConnectionLock&) = delete;

 private:
  PulseConnection* c_;
};

class PulseStream {
 public:
  ~PulseStream();  // takes the lock itself
  PulseStream(const PulseStream&) = delete;
  PulseStream& operator=(const PulseStream&) = delete;

  // Corked, the server holds the buffered frames and plays nothing; uncorked, it goes on where
  // it held. Uncorking a stream whose last frames are written starts them at once.
  void SetCorked(bool corked);
  // Drops every frame written but not yet heard; what is written next is heard next.
  void Flush();
  // Frames written but not yet heard, from the server's timing report interpolated to now;
  // false while the server has not reported since the last flush, or the stream failed.
  bool LatencyFrames(std::int64_t* frames);
  bool failed() const { return failed_; }
  // The engine's packed output volume (left low, right high, 0..65535 each), applied by the
  // server as the stream's own volume, so that a change is heard at once rather than after the
  // buffer already written has played.
  void SetVolume(std::uint32_t packed);
  // Writes what the server wants and the feed has; for the decode thread after a refill, when
  // the server asked for more than the feed had. Takes the lock itself.
  void Kick();

 private:
  friend class PulseConnection;
  PulseStream() = default;
  void Pump();
  static void OnWrite(pa_stream* s, std::size_t bytes, void* self);
  static void OnState(pa_stream* s, void* self);

  PulseConnection* conn_ = nullptr;
  pa_stream* s_ = nullptr;
  PulseFeed* feed_ = nullptr;
  std::uint32_t rate_ = 44100;
  bool corked_ = true;
  bool drained_ = false;  // the last frames are written
  bool failed_ = false;
  bool closing_ = false;
};

}  // namespace quillet::audio
