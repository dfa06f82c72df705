// MP3 (and MP2/MP1) through libmpg123, reading through our buffered ByteSource.
#include <mpg123.h>

#include <algorithm>
#include <cstdio>
#include <mutex>

#include "audio/AudioEngine.h"
#include "audio/Decoder.h"
#include "common/Mp3Info.h"

namespace quillet::audio {

namespace {

// Junk that some files carry before their first frame (tags of other programs, broken
// downloads) is skipped up to this far.
constexpr long kJunkLimit = (1L << 20) + 64 * 1024;

bool LibraryReady() {
  static const bool ok = [] {
#if MPG123_API_VERSION < 46
    return mpg123_init() == MPG123_OK;
#else
    return true;  // mpg123_init() is a no-op from this API on
#endif
  }();
  return ok;
}

mpg123_ssize_t ReadCb(void* handle, void* buf, size_t count) {
  return static_cast<mpg123_ssize_t>(static_cast<ByteSource*>(handle)->Read(buf, count));
}

off_t SeekCb(void* handle, off_t offset, int whence) {
  return static_cast<off_t>(static_cast<ByteSource*>(handle)->Seek(offset, whence));
}

class Mp3Decoder final : public Decoder {
 public:
  ~Mp3Decoder() override {
    if (mh_) {
      mpg123_close(mh_);
      mpg123_delete(mh_);
    }
  }

  int Open(std::unique_ptr<ByteSource>& source, DecoderUse use) {
    // A probe takes the length from the LAME header when the file is as its encoder wrote it:
    // the same count as the frame scan below, without reading the audio.
    if (use == DecoderUse::kProbe) {
      if (const auto known = Mp3LengthFromLameHeader(*source)) {
        info_ = DecoderInfo{known->rate, known->channels, known->samples};
        owned_ = std::move(source);
        return kOk;
      }
      source->Seek(0, SEEK_SET);
    }
    if (!LibraryReady()) return kErrUnknown;
    int err = MPG123_OK;
    mh_ = mpg123_new(nullptr, &err);
    if (!mh_) return err == MPG123_OUT_OF_MEM ? kErrMemory : kErrUnknown;
    mpg123_param(mh_, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0.0);
    mpg123_param(mh_, MPG123_RESYNC_LIMIT, kJunkLimit, 0.0);
    // Float output at whatever rate and channel count the file has; we resample ourselves.
    mpg123_format_none(mh_);
    const long* rates = nullptr;
    size_t nrates = 0;
    mpg123_rates(&rates, &nrates);
    for (size_t i = 0; i < nrates; ++i)
      mpg123_format(mh_, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32);

    if (mpg123_replace_reader_handle(mh_, ReadCb, SeekCb, nullptr) != MPG123_OK ||
        mpg123_open_handle(mh_, source.get()) != MPG123_OK)
      return kErrUnknown;

    long rate = 0;
    int channels = 0, encoding = 0;
    if (mpg123_getformat(mh_, &rate, &channels, &encoding) != MPG123_OK || rate <= 0 ||
        channels < 1 || channels > 2 || encoding != MPG123_ENC_FLOAT_32)
      return kErrFileFormat;
    // Hold the output format steady even if a later frame changes mode or rate.
    mpg123_format_none(mh_);
    if (mpg123_format(mh_, rate, channels, MPG123_ENC_FLOAT_32) != MPG123_OK) return kErrFormat;

    // A full frame scan: the only exact length for files without a Xing/LAME header and for
    // files cut short. libmpg123 trims the encoder delay and padding when the LAME tag has them.
    if (mpg123_scan(mh_) != MPG123_OK) return kErrFileFormat;
    const off_t length = mpg123_length(mh_);
    if (length <= 0) return kErrFileFormat;
    info_.rate = static_cast<std::uint32_t>(rate);
    info_.channels = static_cast<std::uint32_t>(channels);
    info_.frames = static_cast<std::uint64_t>(length);
    if (use == DecoderUse::kPlay && mpg123_seek(mh_, 0, SEEK_SET) < 0) return kErrFileFormat;
    owned_ = std::move(source);
    return kOk;
  }

  std::int64_t Read(float* out, std::size_t frames) override {
    if (!mh_) return -1;  // opened for a probe only
    // The scanned length is the stream's length: a file whose header promises less audio than
    // its frames hold is cut there, so no position ever lies beyond the length.
    if (done_ || pos_ >= info_.frames) return 0;
    frames = static_cast<std::size_t>(std::min<std::uint64_t>(frames, info_.frames - pos_));
    const std::size_t frame_bytes = info_.channels * sizeof(float);
    auto* dst = reinterpret_cast<unsigned char*>(out);
    std::size_t got_bytes = 0;
    for (int spins = 0; spins < 4096; ++spins) {
      size_t done = 0;
      const int ret = mpg123_read(mh_, dst + got_bytes, frames * frame_bytes - got_bytes, &done);
      got_bytes += done;
      if (ret == MPG123_DONE) {
        done_ = true;  // the block that came with the end is still played
        break;
      }
      if (ret == MPG123_OK || ret == MPG123_NEW_FORMAT) {
        if (got_bytes > 0) break;
        continue;
      }
      if (got_bytes > 0) break;  // deliver what we have; the error recurs next time
      if (ret == MPG123_NEED_MORE) {
        done_ = true;  // the file ended inside a frame
        break;
      }
      return -1;
    }
    const std::size_t got = got_bytes / frame_bytes;
    pos_ += got;
    return static_cast<std::int64_t>(got);
  }

  bool Seek(std::uint64_t frame) override {
    if (!mh_) return false;
    done_ = false;
    if (mpg123_seek(mh_, static_cast<off_t>(frame), SEEK_SET) < 0) return false;
    pos_ = frame;
    return true;
  }

 private:
  mpg123_handle* mh_ = nullptr;
  std::unique_ptr<ByteSource> owned_;
  bool done_ = false;
  std::uint64_t pos_ = 0;  // frames handed out since the start or the last seek
};

}  // namespace

std::unique_ptr<Decoder> OpenMp3Decoder(std::unique_ptr<ByteSource>& source, DecoderUse use,
                                        int* error) {
  return OpenFromStart<Mp3Decoder>(source, use, error);
}

}  // namespace quillet::audio
