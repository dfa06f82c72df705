// The engine. Each stream has a worker thread that decodes ahead into a queue of output frames
// (stereo, at the output's rate); one writer thread per engine moves those frames into the
// outputs (Output.h). A stream gets an output (a "voice") when it first plays, and keeps it.
//
// Positions. A stream plays in stretches: from a seek (or its start) on, its frames land on the
// output's time line from `seg_at` on, and the source frame of any of them follows from the two
// rates. The frame being heard is the output's Heard(), so the position is where the listener is.
//
// Taking back. The outputs keep deep buffers, so what a pause, a stop or a seek must end is
// still waiting in them. The voice keeps a copy of the frames written and not yet heard; a
// command takes them back from the output's first replaceable frame on (they return to their
// streams' queues) and writes instead a short fade-out of what was to come. A resume or the new
// place of a seek fades in. A queued stream (ChannelQueue) is joined when the current one's last
// frame is written: its frames follow in the same output, and taking back across the joint
// returns them to it, queued again.
//
// One lock (Impl::mu) guards every stream and voice; output calls are made with it held. The
// outputs' own callbacks never take it: they only kick the writer (Waker).
#include "audio/AudioEngine.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <map>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "audio/ByteSource.h"
#include "audio/Decoder.h"
#include "audio/FrameSource.h"
#include "audio/Output.h"
#include "audio/PulseOutput.h"
#include "audio/SdlOutput.h"

namespace quillet::audio {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kDefaultFreq = 44100;
constexpr std::uint32_t kOutChannels = 2;
// Decoded ahead per stream: about 0.74 s at 44100 Hz, whatever the file's length. The worker
// sleeps until half of it has been written and then fills it up again in one go.
constexpr std::size_t kAheadFrames = 32768;
constexpr std::size_t kRefillRoom = kAheadFrames / 2;
constexpr std::size_t kWriteChunk = 4096;
// Fades of pause, stop and seek: long enough not to click, short enough to feel instant.
constexpr double kFadeSeconds = 0.008;
// An output let go of plays out its last fade, but closes after this at the latest.
constexpr auto kLetGoLimit = std::chrono::seconds(2);
constexpr std::uint32_t kBytesPerSample = 2;  // positions count 16-bit samples

thread_local int t_error = kOk;

bool Fail(int code) {
  t_error = code;
  return false;
}

bool Ok() {
  t_error = kOk;
  return true;
}

std::atomic<Handle> g_next_handle{1};

Handle NewHandle() {
  Handle h;
  do {
    h = g_next_handle.fetch_add(1, std::memory_order_relaxed);
  } while (h == 0);
  return h;
}

enum class PlayState { kIdle, kPlaying, kPaused, kStopped, kEnded };

struct Stream;

// An open output and the frames written to it that may still be taken back.
struct Voice {
  std::unique_ptr<Output> out;
  std::deque<float> recent;  // frames [recent_from, out->Written()), as written
  std::uint64_t recent_from = 0;
  Stream* writer = nullptr;  // whose frames go in now; nullptr once let go
  Stream* before = nullptr;  // a stream whose last frames precede the writer's, until heard
  bool corked = false;
  Clock::time_point let_go{};
};

struct Stream {
  Handle id = 0;
  std::unique_ptr<FrameSource> src;
  std::uint32_t rate = 0;      // the file's
  std::uint32_t channels = 0;  // the file's
  std::uint64_t frames = 0;    // the file's length in frames
  std::uint32_t out_rate = 0;  // the output's

  // The worker's side: output frames decoded ahead, from the current stretch.
  std::deque<float> ahead;
  bool src_end = false;  // the stretch's last frame is in `ahead`
  bool failed = false;   // the decoder gave up before the end
  std::uint64_t gen = 0;  // bumped by every seek; the worker drops work of older ones
  std::uint64_t seek_to = 0;
  bool quit = false;
  std::condition_variable cv;  // the worker waits here, on the engine's lock
  std::thread worker;

  // The writer's side.
  PlayState state = PlayState::kIdle;
  bool lost = false;  // its output failed (the server went away)
  std::shared_ptr<Voice> voice;
  std::uint64_t seg_src = 0;  // source frame at which the stretch begins
  std::uint64_t seg_at = 0;   // output index of the stretch's first frame
  std::uint64_t seg_out = 0;  // output frames of the stretch written
  bool tail_written = false;  // every frame of the stretch is written
  bool drained = false;       // ... and the output was told so
  std::uint64_t hold_at = 0;  // paused or stopped: where what is heard of it ends
  bool faded = false;         // paused, stopped or sought by a fade-out: fade in next
  std::size_t fade_in = 0;    // frames of fade-in still to apply
  Stream* queued = nullptr;   // the stream to follow this one (ChannelQueue)
  Stream* behind = nullptr;   // the stream this one is queued to follow

  std::uint32_t BytesPerFrame() const { return channels * kBytesPerSample; }

  std::uint64_t SourceAt(std::uint64_t out_frames) const {
    // Split so that the product cannot overflow.
    const std::uint64_t src =
        seg_src + out_frames / out_rate * rate + out_frames % out_rate * rate / out_rate;
    return std::min(src, frames);
  }
};

}  // namespace

struct AudioEngine::Impl {
  DeviceOpener opener;
  std::mutex mu;
  std::map<Handle, std::shared_ptr<Stream>> streams;
  std::vector<std::shared_ptr<Voice>> voices;
  std::shared_ptr<OutputDevice> device;
  Waker waker;
  std::thread pump;
  bool pump_quit = false;
  std::atomic<std::uint32_t> volume{0xFFFFFFFFu};
  std::vector<float> scratch;

  std::size_t FadeFrames() const {
    return static_cast<std::size_t>(std::lround(kFadeSeconds * device->rate()));
  }

  std::shared_ptr<Stream> Find(Handle h) {
    if (h == 0) return nullptr;
    auto it = streams.find(h);
    return it == streams.end() ? nullptr : it->second;
  }

  // --- The worker ----------------------------------------------------------------------------

  void Work(Stream* s) {
    std::vector<float> got;
    std::uint64_t my_gen = 0;
    bool topping_up = true;  // filling up; it waits again once full
    std::unique_lock<std::mutex> lk(mu);
    while (!s->quit) {
      if (s->gen != my_gen) {
        my_gen = s->gen;
        topping_up = true;
        const std::uint64_t to = s->seek_to;
        lk.unlock();
        const bool ok = s->src->Seek(to);
        lk.lock();
        if (!ok && s->gen == my_gen) {
          s->failed = s->src_end = true;
          waker.Kick();
        }
        continue;
      }
      const std::size_t have = s->ahead.size() / 2;
      if (have >= kAheadFrames) topping_up = false;
      if (have + kRefillRoom <= kAheadFrames) topping_up = true;
      if (s->src_end || !topping_up) {
        s->cv.wait(lk);
        continue;
      }
      lk.unlock();
      got.clear();
      const FrameSource::Got r = s->src->Read(&got);
      lk.lock();
      if (s->gen != my_gen) continue;
      const bool was_empty = s->ahead.empty();
      s->ahead.insert(s->ahead.end(), got.begin(), got.end());
      if (r != FrameSource::Got::kMore) {
        s->src_end = true;
        s->failed = r == FrameSource::Got::kError;
      }
      if (was_empty || s->src_end) waker.Kick();
    }
  }

  // Starts a new stretch of `s` at source frame `frame`, after what its voice holds.
  void NewStretch(Stream& s, std::uint64_t frame) {
    ++s.gen;
    s.seek_to = frame;
    s.ahead.clear();
    s.src_end = s.failed = false;
    s.seg_src = frame;
    s.seg_at = s.hold_at = s.voice ? s.voice->out->Written() : 0;
    s.seg_out = 0;
    s.tail_written = s.drained = false;
    s.fade_in = 0;
    s.cv.notify_all();
  }

  // --- Writing -------------------------------------------------------------------------------

  // Writes the next `n` frames of `s` (its writer) with `gain(k)` applied to frame k.
  template <typename Gain>
  std::size_t WriteFrames(Voice& v, Stream& s, std::size_t n, Gain gain) {
    n = std::min(n, s.ahead.size() / 2);
    if (n == 0) return 0;
    scratch.assign(s.ahead.begin(), s.ahead.begin() + static_cast<std::ptrdiff_t>(2 * n));
    for (std::size_t k = 0; k < n; ++k) {
      const float g = gain(k);
      scratch[2 * k] *= g;
      scratch[2 * k + 1] *= g;
    }
    const std::size_t put = v.out->Write(scratch.data(), n);
    s.ahead.erase(s.ahead.begin(), s.ahead.begin() + static_cast<std::ptrdiff_t>(2 * put));
    v.recent.insert(v.recent.end(), scratch.begin(),
                    scratch.begin() + static_cast<std::ptrdiff_t>(2 * put));
    s.seg_out += put;
    // What has been heard can no longer be taken back.
    const std::uint64_t heard = v.out->Heard();
    if (heard > v.recent_from) {
      const auto drop = static_cast<std::size_t>(
          std::min<std::uint64_t>(heard - v.recent_from, v.recent.size() / 2));
      v.recent.erase(v.recent.begin(), v.recent.begin() + static_cast<std::ptrdiff_t>(2 * drop));
      v.recent_from += drop;
    }
    if (put < n) s.cv.notify_all();
    if (s.ahead.size() / 2 + kRefillRoom <= kAheadFrames) s.cv.notify_all();
    return put;
  }

  std::size_t WritePlain(Voice& v, Stream& s, std::size_t n) {
    if (s.fade_in == 0) return WriteFrames(v, s, n, [](std::size_t) { return 1.0f; });
    const std::size_t len = FadeFrames();
    const std::size_t done = len - s.fade_in;
    const std::size_t put = WriteFrames(v, s, std::min(n, s.fade_in), [&](std::size_t k) {
      return static_cast<float>(done + k + 1) / static_cast<float>(len);
    });
    s.fade_in -= put;
    return put;
  }

  // The writer's queued stream follows it in the same output.
  bool Join(Voice& v) {
    Stream* s = v.writer;
    Stream* q = s->queued;
    if (!q) return false;
    s->queued = nullptr;
    q->behind = nullptr;
    if (v.before) v.before->voice.reset();  // an earlier joint long since heard
    v.before = s;
    v.writer = q;
    q->voice = s->voice;
    q->seg_at = q->hold_at = v.out->Written();
    q->seg_out = 0;
    q->tail_written = q->drained = q->faded = false;
    q->fade_in = 0;
    q->state = PlayState::kPlaying;
    return true;
  }

  // Moves frames from the writer's queue into the output while it has room.
  void Serve(Voice& v) {
    if (v.out->Failed()) {
      Lose(v);
      return;
    }
    Stream* s = v.writer;
    if (!s) return;
    if (s->state != PlayState::kPlaying) {
      // Once the fade-out is heard, the output holds.
      if (!v.corked && v.out->Heard() >= s->hold_at) {
        v.out->SetPaused(true);
        v.corked = true;
      }
      return;
    }
    std::size_t room = v.out->Room();
    while (room > 0) {
      if (s->ahead.empty()) {
        if (!s->src_end) return;  // the worker kicks when it has more
        s->tail_written = true;
        if (Join(v)) {
          s = v.writer;
          continue;
        }
        if (!s->drained) {
          s->drained = true;
          v.out->Drain();
        }
        return;
      }
      const std::size_t put = WritePlain(v, *s, std::min(room, kWriteChunk));
      if (put == 0) return;
      room -= put;
    }
  }

  // The output broke: its streams stop and say why from now on.
  void Lose(Voice& v) {
    for (Stream* s : {v.writer, v.before}) {
      if (!s) continue;
      s->lost = true;
      if (s->state == PlayState::kPlaying || s->state == PlayState::kPaused) {
        s->hold_at = s->seg_at + s->seg_out;
        s->state = PlayState::kStopped;
      }
      if (s->queued) {
        s->queued->behind = nullptr;
        s->queued = nullptr;
      }
      s->voice.reset();
    }
    v.writer = v.before = nullptr;
    v.let_go = Clock::now() - kLetGoLimit;
  }

  // --- Taking back ---------------------------------------------------------------------------

  // Marks a stream whose last frame has been heard as played out.
  void UpdateEnd(Stream& s) {
    if (s.state != PlayState::kPlaying || !s.tail_written || !s.voice) return;
    Voice& v = *s.voice;
    if (v.writer == &s && s.queued) return;  // its queued stream joins when served
    if (v.out->Heard() < s.seg_at + s.seg_out) return;
    s.state = PlayState::kEnded;
    if (v.before == &s) {
      v.before = nullptr;
      s.voice.reset();
    }
  }

  // Frames from `from` to `to` of the voice's copy go back to the front of `s`'s queue.
  void GiveBack(Voice& v, Stream& s, std::uint64_t from, std::uint64_t to) {
    if (to <= from) return;
    const auto a = static_cast<std::ptrdiff_t>(2 * (from - v.recent_from));
    const auto b = static_cast<std::ptrdiff_t>(2 * (to - v.recent_from));
    s.ahead.insert(s.ahead.begin(), v.recent.begin() + a, v.recent.begin() + b);
    s.seg_out -= to - from;
    s.tail_written = s.drained = false;
  }

  // Takes back every frame from the output's first replaceable one on. A joint not yet reached
  // is undone: the writer is queued again behind the stream before it.
  void Recall(Voice& v) {
    if (v.before) UpdateEnd(*v.before);
    const std::uint64_t written = v.out->Written();
    const std::uint64_t at = std::max(v.out->Rewind(v.out->Rewritable()), v.recent_from);
    if (at >= written) return;
    Stream* w = v.writer;
    if (w) {
      const std::uint64_t from = std::max(at, w->seg_at);
      GiveBack(v, *w, from, written);
      Stream* b = v.before;
      if (at < w->seg_at && b) {
        GiveBack(v, *b, at, w->seg_at);
        w->voice.reset();
        w->state = PlayState::kIdle;
        b->queued = w;
        w->behind = b;
        v.writer = b;
        v.before = nullptr;
      }
    }
    v.recent.resize(static_cast<std::size_t>(2 * (at - v.recent_from)));
  }

  // Fades `s` (its voice's writer) out from the first replaceable frame on; returns where what
  // is heard of it ends.
  std::uint64_t FadeOut(Stream& s) {
    Voice& v = *s.voice;
    Recall(v);
    if (v.writer != &s && v.before == &s) {
      // The joint is already on its way: the few frames of the next stream there fade out
      // instead, and it goes back to where it stood.
      Stream* q = v.writer;
      Fade(v, *q);
      const std::uint64_t start = q->seg_src;
      q->voice.reset();
      q->state = PlayState::kIdle;
      q->faded = false;
      v.writer = &s;
      v.before = nullptr;
      NewStretch(*q, start);
    }
    if (v.writer != &s) return v.out->Written();
    Fade(v, s);
    return v.out->Written();
  }

  void Fade(Voice& v, Stream& s) {
    const std::size_t n = std::min(FadeFrames(), s.ahead.size() / 2);
    const std::size_t skip = s.fade_in;  // a fade-in cut short starts the fade-out lower
    const std::size_t len = FadeFrames();
    const float from = skip ? static_cast<float>(len - skip) / static_cast<float>(len) : 1.0f;
    s.fade_in = 0;
    WriteFrames(v, s, n, [&](std::size_t k) {
      return from * static_cast<float>(n - 1 - k) / static_cast<float>(n);
    });
    if (s.ahead.empty() && s.src_end) s.tail_written = true;
    v.out->Drain();
  }

  // Cancels what `s` has queued, or the joint it is the stream before.
  void CancelQueue(Stream& s) {
    if (s.queued) {
      s.queued->behind = nullptr;
      s.queued = nullptr;
    }
    if (!s.voice || s.voice->before != &s) return;
    Voice& v = *s.voice;
    Recall(v);
    if (v.before == &s) {
      FadeOut(s);  // too late to take back: the next stream's frames there fade out
      s.tail_written = true;
    }
    if (s.queued) {
      s.queued->behind = nullptr;
      s.queued = nullptr;
    }
    Serve(v);
  }

  // Cancels every queue `s` takes part in.
  void CancelQueues(Stream& s) {
    if (s.behind) CancelQueue(*s.behind);
    if (s.voice && s.voice->writer == &s && s.voice->before) CancelQueue(*s.voice->before);
    CancelQueue(s);
  }

  void LetGo(Stream& s) {
    if (!s.voice) return;
    Voice& v = *s.voice;
    if (v.writer == &s) {
      v.writer = nullptr;
      v.let_go = Clock::now();
    }
    if (v.before == &s) v.before = nullptr;
    s.voice.reset();
  }

  // Keeps the stream's state up to date with its output.
  void Check(Stream& s) {
    if (s.voice && s.voice->out->Failed()) Lose(*s.voice);
    UpdateEnd(s);
  }

  std::uint64_t Position(Stream& s) {
    if (s.state == PlayState::kEnded) return s.failed ? s.SourceAt(s.seg_out) : s.frames;
    if (!s.voice) return s.SourceAt(std::min(s.hold_at - std::min(s.hold_at, s.seg_at), s.seg_out));
    const std::uint64_t h = s.state == PlayState::kPlaying
                                ? s.voice->out->Heard()
                                : std::min(s.hold_at, s.voice->out->Written());
    return s.SourceAt(h > s.seg_at ? std::min(h - s.seg_at, s.seg_out) : 0);
  }

  // --- The writer thread ---------------------------------------------------------------------

  void Pump() {
    std::unique_lock<std::mutex> lk(mu);
    while (!pump_quit) {
      bool settling = false;
      for (const auto& v : voices) {
        Serve(*v);
        if (v->writer && v->writer->state != PlayState::kPlaying && !v->corked) settling = true;
      }
      const auto now = Clock::now();
      for (auto it = voices.begin(); it != voices.end();) {
        Voice& v = **it;
        const bool idle = !v.writer && !v.before;
        if (idle && (v.out->Failed() || v.out->Heard() >= v.out->Written() ||
                     now - v.let_go > kLetGoLimit)) {
          it = voices.erase(it);
          continue;
        }
        if (idle) settling = true;
        ++it;
      }
      lk.unlock();
      waker.Wait(settling ? std::chrono::milliseconds(10) : std::chrono::milliseconds(1000));
      lk.lock();
    }
  }

  void StopPump() {
    {
      std::lock_guard<std::mutex> lk(mu);
      pump_quit = true;
    }
    waker.Kick();
    if (pump.joinable()) pump.join();
  }

  // Takes every stream out of the table and lets them go (joining their workers) unlocked.
  void FreeAllStreams() {
    std::map<Handle, std::shared_ptr<Stream>> gone;
    {
      std::lock_guard<std::mutex> lk(mu);
      gone.swap(streams);
      for (auto& [id, s] : gone) {
        s->quit = true;
        s->queued = s->behind = nullptr;
        s->voice.reset();
        s->cv.notify_all();
      }
      voices.clear();
    }
    for (auto& [id, s] : gone)
      if (s->worker.joinable()) s->worker.join();
  }
};

AudioEngine::AudioEngine() : AudioEngine(DeviceOpener{}) {}

AudioEngine::AudioEngine(DeviceOpener opener) : impl_(std::make_unique<Impl>()) {
  impl_->opener = std::move(opener);
}

AudioEngine::~AudioEngine() {
  if (impl_->device) Free();
  impl_->FreeAllStreams();
}

std::uint32_t AudioEngine::GetVersion() {
  t_error = kOk;
  return kEngineVersion;
}

int AudioEngine::ErrorGetCode() { return t_error; }

bool AudioEngine::ProbeFile(const std::string& path, FileProbe* out) {
  int err = kOk;
  auto src = ByteSource::OpenFile(path, 0, 0, &err);
  if (!src) return Fail(err);
  auto dec = OpenDecoder(src, DecoderUse::kProbe, &err);
  if (!dec) return Fail(err);
  const DecoderInfo& info = dec->info();
  if (out) {
    out->length = info.frames * info.channels * kBytesPerSample;
    out->freq = info.rate;
    out->channels = info.channels;
    out->seconds = static_cast<double>(info.frames) / info.rate;
  }
  return Ok();
}

bool AudioEngine::Init(int device, std::uint32_t freq, std::uint32_t flags) {
  Impl& d = *impl_;
  if (d.device) return Fail(kErrAlready);
  if (flags != 0 || freq > 384000) return Fail(kErrIllegalParam);
  if (device == 0 || device < -1) return Fail(kErrDevice);
  if (freq == 0) freq = kDefaultFreq;
  int err = kErrDevice;
  std::shared_ptr<OutputDevice> dev;
  if (d.opener) {
    dev = d.opener(device, freq, &err);
  } else {
    // The default device goes through the sound server when one answers; a listed device, a
    // driver named in SDL_AUDIODRIVER, and a system without a server go through SDL.
    if (device == -1 && PulseDevice::Wanted()) dev = PulseDevice::Connect(freq);
    if (!dev) dev = SdlDevice::OpenDevice(device, freq, &err);
  }
  if (!dev) return Fail(err);
  std::lock_guard<std::mutex> lk(d.mu);
  d.device = std::move(dev);
  d.pump_quit = false;
  try {
    d.pump = std::thread([&d] { d.Pump(); });
  } catch (const std::system_error&) {
    d.device.reset();
    return Fail(kErrMemory);
  }
  return Ok();
}

bool AudioEngine::Free() {
  Impl& d = *impl_;
  if (!d.device) return Fail(kErrInit);
  d.StopPump();
  d.FreeAllStreams();
  std::shared_ptr<OutputDevice> gone;
  {
    std::lock_guard<std::mutex> lk(d.mu);
    gone = std::move(d.device);
  }
  return Ok();
}

Handle AudioEngine::StreamCreateFile(bool mem, const std::string& path, std::uint64_t offset,
                                     std::uint64_t length, std::uint32_t flags) {
  Impl& d = *impl_;
  std::shared_ptr<OutputDevice> dev;
  {
    std::lock_guard<std::mutex> lk(d.mu);
    dev = d.device;
  }
  if (!dev) return Fail(kErrInit), 0;
  if (flags != 0) return Fail(kErrIllegalParam), 0;
  int err = kOk;
  auto src = mem ? ByteSource::FromMemory(path, offset, length, &err)
                 : ByteSource::OpenFile(path, offset, length, &err);
  if (!src) return Fail(err), 0;
  auto dec = OpenDecoder(src, DecoderUse::kPlay, &err);
  if (!dec) return Fail(err), 0;
  auto frames = FrameSource::Make(std::move(dec), dev->rate(), &err);
  if (!frames) return Fail(err), 0;
  // After the server went away, the next stream connects again.
  if (!dev->Ready()) return Fail(kErrDevice), 0;

  std::shared_ptr<Stream> s;
  try {
    s = std::make_shared<Stream>();
    s->id = NewHandle();
    s->rate = frames->info().rate;
    s->channels = frames->info().channels;
    s->frames = frames->info().frames;
    s->out_rate = dev->rate();
    s->src = std::move(frames);
    std::lock_guard<std::mutex> lk(d.mu);
    if (!d.device) return Fail(kErrInit), 0;
    s->worker = std::thread([&d, raw = s.get()] { d.Work(raw); });
    d.streams.emplace(s->id, s);
  } catch (const std::bad_alloc&) {
    return Fail(kErrMemory), 0;
  } catch (const std::system_error&) {
    return Fail(kErrMemory), 0;
  }
  t_error = kOk;
  return s->id;
}

bool AudioEngine::StreamFree(Handle h) {
  Impl& d = *impl_;
  std::shared_ptr<Stream> s;
  {
    std::lock_guard<std::mutex> lk(d.mu);
    s = d.Find(h);
    if (!s) return Fail(kErrHandle);
    d.Check(*s);
    d.CancelQueues(*s);
    // What is still to be heard fades out rather than stopping dead.
    if (s->state == PlayState::kPlaying && s->voice && s->voice->writer == s.get())
      d.FadeOut(*s);
    d.LetGo(*s);
    d.streams.erase(h);
    s->quit = true;
    s->cv.notify_all();
  }
  d.waker.Kick();
  if (s->worker.joinable()) s->worker.join();  // outside the lock, which the worker takes
  return Ok();
}

bool AudioEngine::ChannelPlay(Handle h, bool restart) {
  Impl& d = *impl_;
  {
    std::lock_guard<std::mutex> lk(d.mu);
    auto s = d.Find(h);
    if (!s) return Fail(kErrHandle);
    d.Check(*s);
    if (s->lost) return Fail(kErrDevice);
    for (auto& [id, other] : d.streams)
      if (other != s) d.CancelQueue(*other);
    if (s->behind) d.CancelQueue(*s->behind);
    const bool audible = s->state == PlayState::kPlaying && s->voice;
    if (restart || s->state == PlayState::kEnded) {
      if (audible) d.FadeOut(*s);
      d.NewStretch(*s, 0);
      s->fade_in = audible ? d.FadeFrames() : 0;
      s->faded = false;
    } else if (s->state == PlayState::kPlaying) {
      return Ok();
    }
    if (!s->voice) {
      auto out = d.device->Open(d.device->rate(), kOutChannels, &d.waker);
      if (!out) return Fail(kErrDevice);
      out->SetVolume(d.volume.load(std::memory_order_relaxed));
      auto v = std::make_shared<Voice>();
      v->out = std::move(out);
      v->writer = s.get();
      d.voices.push_back(v);
      s->voice = v;
      s->seg_at = s->hold_at = v->out->Written();
      s->seg_out = 0;
    }
    Voice& v = *s->voice;
    const bool resumed = s->faded;
    if (resumed) s->fade_in = d.FadeFrames();
    s->faded = false;
    s->state = PlayState::kPlaying;
    if (v.corked) {
      v.out->SetPaused(false);
      v.corked = false;
    }
    d.Serve(v);
    if (resumed) v.out->Drain();  // a resume starts at once, however little is written
  }
  d.waker.Kick();
  return Ok();
}

bool AudioEngine::ChannelPause(Handle h) {
  Impl& d = *impl_;
  {
    std::lock_guard<std::mutex> lk(d.mu);
    auto s = d.Find(h);
    if (!s) return Fail(kErrHandle);
    d.Check(*s);
    if (s->state == PlayState::kPaused) return Fail(kErrAlready);
    if (s->state != PlayState::kPlaying) return Fail(kErrNotPlaying);
    s->hold_at = s->voice ? d.FadeOut(*s) : s->hold_at;
    s->faded = true;
    s->state = PlayState::kPaused;
  }
  d.waker.Kick();
  return Ok();
}

bool AudioEngine::ChannelStop(Handle h) {
  Impl& d = *impl_;
  {
    std::lock_guard<std::mutex> lk(d.mu);
    auto s = d.Find(h);
    if (!s) return Fail(kErrHandle);
    d.Check(*s);
    d.CancelQueues(*s);
    if (s->state == PlayState::kPlaying || s->state == PlayState::kPaused) {
      if (s->state == PlayState::kPlaying && s->voice) s->hold_at = d.FadeOut(*s);
      s->faded = true;
      s->state = PlayState::kStopped;
    }
  }
  d.waker.Kick();
  return Ok();
}

std::uint32_t AudioEngine::ChannelIsActive(Handle h) {
  Impl& d = *impl_;
  std::lock_guard<std::mutex> lk(d.mu);
  auto s = d.Find(h);
  if (!s) return Fail(kErrHandle), kStopped;
  d.Check(*s);
  // A stream whose server went away has stopped; the code says why.
  if (s->lost) return Fail(kErrDevice), kStopped;
  t_error = kOk;
  switch (s->state) {
    case PlayState::kPlaying:
      // Stalled: the output has played all it had and the decoder has not caught up.
      return s->ahead.empty() && !s->src_end && s->voice &&
                     s->voice->out->Heard() >= s->voice->out->Written()
                 ? kStalled
                 : kPlaying;
    case PlayState::kPaused:
      return kPaused;
    default:
      return kStopped;
  }
}

std::uint64_t AudioEngine::ChannelGetLength(Handle h) {
  std::lock_guard<std::mutex> lk(impl_->mu);
  auto s = impl_->Find(h);
  if (!s) return Fail(kErrHandle), kNotAvailable;
  t_error = kOk;
  return s->frames * s->BytesPerFrame();
}

std::uint64_t AudioEngine::ChannelGetPosition(Handle h) {
  std::lock_guard<std::mutex> lk(impl_->mu);
  auto s = impl_->Find(h);
  if (!s) return Fail(kErrHandle), kNotAvailable;
  impl_->Check(*s);
  t_error = kOk;
  return impl_->Position(*s) * s->BytesPerFrame();
}

double AudioEngine::ChannelBytes2Seconds(Handle h, std::uint64_t bytes) {
  std::lock_guard<std::mutex> lk(impl_->mu);
  auto s = impl_->Find(h);
  if (!s) return Fail(kErrHandle), -1.0;
  t_error = kOk;
  return static_cast<double>(bytes) / (static_cast<double>(s->BytesPerFrame()) * s->rate);
}

std::uint64_t AudioEngine::ChannelSeconds2Bytes(Handle h, double seconds) {
  std::lock_guard<std::mutex> lk(impl_->mu);
  auto s = impl_->Find(h);
  if (!s) return Fail(kErrHandle), kNotAvailable;
  const double x = seconds * s->rate;
  // Beyond 2^53 frames a double no longer tells frames apart; no file is that long.
  if (!(x >= 0) || !(x < 9007199254740992.0)) return Fail(kErrIllegalParam), kNotAvailable;
  double whole = std::floor(x);
  // A time made from a frame count comes back as that count, not one below it.
  if (x - whole > 1.0 - std::max(1e-6, x * 1e-12)) whole += 1.0;
  t_error = kOk;
  return static_cast<std::uint64_t>(whole) * s->BytesPerFrame();
}

bool AudioEngine::ChannelSetPosition(Handle h, std::uint64_t bytes) {
  Impl& d = *impl_;
  {
    std::lock_guard<std::mutex> lk(d.mu);
    auto s = d.Find(h);
    if (!s) return Fail(kErrHandle);
    const std::uint64_t frame = bytes / s->BytesPerFrame();
    if (frame > s->frames) return Fail(kErrPosition);
    d.Check(*s);
    d.CancelQueues(*s);
    const bool audible = s->state == PlayState::kPlaying && s->voice;
    if (audible) d.FadeOut(*s);  // the old place fades out, the new one in
    if (s->state == PlayState::kEnded) s->state = PlayState::kStopped;
    d.NewStretch(*s, frame);
    if (audible) s->fade_in = d.FadeFrames();
  }
  d.waker.Kick();
  return Ok();
}

std::uint64_t AudioEngine::ChannelGetLengthMs(Handle h) {
  std::lock_guard<std::mutex> lk(impl_->mu);
  auto s = impl_->Find(h);
  if (!s) return Fail(kErrHandle), kNotAvailable;
  t_error = kOk;
  return s->frames * 1000 / s->rate;
}

std::uint64_t AudioEngine::ChannelGetPositionMs(Handle h) {
  std::lock_guard<std::mutex> lk(impl_->mu);
  auto s = impl_->Find(h);
  if (!s) return Fail(kErrHandle), kNotAvailable;
  impl_->Check(*s);
  t_error = kOk;
  return impl_->Position(*s) * 1000 / s->rate;
}

bool AudioEngine::ChannelSetPositionMs(Handle h, std::uint64_t ms) {
  std::uint64_t bytes;
  {
    std::lock_guard<std::mutex> lk(impl_->mu);
    auto s = impl_->Find(h);
    if (!s) return Fail(kErrHandle);
    // Far beyond the length (and safe from overflow below): code 7 without arithmetic.
    if (ms / 1000 > s->frames / s->rate + 1) return Fail(kErrPosition);
    bytes = (ms * s->rate + 999) / 1000 * s->BytesPerFrame();
  }
  return ChannelSetPosition(h, bytes);
}

bool AudioEngine::ChannelQueue(Handle current, Handle next) {
  Impl& d = *impl_;
  {
    std::lock_guard<std::mutex> lk(d.mu);
    auto c = d.Find(current);
    if (!c) return Fail(kErrHandle);
    d.Check(*c);
    if (next == 0) {
      d.CancelQueue(*c);
      return Ok();
    }
    auto q = d.Find(next);
    if (!q) return Fail(kErrHandle);
    if (q == c) return Fail(kErrIllegalParam);
    d.Check(*q);
    if (c->state != PlayState::kPlaying && c->state != PlayState::kPaused)
      return Fail(kErrNotPlaying);
    if (q->state == PlayState::kPlaying || q->state == PlayState::kPaused)
      return Fail(kErrAlready);
    d.CancelQueue(*c);
    d.CancelQueues(*q);
    // It follows from where it stands, on the current stream's output.
    const std::uint64_t from = q->state == PlayState::kEnded ? 0 : d.Position(*q);
    const bool moved = q->voice || q->state == PlayState::kEnded || q->seg_out > 0;
    d.LetGo(*q);
    if (moved) d.NewStretch(*q, from);
    q->state = PlayState::kIdle;
    q->faded = false;
    c->queued = q.get();
    q->behind = c.get();
    if (c->voice) d.Serve(*c->voice);
  }
  d.waker.Kick();
  return Ok();
}

std::uint32_t AudioEngine::GetVolume() {
  t_error = kOk;
  return impl_->volume.load(std::memory_order_relaxed);
}

bool AudioEngine::SetVolume(std::uint32_t packed) {
  impl_->volume.store(packed, std::memory_order_relaxed);
  std::lock_guard<std::mutex> lk(impl_->mu);
  for (const auto& v : impl_->voices) v->out->SetVolume(packed);
  return Ok();
}

}  // namespace quillet::audio
