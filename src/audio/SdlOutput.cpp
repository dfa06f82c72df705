#include "audio/SdlOutput.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <deque>
#include <new>
#include <string>

#include "audio/Engine.h"
#include "audio/SdlLibrary.h"

namespace quillet::audio {

namespace {

using Clock = std::chrono::steady_clock;

constexpr Uint16 kDeviceFrames = 1024;  // about 23 ms at 44100 Hz
constexpr std::size_t kRingFrames = 8192;
constexpr std::size_t kHandOutHistory = 32;

std::uint16_t Clamp16(float v) {
  const float s = std::nearbyint(v * 32768.0f);
  const float c = std::clamp(s, -32768.0f, 32767.0f);
  return static_cast<std::uint16_t>(static_cast<std::int16_t>(c));
}

struct HandOut {
  Clock::time_point at;
  std::uint64_t first;  // index of the first frame handed out
  std::uint32_t frames;
};

}  // namespace

class SdlOutput final : public Output {
 public:
  SdlOutput(SdlDevice* d, Waker* waker) : d_(d), waker_(waker), ring_(kRingFrames * 2) {
    latency_ = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(static_cast<double>(d->fmt_.samples) / d->fmt_.freq));
    std::lock_guard<std::mutex> lk(d_->m_);
    d_->outputs_.push_back(this);
  }
  ~SdlOutput() override {
    std::lock_guard<std::mutex> lk(d_->m_);
    d_->outputs_.erase(std::find(d_->outputs_.begin(), d_->outputs_.end(), this));
  }

  std::size_t Room() override {
    std::lock_guard<std::mutex> lk(d_->m_);
    return kRingFrames - count_;
  }
  std::size_t Write(const float* stereo, std::size_t frames) override {
    std::lock_guard<std::mutex> lk(d_->m_);
    const std::size_t n = std::min(frames, kRingFrames - count_);
    for (std::size_t i = 0; i < n; ++i) {
      const std::size_t slot = (rd_ + count_ + i) % kRingFrames;
      ring_[2 * slot] = stereo[2 * i];
      ring_[2 * slot + 1] = stereo[2 * i + 1];
    }
    count_ += n;
    return n;
  }
  std::uint64_t Written() override {
    std::lock_guard<std::mutex> lk(d_->m_);
    return taken_ + count_;
  }
  std::uint64_t Heard() override {
    std::lock_guard<std::mutex> lk(d_->m_);
    const auto now = Clock::now();
    for (auto it = handed_.rbegin(); it != handed_.rend(); ++it) {
      const auto start = it->at + latency_;
      if (now < start) continue;
      const double secs = std::chrono::duration<double>(now - start).count();
      const auto advanced = static_cast<std::uint64_t>(secs * d_->fmt_.freq);
      return it->first + std::min<std::uint64_t>(advanced, it->frames);
    }
    return handed_.empty() ? taken_ : handed_.front().first;
  }
  std::uint64_t Rewritable() override {
    std::lock_guard<std::mutex> lk(d_->m_);
    return taken_;
  }
  std::uint64_t Rewind(std::uint64_t at) override {
    std::lock_guard<std::mutex> lk(d_->m_);
    at = std::clamp<std::uint64_t>(at, taken_, taken_ + count_);
    count_ = static_cast<std::size_t>(at - taken_);
    return at;
  }
  void SetPaused(bool paused) override {
    std::lock_guard<std::mutex> lk(d_->m_);
    paused_ = paused;
  }
  void Drain() override {}
  bool Failed() override { return false; }
  void SetVolume(std::uint32_t packed) override { d_->volume_.store(packed); }

  // With the device's lock held: adds up to `frames` frames to `mix`.
  void Take(float* mix, std::size_t frames, Clock::time_point now) {
    if (paused_) return;
    const std::size_t n = std::min(frames, count_);
    if (n == 0) return;
    for (std::size_t i = 0; i < n; ++i) {
      const std::size_t slot = (rd_ + i) % kRingFrames;
      mix[2 * i] += ring_[2 * slot];
      mix[2 * i + 1] += ring_[2 * slot + 1];
    }
    rd_ = (rd_ + n) % kRingFrames;
    count_ -= n;
    handed_.push_back(HandOut{now, taken_, static_cast<std::uint32_t>(n)});
    if (handed_.size() > kHandOutHistory) handed_.pop_front();
    taken_ += n;
    if (count_ <= kRingFrames / 2) waker_->Kick();
  }

 private:
  SdlDevice* d_;
  Waker* waker_;
  Clock::duration latency_{};
  std::vector<float> ring_;
  std::size_t rd_ = 0;
  std::size_t count_ = 0;
  std::uint64_t taken_ = 0;  // frames handed to the device
  std::deque<HandOut> handed_;
  bool paused_ = false;
};

std::unique_ptr<SdlDevice> SdlDevice::OpenDevice(int device, std::uint32_t freq, int* error) {
  const SdlLibrary* sdl = SdlLibrary::Get();
  if (!sdl) return *error = kErrDriver, nullptr;
  // Leave SIGINT and SIGTERM to the program, and show in the mixer under the program's name.
  sdl->SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  sdl->SetHint(SDL_HINT_APP_NAME, "Quillet");
  sdl->SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, "Quillet");
  sdl->SetHint(SDL_HINT_AUDIO_DEVICE_STREAM_NAME, "Quillet");
  sdl->SetHint(SDL_HINT_AUDIO_DEVICE_STREAM_ROLE, "music");
  if (sdl->InitSubSystem(SDL_INIT_AUDIO) != 0) return *error = kErrDriver, nullptr;
  std::string name;
  if (device > 0) {
    const int n = sdl->GetNumAudioDevices(0);
    const char* found = device <= n ? sdl->GetAudioDeviceName(device - 1, 0) : nullptr;
    if (!found) {
      sdl->QuitSubSystem(SDL_INIT_AUDIO);
      return *error = kErrDevice, nullptr;
    }
    name = found;
  }
  std::unique_ptr<SdlDevice> d(new SdlDevice);
  SDL_AudioSpec want{};
  want.freq = static_cast<int>(freq);
  want.format = AUDIO_S16SYS;
  want.channels = 2;
  want.samples = kDeviceFrames;
  want.callback = &SdlDevice::Callback;
  want.userdata = d.get();
  // No changes allowed: SDL converts to whatever the hardware wants.
  d->dev_ = sdl->OpenAudioDevice(device > 0 ? name.c_str() : nullptr, 0, &want, &d->fmt_, 0);
  if (d->dev_ == 0) {
    sdl->QuitSubSystem(SDL_INIT_AUDIO);
    return *error = kErrDevice, nullptr;
  }
  try {
    d->mix_.assign(static_cast<std::size_t>(std::max<Uint16>(d->fmt_.samples, 256)) * 2, 0.0f);
  } catch (const std::bad_alloc&) {
    *error = kErrMemory;
    return nullptr;  // the destructor closes the device
  }
  sdl->PauseAudioDevice(d->dev_, 0);
  return d;
}

SdlDevice::~SdlDevice() {
  if (dev_ == 0) return;
  // Not under the lock: closing waits for the callback, which takes it. The device came from
  // SDL, so the library is loaded.
  const SdlLibrary* sdl = SdlLibrary::Get();
  sdl->CloseAudioDevice(dev_);
  sdl->QuitSubSystem(SDL_INIT_AUDIO);
}

std::unique_ptr<Output> SdlDevice::Open(std::uint32_t, std::uint32_t, Waker* waker) {
  return std::make_unique<SdlOutput>(this, waker);
}

void SdlDevice::Callback(void* user, Uint8* out, int len) {
  static_cast<SdlDevice*>(user)->Fill(reinterpret_cast<std::int16_t*>(out),
                                      static_cast<std::size_t>(len) / 4);
}

void SdlDevice::Fill(std::int16_t* out, std::size_t frames) {
  const auto now = Clock::now();
  const std::uint32_t vol = volume_.load(std::memory_order_relaxed);
  const float gain_l = static_cast<float>(vol & 0xFFFF) / 65535.0f;
  const float gain_r = static_cast<float>(vol >> 16) / 65535.0f;
  std::lock_guard<std::mutex> lk(m_);
  std::size_t done = 0;
  while (done < frames) {
    const std::size_t n = std::min(frames - done, mix_.size() / 2);
    std::fill(mix_.begin(), mix_.begin() + static_cast<std::ptrdiff_t>(2 * n), 0.0f);
    for (SdlOutput* o : outputs_) o->Take(mix_.data(), n, now);
    for (std::size_t i = 0; i < n; ++i) {
      auto* o = reinterpret_cast<std::uint16_t*>(out + 2 * (done + i));
      o[0] = Clamp16(mix_[2 * i] * gain_l);
      o[1] = Clamp16(mix_[2 * i + 1] * gain_r);
    }
    done += n;
  }
}

}  // namespace quillet::audio
