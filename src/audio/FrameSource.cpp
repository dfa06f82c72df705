#include "audio/FrameSource.h"

#include <algorithm>

#include "audio/SdlLibrary.h"

namespace quillet::audio {

namespace {

constexpr std::size_t kDecodeFrames = 4096;
constexpr int kOutChannels = 2;

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

}  // namespace

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

std::unique_ptr<FrameSource> FrameSource::Make(std::unique_ptr<Decoder> dec, std::uint32_t out_rate,
                                               int* error) {
  std::unique_ptr<FrameSource> f(new FrameSource);
  f->out_rate_ = out_rate;
  const DecoderInfo& info = dec->info();
  if (info.rate != out_rate) {
    f->sdl_ = SdlLibrary::Get();
    if (f->sdl_) {
      f->rs_ = f->sdl_->NewAudioStream(AUDIO_F32SYS, kOutChannels, static_cast<int>(info.rate),
                                       AUDIO_F32SYS, kOutChannels, static_cast<int>(out_rate));
    }
    if (!f->rs_) {
      *error = kErrNotAvailable;
      return nullptr;
    }
  }
  f->in_.resize(kDecodeFrames * info.channels);
  f->stereo_.resize(kDecodeFrames * 2);
  f->dec_ = std::move(dec);
  return f;
}

FrameSource::~FrameSource() {
  if (rs_) sdl_->FreeAudioStream(rs_);
}

bool FrameSource::Seek(std::uint64_t frame) {
  src_in_ = out_made_ = 0;
  if (rs_) sdl_->AudioStreamClear(rs_);
  return dec_->Seek(frame);
}

FrameSource::Got FrameSource::Read(std::vector<float>* out) {
  const std::int64_t got = dec_->Read(in_.data(), kDecodeFrames);
  if (got > 0) {
    const auto n = static_cast<std::size_t>(got);
    ToStereo(in_.data(), n, info().channels, stereo_.data());
    const std::size_t before = out->size();
    if (rs_) {
      if (sdl_->AudioStreamPut(rs_, stereo_.data(), static_cast<int>(n * 2 * sizeof(float))) == 0)
        DrainResampler(*sdl_, rs_, out);
    } else {
      out->insert(out->end(), stereo_.begin(),
                  stereo_.begin() + static_cast<std::ptrdiff_t>(n * 2));
    }
    src_in_ += n;
    out_made_ += (out->size() - before) / 2;
    return Got::kMore;
  }
  if (rs_) {
    // SDL's flush drops the resampler's look-ahead when nothing is staged, so push silence
    // through and keep exactly as many output frames as the stretch's source frames make.
    const std::uint32_t rate = info().rate;
    const std::size_t before = out->size();
    std::fill(stereo_.begin(), stereo_.end(), 0.0f);
    for (int i = 0; i < 4; ++i)
      sdl_->AudioStreamPut(rs_, stereo_.data(), static_cast<int>(stereo_.size() * sizeof(float)));
    sdl_->AudioStreamFlush(rs_);
    DrainResampler(*sdl_, rs_, out);
    const std::uint64_t total =
        src_in_ / rate * out_rate_ + (src_in_ % rate * out_rate_ + rate - 1) / rate;
    const std::uint64_t owed = total > out_made_ ? total - out_made_ : 0;
    out->resize(before + static_cast<std::size_t>(owed) * 2, 0.0f);
    out_made_ += owed;
  }
  return got < 0 ? Got::kError : Got::kEnd;
}

}  // namespace quillet::audio
