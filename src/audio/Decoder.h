// A decoder turns a file's bytes into interleaved float frames at the file's own rate and
// channel count. MP3 goes through libmpg123 with a full frame scan, so its length is the exact
// number of frames it will produce; everything else libsndfile opens goes through libsndfile.
// No third-party header is visible from here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>

#include "audio/ByteSource.h"
#include "audio/Engine.h"

namespace quillet::audio {

struct DecoderInfo {
  std::uint32_t rate = 0;
  std::uint32_t channels = 0;
  std::uint64_t frames = 0;  // exact; never 0 for an opened decoder
};

class Decoder {
 public:
  virtual ~Decoder() = default;
  const DecoderInfo& info() const { return info_; }
  // Up to `frames` frames into `out` (frames * channels floats); 0 at the end, -1 on an error
  // from which the decoder cannot go on.
  virtual std::int64_t Read(float* out, std::size_t frames) = 0;
  // Positions the decoder so that the next Read starts at `frame` exactly.
  virtual bool Seek(std::uint64_t frame) = 0;

 protected:
  DecoderInfo info_;
};

enum class DecoderUse { kPlay, kProbe };

// Opens a decoder of type D (whose `int Open(source, use)` returns an engine code) over
// `source` from its first byte; nullptr with that code in `*error` when it fails.
template <typename D>
std::unique_ptr<Decoder> OpenFromStart(std::unique_ptr<ByteSource>& source, DecoderUse use,
                                       int* error) {
  source->Seek(0, SEEK_SET);
  auto dec = std::make_unique<D>();
  const int err = dec->Open(source, use);
  if (err != kOk) {
    *error = err;
    return nullptr;
  }
  return dec;
}

// Opens a decoder over `source` (taking it on success). On failure `*error` is kErrFileFormat
// for bytes that hold no audio this program can play, or kErrMemory.
std::unique_ptr<Decoder> OpenDecoder(std::unique_ptr<ByteSource>& source, DecoderUse use,
                                     int* error);

// The individual back ends, for OpenDecoder and the tests.
std::unique_ptr<Decoder> OpenMp3Decoder(std::unique_ptr<ByteSource>& source, DecoderUse use,
                                        int* error);
// Refuses MPEG audio (which libsndfile would open, less exactly) with kErrFileFormat.
std::unique_ptr<Decoder> OpenSndDecoder(std::unique_ptr<ByteSource>& source, DecoderUse use,
                                        int* error);

}  // namespace quillet::audio
