// The engine: one SDL output device, and per stream a decoder running on its own worker thread
// that fills a small ring of device-rate stereo frames, which the device callback mixes.
//
// Positions. Each stream keeps the source frame at which its current segment (since the last
// seek) began and the number of device frames the callback has handed out since; the source
// frame of any handed-out frame follows from the two rates. Every hand-out is stamped with the
// time; a frame handed out at t is heard one device buffer later, so the position being heard
// is interpolated from those stamps, and holds still once nothing more is handed out (pause).
//
// Through a sound server (PulseOutput.h) each stream has a server stream of its own that pulls
// from the ring, and the frame being heard is the count written since the segment began less
// the server's latency report. Pause and stop cork the server stream (it holds what it has and
// goes on from there); a seek flushes it.
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
#include "audio/PulseOutput.h"
#include "audio/SdlLibrary.h"

namespace quillet::audio {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kDefaultFreq = 44100;
constexpr int kOutChannels = 2;
constexpr Uint16 kDeviceFrames = 1024;  // about 23 ms at 44100 Hz
// The decoded-ahead ring: about 0.74 s at 44100 Hz, whatever the file's length. The decode
// thread sleeps until half of it has played and then fills it up again in one go.
constexpr std::size_t kRingFrames = 32768;
constexpr std::size_t kRefillRoom = kRingFrames / 2;
constexpr std::size_t kDecodeFrames = 4096;
constexpr std::size_t kHandOutHistory = 32;
constexpr std::uint32_t kBytesPerSample = 2;  // positions count 16-bit samples

thread_local int t_error = kOk;

bool Fail(int code) {
  t_error = code;
  return false;
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

struct HandOut {
  Clock::time_point at;
  std::uint64_t first;  // source frame of the first frame handed out
  std::uint64_t last;   // source frame after the last one
  std::uint32_t device_frames;
};

std::uint16_t Clamp16(float v) {
  const float s = std::nearbyint(v * 32768.0f);
  const float c = std::clamp(s, -32768.0f, 32767.0f);
  return static_cast<std::uint16_t>(static_cast<std::int16_t>(c));
}

struct Stream : PulseFeed {
  Handle id = 0;
  std::unique_ptr<Decoder> dec;
  std::uint32_t rate = 0;      // the file's
  std::uint32_t channels = 0;  // the file's
  std::uint64_t frames = 0;    // the file's length in frames
  std::uint32_t out_rate = 0;  // the device's
  Clock::duration latency{};

  std::mutex m;
  std::condition_variable cv;
  std::vector<float> ring;  // kRingFrames stereo frames
  std::size_t rd = 0;
  std::size_t count = 0;
  std::uint64_t gen = 0;  // bumped by every seek; the worker drops work of older ones
  std::uint64_t seek_to = 0;
  std::uint64_t seg_start = 0;  // source frame at which the current segment began
  std::uint64_t seg_out = 0;    // device frames handed out since then
  bool eof = false;             // the segment's last frame is in the ring
  bool failed = false;          // the decoder gave up before the end
  PlayState state = PlayState::kIdle;
  std::deque<HandOut> handed;
  bool quit = false;
  std::thread worker;

  // Through a sound server only.
  PulseConnection* conn = nullptr;
  std::unique_ptr<PulseStream> pout;
  bool hungry = false;          // the server asked for more than the ring had
  bool lost = false;            // the server stream failed (the server went away)
  bool tail_written = false;    // the segment's last frame went to the server
  Clock::time_point end_at;     // when that last frame is heard, while playing
  std::uint64_t dev_heard = 0;  // device frames of the segment heard, as last learnt

  ~Stream() override {
    {
      std::lock_guard<std::mutex> lk(m);
      quit = true;
    }
    cv.notify_all();
    if (worker.joinable()) worker.join();
    pout.reset();  // the server stream pulls from the ring until it is gone
  }

  std::size_t Pull(std::int16_t* out, std::size_t frames, bool* last) override;
  void Drained(std::int64_t latency_frames) override;
  void Lost() override;
  // Called with m held: when the tail written at `latency_frames` before it is heard.
  void SetEndFrom(std::int64_t latency_frames, Clock::time_point now);

  std::uint32_t BytesPerFrame() const { return channels * kBytesPerSample; }

  std::uint64_t SourceAt(std::uint64_t out_frames) const {
    // Split so that the product cannot overflow.
    const std::uint64_t src =
        seg_start + out_frames / out_rate * rate + out_frames % out_rate * rate / out_rate;
    return std::min(src, frames);
  }

  // Called with m held: notices a stream whose last frame has been heard.
  void UpdateEnd(Clock::time_point now) {
    if (state != PlayState::kPlaying || !eof || count != 0) return;
    if (pout) {
      if (!tail_written || now < end_at) return;
    } else if (!handed.empty()) {
      const HandOut& h = handed.back();
      const auto heard_out =
          h.at + latency +
          std::chrono::duration_cast<Clock::duration>(
              std::chrono::duration<double>(static_cast<double>(h.device_frames) / out_rate));
      if (now < heard_out) return;
    }
    state = PlayState::kEnded;
  }

  // Called with m held. `server_latency` is the server's report for a stream that has a server
  // stream (nullptr when it has none now: the last position learnt holds).
  std::uint64_t Heard(Clock::time_point now, const std::int64_t* server_latency = nullptr) {
    if (pout) {
      if (state == PlayState::kEnded) return failed ? SourceAt(seg_out) : frames;
      if (server_latency && !lost) {
        const auto l = static_cast<std::uint64_t>(std::max<std::int64_t>(*server_latency, 0));
        dev_heard = seg_out > l ? seg_out - l : 0;
      }
      return SourceAt(std::min(dev_heard, seg_out));
    }
    if (state == PlayState::kEnded) {
      if (!failed) return frames;
      return handed.empty() ? seg_start : handed.back().last;
    }
    for (auto it = handed.rbegin(); it != handed.rend(); ++it) {
      const auto start = it->at + latency;
      if (now < start) continue;
      const double secs = std::chrono::duration<double>(now - start).count();
      const auto advanced = static_cast<std::uint64_t>(secs * rate);
      return std::min(it->first + advanced, it->last);
    }
    return handed.empty() ? seg_start : handed.front().first;
  }

  // Called with m held: starts a new segment at `frame`.
  void SeekLocked(std::uint64_t frame) {
    ++gen;
    seek_to = frame;
    rd = 0;
    count = 0;
    eof = false;
    failed = false;
    seg_start = frame;
    seg_out = 0;
    handed.clear();
    tail_written = false;
    dev_heard = 0;
    cv.notify_all();
  }

  void Work();
};

// Folds any channel layout into stereo: mono to both sides; more than two channels average the
// even-numbered ones to the left and the odd-numbered ones to the right.
void ToStereo(const float* in, std::size_t frames, std::uint32_t channels, float* out) {
  if (channels == 2) {
    std::copy(in, in + frames * 2, out);
    return;
  }
  if (channels == 1) {
    for (std::size_t i = 0; i < frames; ++i) out[2 * i] = out[2 * i + 1] = in[i];
    return;
  }
  const float left_n = static_cast<float>((channels + 1) / 2);
  const float right_n = static_cast<float>(channels / 2);
  for (std::size_t i = 0; i < frames; ++i) {
    float l = 0, r = 0;
    for (std::uint32_t c = 0; c < channels; ++c) (c % 2 ? r : l) += in[i * channels + c];
    out[2 * i] = l / left_n;
    out[2 * i + 1] = r / right_n;
  }
}

void DrainResampler(const SdlLibrary& sdl, SDL_AudioStream* rs, std::vector<float>* out) {
  for (;;) {
    const int avail = sdl.AudioStreamAvailable(rs);
    if (avail <= 0) return;
    const std::size_t at = out->size();
    out->resize(at + static_cast<std::size_t>(avail) / sizeof(float));
    const int got = sdl.AudioStreamGet(rs, out->data() + at, avail);
    out->resize(at + static_cast<std::size_t>(std::max(got, 0)) / sizeof(float));
    if (got <= 0) return;
  }
}

void Stream::Work() {
  std::vector<float> in(kDecodeFrames * channels);
  std::vector<float> stereo(kDecodeFrames * 2);
  std::vector<float> pending;  // device-rate stereo frames waiting for room in the ring
  std::size_t pending_at = 0;  // in floats
  // Loaded by StreamCreateFile already when the rates differ.
  const SdlLibrary* sdl = rate != out_rate ? SdlLibrary::Get() : nullptr;
  SDL_AudioStream* rs = nullptr;
  if (sdl) {
    rs = sdl->NewAudioStream(AUDIO_F32SYS, kOutChannels, static_cast<int>(rate), AUDIO_F32SYS,
                             kOutChannels, static_cast<int>(out_rate));
  }
  bool source_done = false;
  bool topping_up = true;  // filling the ring up; it waits again once the ring is full
  bool fresh = false;      // frames (or the end) reached the ring since the server was served
  std::uint64_t my_gen = 0;
  std::uint64_t src_in = 0;    // source frames fed to the resampler this segment
  std::uint64_t out_made = 0;  // device frames it has given back

  std::unique_lock<std::mutex> lk(m);
  if (rate != out_rate && !rs) {
    failed = eof = source_done = true;
  }
  while (!quit) {
    if (fresh && hungry && pout) {
      // The server asked for more than there was: serve it now rather than on its next request.
      fresh = hungry = false;
      lk.unlock();
      pout->Kick();
      lk.lock();
      continue;
    }
    if (gen != my_gen) {
      my_gen = gen;
      topping_up = true;
      const std::uint64_t to = seek_to;
      pending.clear();
      pending_at = 0;
      source_done = false;
      src_in = out_made = 0;
      lk.unlock();
      const bool ok = dec->Seek(to);
      if (rs) sdl->AudioStreamClear(rs);
      lk.lock();
      if (!ok && gen == my_gen) failed = eof = source_done = true;
      continue;
    }
    const std::size_t room = kRingFrames - count;
    if (pending_at < pending.size()) {
      if (room == 0) {
        cv.wait(lk);
        continue;
      }
      const std::size_t n = std::min(room, (pending.size() - pending_at) / 2);
      for (std::size_t i = 0; i < n; ++i) {
        const std::size_t slot = (rd + count + i) % kRingFrames;
        ring[2 * slot] = pending[pending_at + 2 * i];
        ring[2 * slot + 1] = pending[pending_at + 2 * i + 1];
      }
      count += n;
      pending_at += 2 * n;
      if (pending_at >= pending.size() && source_done) eof = true;
      fresh = true;
      continue;
    }
    if (room == 0) topping_up = false;
    if (room >= kRefillRoom) topping_up = true;
    if (source_done || !topping_up) {
      cv.wait(lk);
      continue;
    }
    lk.unlock();
    const std::int64_t got = dec->Read(in.data(), kDecodeFrames);
    pending.clear();
    pending_at = 0;
    if (got > 0) {
      const auto n = static_cast<std::size_t>(got);
      ToStereo(in.data(), n, channels, stereo.data());
      if (rs) {
        if (sdl->AudioStreamPut(rs, stereo.data(), static_cast<int>(n * 2 * sizeof(float))) == 0)
          DrainResampler(*sdl, rs, &pending);
      } else {
        pending.assign(stereo.begin(), stereo.begin() + static_cast<std::ptrdiff_t>(n * 2));
      }
      src_in += n;
      out_made += pending.size() / 2;
    } else if (rs) {
      // SDL's flush drops the resampler's look-ahead when nothing is staged, so push silence
      // through and keep exactly as many device frames as the segment's source frames make.
      std::fill(stereo.begin(), stereo.end(), 0.0f);
      for (int i = 0; i < 4; ++i)
        sdl->AudioStreamPut(rs, stereo.data(), static_cast<int>(stereo.size() * sizeof(float)));
      sdl->AudioStreamFlush(rs);
      DrainResampler(*sdl, rs, &pending);
      const std::uint64_t total =
          src_in / rate * out_rate + (src_in % rate * out_rate + rate - 1) / rate;
      const std::uint64_t owed = total > out_made ? total - out_made : 0;
      pending.resize(static_cast<std::size_t>(owed) * 2, 0.0f);
      out_made += owed;
    }
    lk.lock();
    if (gen != my_gen) continue;
    if (got <= 0) {
      source_done = true;
      if (got < 0) failed = true;
      if (pending.empty()) eof = fresh = true;
    }
  }
  lk.unlock();
  if (rs) sdl->FreeAudioStream(rs);
}

// The server applies the volume (PulseStream::SetVolume).
std::size_t Stream::Pull(std::int16_t* out, std::size_t want, bool* last) {
  std::unique_lock<std::mutex> lk(m);
  if (lost) return 0;
  const std::size_t n = std::min(want, count);
  auto* o = reinterpret_cast<std::uint16_t*>(out);
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t slot = (rd + i) % kRingFrames;
    o[2 * i] = Clamp16(ring[2 * slot]);
    o[2 * i + 1] = Clamp16(ring[2 * slot + 1]);
  }
  rd = (rd + n) % kRingFrames;
  count -= n;
  seg_out += n;
  *last = eof && count == 0;
  hungry = n < want && !*last;
  const bool wake = count <= kRingFrames - kRefillRoom;
  lk.unlock();
  if (wake) cv.notify_all();
  return n;
}

void Stream::SetEndFrom(std::int64_t latency_frames, Clock::time_point now) {
  // Unknown right after a seek: then at most what was written since is still to be heard.
  const double frames_left =
      latency_frames >= 0 ? static_cast<double>(latency_frames) : static_cast<double>(seg_out);
  end_at = now + std::chrono::duration_cast<Clock::duration>(
                     std::chrono::duration<double>(frames_left / out_rate));
}

void Stream::Drained(std::int64_t latency_frames) {
  std::lock_guard<std::mutex> lk(m);
  tail_written = true;
  SetEndFrom(latency_frames, Clock::now());
}

void Stream::Lost() {
  {
    std::lock_guard<std::mutex> lk(m);
    lost = true;
    if (state == PlayState::kPlaying || state == PlayState::kPaused) state = PlayState::kStopped;
  }
  cv.notify_all();
}

}  // namespace

struct AudioEngine::Impl {
  std::mutex mu;  // guards the fields below; the device callback takes it too
  std::map<Handle, std::shared_ptr<Stream>> streams;
  bool ready = false;
  SDL_AudioDeviceID device = 0;
  SDL_AudioSpec fmt{};
  std::vector<float> mix;  // used by the device callback only
  std::atomic<std::uint32_t> volume{0xFFFFFFFFu};
  // Set when the output is a sound server rather than an SDL device.
  std::unique_ptr<PulseConnection> pulse;

  std::shared_ptr<Stream> Find(Handle h) {
    if (h == 0) return nullptr;
    std::lock_guard<std::mutex> lk(mu);
    auto it = streams.find(h);
    return it == streams.end() ? nullptr : it->second;
  }

  static void Callback(void* user, Uint8* out, int len) {
    static_cast<Impl*>(user)->Fill(reinterpret_cast<std::int16_t*>(out),
                                   static_cast<std::size_t>(len) / (kOutChannels * 2));
  }

  void Fill(std::int16_t* out, std::size_t frames) {
    const auto now = Clock::now();
    const std::uint32_t vol = volume.load(std::memory_order_relaxed);
    const float gain_l = static_cast<float>(vol & 0xFFFF) / 65535.0f;
    const float gain_r = static_cast<float>(vol >> 16) / 65535.0f;
    std::lock_guard<std::mutex> lk(mu);
    std::size_t done = 0;
    while (done < frames) {
      const std::size_t n = std::min(frames - done, mix.size() / 2);
      std::fill(mix.begin(), mix.begin() + static_cast<std::ptrdiff_t>(2 * n), 0.0f);
      for (auto& [id, s] : streams) Take(*s, n, now);
      for (std::size_t i = 0; i < n; ++i) {
        auto* o = reinterpret_cast<std::uint16_t*>(out + 2 * (done + i));
        o[0] = Clamp16(mix[2 * i] * gain_l);
        o[1] = Clamp16(mix[2 * i + 1] * gain_r);
      }
      done += n;
    }
  }

  void Take(Stream& s, std::size_t want, Clock::time_point now) {
    std::unique_lock<std::mutex> lk(s.m);
    if (s.state != PlayState::kPlaying) return;
    const std::size_t n = std::min(want, s.count);
    for (std::size_t i = 0; i < n; ++i) {
      const std::size_t slot = (s.rd + i) % kRingFrames;
      mix[2 * i] += s.ring[2 * slot];
      mix[2 * i + 1] += s.ring[2 * slot + 1];
    }
    if (n == 0) return;
    s.rd = (s.rd + n) % kRingFrames;
    s.count -= n;
    const std::uint64_t first = s.SourceAt(s.seg_out);
    s.seg_out += n;
    s.handed.push_back(HandOut{now, first, s.SourceAt(s.seg_out), static_cast<std::uint32_t>(n)});
    if (s.handed.size() > kHandOutHistory) s.handed.pop_front();
    const bool wake = s.count <= kRingFrames - kRefillRoom;
    lk.unlock();
    if (wake) s.cv.notify_all();
  }

  // Takes every stream out of the table and lets them go (joining their workers) unlocked.
  void FreeAllStreams() {
    std::map<Handle, std::shared_ptr<Stream>> gone;
    {
      std::lock_guard<std::mutex> lk(mu);
      gone.swap(streams);
    }
  }
};

AudioEngine::AudioEngine() : impl_(std::make_unique<Impl>()) {}

AudioEngine::~AudioEngine() {
  if (impl_->ready) Free();
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
  t_error = kOk;
  return true;
}

bool AudioEngine::Init(int device, std::uint32_t freq, std::uint32_t flags) {
  Impl& d = *impl_;
  if (d.ready) return Fail(kErrAlready);
  if (flags != 0 || freq > 384000) return Fail(kErrIllegalParam);
  if (device == 0 || device < -1) return Fail(kErrDevice);
  // The default device goes through the sound server when one answers; a listed device, a
  // driver named in SDL_AUDIODRIVER, and a system without a server go through SDL.
  if (device == -1 && PulseConnection::Wanted()) {
    if (auto pulse = PulseConnection::Open(freq ? freq : kDefaultFreq)) {
      std::lock_guard<std::mutex> lk(d.mu);
      d.pulse = std::move(pulse);
      d.fmt = SDL_AudioSpec{};
      d.fmt.freq = static_cast<int>(d.pulse->rate());
      d.fmt.channels = kOutChannels;
      d.ready = true;
      t_error = kOk;
      return true;
    }
  }
  const SdlLibrary* sdl = SdlLibrary::Get();
  if (!sdl) return Fail(kErrDriver);
  // Leave SIGINT and SIGTERM to the program, and show in the mixer under the program's name.
  sdl->SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  sdl->SetHint(SDL_HINT_APP_NAME, "Quillet");
  sdl->SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, "Quillet");
  sdl->SetHint(SDL_HINT_AUDIO_DEVICE_STREAM_NAME, "Quillet");
  sdl->SetHint(SDL_HINT_AUDIO_DEVICE_STREAM_ROLE, "music");
  if (sdl->InitSubSystem(SDL_INIT_AUDIO) != 0) return Fail(kErrDriver);
  std::string name;
  if (device > 0) {
    const int n = sdl->GetNumAudioDevices(0);
    const char* found = device <= n ? sdl->GetAudioDeviceName(device - 1, 0) : nullptr;
    if (!found) {
      sdl->QuitSubSystem(SDL_INIT_AUDIO);
      return Fail(kErrDevice);
    }
    name = found;
  }
  SDL_AudioSpec want{};
  want.freq = static_cast<int>(freq ? freq : kDefaultFreq);
  want.format = AUDIO_S16SYS;
  want.channels = kOutChannels;
  want.samples = kDeviceFrames;
  want.callback = &Impl::Callback;
  want.userdata = &d;
  SDL_AudioSpec have{};
  // No changes allowed: SDL converts to whatever the hardware wants.
  const SDL_AudioDeviceID dev =
      sdl->OpenAudioDevice(device > 0 ? name.c_str() : nullptr, 0, &want, &have, 0);
  if (dev == 0) {
    sdl->QuitSubSystem(SDL_INIT_AUDIO);
    return Fail(kErrDevice);
  }
  try {
    d.mix.assign(static_cast<std::size_t>(std::max<Uint16>(have.samples, 256)) * 2, 0.0f);
  } catch (const std::bad_alloc&) {
    sdl->CloseAudioDevice(dev);
    sdl->QuitSubSystem(SDL_INIT_AUDIO);
    return Fail(kErrMemory);
  }
  {
    std::lock_guard<std::mutex> lk(d.mu);
    d.device = dev;
    d.fmt = have;
    d.ready = true;
  }
  sdl->PauseAudioDevice(dev, 0);
  t_error = kOk;
  return true;
}

bool AudioEngine::Free() {
  Impl& d = *impl_;
  if (!d.ready) return Fail(kErrInit);
  d.FreeAllStreams();
  if (d.pulse) {
    std::unique_ptr<PulseConnection> gone;
    {
      std::lock_guard<std::mutex> lk(d.mu);
      gone = std::move(d.pulse);
      d.ready = false;
    }
    t_error = kOk;
    return true;
  }
  SDL_AudioDeviceID dev;
  {
    std::lock_guard<std::mutex> lk(d.mu);
    dev = d.device;
    d.device = 0;
    d.ready = false;
  }
  // Not under the lock: closing waits for the callback, which takes it. The device came from
  // SDL, so the library is loaded.
  const SdlLibrary* sdl = SdlLibrary::Get();
  sdl->CloseAudioDevice(dev);
  sdl->QuitSubSystem(SDL_INIT_AUDIO);
  t_error = kOk;
  return true;
}

Handle AudioEngine::StreamCreateFile(bool mem, const std::string& path, std::uint64_t offset,
                                     std::uint64_t length, std::uint32_t flags) {
  Impl& d = *impl_;
  std::uint32_t out_rate;
  Clock::duration latency;
  PulseConnection* pulse;
  {
    std::lock_guard<std::mutex> lk(d.mu);
    if (!d.ready) return Fail(kErrInit), 0;
    pulse = d.pulse.get();
    out_rate = static_cast<std::uint32_t>(d.fmt.freq);
    latency = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(static_cast<double>(d.fmt.samples) / d.fmt.freq));
  }
  if (flags != 0) return Fail(kErrIllegalParam), 0;
  int err = kOk;
  auto src = mem ? ByteSource::FromMemory(path, offset, length, &err)
                 : ByteSource::OpenFile(path, offset, length, &err);
  if (!src) return Fail(err), 0;
  auto dec = OpenDecoder(src, DecoderUse::kPlay, &err);
  if (!dec) return Fail(err), 0;
  // A file at another rate than the output's is resampled by SDL.
  if (dec->info().rate != out_rate && !SdlLibrary::Get()) return Fail(kErrNotAvailable), 0;
  // After the server went away, the next stream connects again.
  if (pulse && !pulse->EnsureConnected()) return Fail(kErrDevice), 0;

  std::shared_ptr<Stream> s;
  try {
    s = std::make_shared<Stream>();
    s->id = NewHandle();
    s->rate = dec->info().rate;
    s->channels = dec->info().channels;
    s->frames = dec->info().frames;
    s->out_rate = out_rate;
    s->latency = latency;
    s->dec = std::move(dec);
    s->ring.assign(kRingFrames * 2, 0.0f);
    if (pulse) {
      s->conn = pulse;
      s->pout = pulse->NewStream(s.get());
      if (!s->pout) return Fail(kErrDevice), 0;
    }
    s->worker = std::thread([raw = s.get()] { raw->Work(); });
  } catch (const std::bad_alloc&) {
    return Fail(kErrMemory), 0;
  } catch (const std::system_error&) {
    return Fail(kErrMemory), 0;
  }
  {
    std::lock_guard<std::mutex> lk(d.mu);
    d.streams.emplace(s->id, s);
  }
  if (s->pout) {
    PulseConnectionLock pl(pulse);
    s->pout->SetVolume(d.volume.load(std::memory_order_relaxed));
  }
  t_error = kOk;
  return s->id;
}

bool AudioEngine::StreamFree(Handle h) {
  std::shared_ptr<Stream> s;
  {
    std::lock_guard<std::mutex> lk(impl_->mu);
    auto it = h ? impl_->streams.find(h) : impl_->streams.end();
    if (it == impl_->streams.end()) return Fail(kErrHandle);
    s = std::move(it->second);
    impl_->streams.erase(it);
  }
  s.reset();  // joins the worker, outside the table's lock
  t_error = kOk;
  return true;
}

bool AudioEngine::ChannelPlay(Handle h, bool restart) {
  auto s = impl_->Find(h);
  if (!s) return Fail(kErrHandle);
  {
    PulseConnectionLock pl(s->conn);
    std::lock_guard<std::mutex> lk(s->m);
    if (s->lost) return Fail(kErrDevice);
    s->UpdateEnd(Clock::now());
    if (restart || s->state == PlayState::kEnded) {
      s->SeekLocked(0);
      if (s->pout) s->pout->Flush();
    }
    s->state = PlayState::kPlaying;
    if (s->pout) {
      s->pout->SetCorked(false);
      std::int64_t latency = -1;
      if (s->tail_written) {
        if (!s->pout->LatencyFrames(&latency)) latency = -1;
        s->SetEndFrom(latency, Clock::now());
      }
    }
  }
  s->cv.notify_all();
  t_error = kOk;
  return true;
}

bool AudioEngine::ChannelPause(Handle h) {
  auto s = impl_->Find(h);
  if (!s) return Fail(kErrHandle);
  PulseConnectionLock pl(s->conn);
  std::lock_guard<std::mutex> lk(s->m);
  s->UpdateEnd(Clock::now());
  if (s->state == PlayState::kPaused) return Fail(kErrAlready);
  if (s->state != PlayState::kPlaying) return Fail(kErrNotPlaying);
  s->state = PlayState::kPaused;
  if (s->pout) s->pout->SetCorked(true);
  t_error = kOk;
  return true;
}

bool AudioEngine::ChannelStop(Handle h) {
  auto s = impl_->Find(h);
  if (!s) return Fail(kErrHandle);
  PulseConnectionLock pl(s->conn);
  std::lock_guard<std::mutex> lk(s->m);
  s->UpdateEnd(Clock::now());
  if (s->state == PlayState::kPlaying || s->state == PlayState::kPaused) {
    s->state = PlayState::kStopped;
    if (s->pout) s->pout->SetCorked(true);
  }
  t_error = kOk;
  return true;
}

std::uint32_t AudioEngine::ChannelIsActive(Handle h) {
  auto s = impl_->Find(h);
  if (!s) return Fail(kErrHandle), kStopped;
  PulseConnectionLock pl(s->conn);
  std::lock_guard<std::mutex> lk(s->m);
  // A stream whose server went away has stopped; the code says why.
  if (s->lost) return Fail(kErrDevice), kStopped;
  s->UpdateEnd(Clock::now());
  t_error = kOk;
  switch (s->state) {
    case PlayState::kPlaying:
      return s->count == 0 && !s->eof ? kStalled : kPlaying;
    case PlayState::kPaused:
      return kPaused;
    default:
      return kStopped;
  }
}

std::uint64_t AudioEngine::ChannelGetLength(Handle h) {
  auto s = impl_->Find(h);
  if (!s) return Fail(kErrHandle), kNotAvailable;
  t_error = kOk;
  return s->frames * s->BytesPerFrame();
}

std::uint64_t AudioEngine::ChannelGetPosition(Handle h) {
  auto s = impl_->Find(h);
  if (!s) return Fail(kErrHandle), kNotAvailable;
  PulseConnectionLock pl(s->conn);
  std::int64_t latency = 0;
  const bool known = s->pout && s->pout->LatencyFrames(&latency);
  std::lock_guard<std::mutex> lk(s->m);
  const auto now = Clock::now();
  s->UpdateEnd(now);
  t_error = kOk;
  return s->Heard(now, known ? &latency : nullptr) * s->BytesPerFrame();
}

double AudioEngine::ChannelBytes2Seconds(Handle h, std::uint64_t bytes) {
  auto s = impl_->Find(h);
  if (!s) return Fail(kErrHandle), -1.0;
  t_error = kOk;
  return static_cast<double>(bytes) / (static_cast<double>(s->BytesPerFrame()) * s->rate);
}

std::uint64_t AudioEngine::ChannelSeconds2Bytes(Handle h, double seconds) {
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
  auto s = impl_->Find(h);
  if (!s) return Fail(kErrHandle);
  const std::uint64_t frame = bytes / s->BytesPerFrame();
  if (frame > s->frames) return Fail(kErrPosition);
  {
    PulseConnectionLock pl(s->conn);
    std::lock_guard<std::mutex> lk(s->m);
    s->UpdateEnd(Clock::now());
    if (s->state == PlayState::kEnded) s->state = PlayState::kStopped;
    s->SeekLocked(frame);
    if (s->pout) s->pout->Flush();
  }
  t_error = kOk;
  return true;
}

std::uint32_t AudioEngine::GetVolume() {
  t_error = kOk;
  return impl_->volume.load(std::memory_order_relaxed);
}

bool AudioEngine::SetVolume(std::uint32_t packed) {
  impl_->volume.store(packed, std::memory_order_relaxed);
  std::vector<std::shared_ptr<Stream>> served;
  {
    std::lock_guard<std::mutex> lk(impl_->mu);
    for (const auto& [id, s] : impl_->streams)
      if (s->pout) served.push_back(s);
  }
  for (const auto& s : served) {
    PulseConnectionLock pl(s->conn);
    s->pout->SetVolume(packed);
  }
  t_error = kOk;
  return true;
}

}  // namespace quillet::audio
