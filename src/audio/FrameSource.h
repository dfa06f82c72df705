// A decoder seen from the output: its frames folded to stereo and resampled to the output's rate
// (by SDL's resampler, loaded only for a file at another rate). A stretch of source frames from
// a seek to the end comes out as exactly as many output frames as the rates make of it, so the
// next file's first frame follows the last one of this file without a frame more or less.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "audio/Decoder.h"

struct _SDL_AudioStream;

namespace quillet::audio {

struct SdlLibrary;

class FrameSource {
 public:
  enum class Got { kMore, kEnd, kError };

  // nullptr with kErrNotAvailable in `*error` when the rates differ and no resampler loads.
  static std::unique_ptr<FrameSource> Make(std::unique_ptr<Decoder> dec, std::uint32_t out_rate,
                                           int* error);
  ~FrameSource();
  FrameSource(const FrameSource&) = delete;
  FrameSource& operator=(const FrameSource&) = delete;

  const DecoderInfo& info() const { return dec_->info(); }
  // The next Read starts at source frame `frame`; false when the decoder cannot go there.
  bool Seek(std::uint64_t frame);
  // Appends output frames (stereo, interleaved) to `out`: kMore while more may follow, kEnd
  // once the stretch is all out (the last frames may come with it), kError when the decoder
  // gave up before the end.
  Got Read(std::vector<float>* out);

 private:
  FrameSource() = default;

  std::unique_ptr<Decoder> dec_;
  std::uint32_t out_rate_ = 0;
  const SdlLibrary* sdl_ = nullptr;
  _SDL_AudioStream* rs_ = nullptr;
  std::vector<float> in_, stereo_;
  std::uint64_t src_in_ = 0;    // source frames fed to the resampler since the seek
  std::uint64_t out_made_ = 0;  // output frames it has given back
};

// Folds any channel layout into stereo: mono to both sides; more than two channels average the
// even-numbered ones to the left and the odd-numbered ones to the right.
void ToStereo(const float* in, std::size_t frames, std::uint32_t channels, float* out);

}  // namespace quillet::audio
