// The engine's operations: arguments and codes checked here, playback itself in Playback.h.
#include "audio/AudioEngine.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "audio/ByteSource.h"
#include "audio/Decoder.h"
#include "audio/FrameSource.h"
#include "audio/Playback.h"
#include "audio/PulseOutput.h"
#include "audio/SdlOutput.h"

namespace quillet::audio {

namespace {

constexpr std::uint32_t kDefaultFreq = 44100;
constexpr std::uint32_t kOutChannels = 2;

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

}  // namespace
struct AudioEngine::Impl : Playback {
  DeviceOpener opener;
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
      d.FadeOut(*s, true);
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
      if (audible) d.FadeOut(*s, false);
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
    // Once its fade is heard, the silence of the hold is not waited for.
    if (resumed && v.out->Heard() >= s->hold_at) d.Recall(v);
    if (v.out->Written() > s->seg_at + s->seg_out) {
      // Silence of the hold lies between: the stretch goes on after it.
      s->seg_src = s->SourceAt(s->seg_out);
      s->seg_at = s->hold_at = v.out->Written();
      s->seg_out = 0;
    }
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
    s->hold_at = s->voice ? d.FadeOut(*s, true) : s->hold_at;
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
      if (s->state == PlayState::kPlaying && s->voice) s->hold_at = d.FadeOut(*s, true);
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
    if (audible) d.FadeOut(*s, false);  // the old place fades out, the new one in
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
    if (c->state != PlayState::kPlaying && c->state != PlayState::kPaused && !c->behind)
      return Fail(kErrNotPlaying);
    if (q->state == PlayState::kPlaying || q->state == PlayState::kPaused) return Fail(kErrAlready);
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
