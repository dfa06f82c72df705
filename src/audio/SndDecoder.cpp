// WAVE (PCM 8/16/24/32, float, extensible), AIFF, FLAC, Ogg and the rest through libsndfile.
#include <sndfile.h>

#include <cstdio>

#include "audio/AudioEngine.h"
#include "audio/Decoder.h"

namespace quillet::audio {

namespace {

ByteSource* Src(void* user) { return static_cast<ByteSource*>(user); }

sf_count_t LengthCb(void* user) { return Src(user)->Size(); }
sf_count_t SeekCb(sf_count_t offset, int whence, void* user) {
  return Src(user)->Seek(offset, whence);
}
sf_count_t ReadCb(void* ptr, sf_count_t count, void* user) {
  if (count <= 0) return 0;
  const std::int64_t got = Src(user)->Read(ptr, static_cast<std::size_t>(count));
  return got < 0 ? 0 : got;
}
sf_count_t WriteCb(const void*, sf_count_t, void*) { return 0; }
sf_count_t TellCb(void* user) { return Src(user)->Tell(); }

class SndDecoder final : public Decoder {
 public:
  ~SndDecoder() override {
    if (sf_) sf_close(sf_);
  }

  int Open(std::unique_ptr<ByteSource>& source, DecoderUse use) {
    io_ = SF_VIRTUAL_IO{LengthCb, SeekCb, ReadCb, WriteCb, TellCb};
    SF_INFO info{};
    sf_ = sf_open_virtual(&io_, SFM_READ, &info, source.get());
    if (!sf_) return kErrFileFormat;
    // libsndfile opens MPEG audio too, but without a frame scan it gets VBR lengths wrong.
    if ((info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG) return kErrFileFormat;
    if (info.samplerate <= 0 || info.channels <= 0 || info.frames <= 0 ||
        info.frames == SF_COUNT_MAX)
      return kErrFileFormat;
    if (use == DecoderUse::kPlay) {
      if (!info.seekable) return kErrFileFormat;
      // Integer samples come back scaled to [-1, 1); float files come back as they are.
      sf_command(sf_, SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);
    }
    info_.rate = static_cast<std::uint32_t>(info.samplerate);
    info_.channels = static_cast<std::uint32_t>(info.channels);
    info_.frames = static_cast<std::uint64_t>(info.frames);
    owned_ = std::move(source);
    return kOk;
  }

  std::int64_t Read(float* out, std::size_t frames) override {
    const sf_count_t got = sf_readf_float(sf_, out, static_cast<sf_count_t>(frames));
    if (got > 0) return got;
    return sf_error(sf_) == SF_ERR_NO_ERROR ? 0 : -1;
  }

  bool Seek(std::uint64_t frame) override {
    return sf_seek(sf_, static_cast<sf_count_t>(frame), SEEK_SET) >= 0;
  }

 private:
  SF_VIRTUAL_IO io_{};
  SNDFILE* sf_ = nullptr;
  std::unique_ptr<ByteSource> owned_;
};

}  // namespace

std::unique_ptr<Decoder> OpenSndDecoder(std::unique_ptr<ByteSource>& source, DecoderUse use,
                                        int* error) {
  return OpenFromStart<SndDecoder>(source, use, error);
}

std::unique_ptr<Decoder> OpenDecoder(std::unique_ptr<ByteSource>& source, DecoderUse use,
                                     int* error) {
  if (source->Size() == 0) {
    *error = kErrFileFormat;
    return nullptr;
  }
  unsigned char head[4] = {};
  source->Seek(0, SEEK_SET);
  const std::int64_t got = source->Read(head, sizeof head);
  if (got < 0) {
    *error = kErrFileOpen;
    return nullptr;
  }
  // An ID3v2 tag or an MPEG frame sync at the very start: straight to libmpg123, so that
  // libsndfile does not spend a decode pass guessing at it.
  const bool looks_mpeg = (got >= 3 && head[0] == 'I' && head[1] == 'D' && head[2] == '3') ||
                          (got >= 2 && head[0] == 0xFF && (head[1] & 0xE0) == 0xE0);
  int err = kErrFileFormat;
  if (looks_mpeg) {
    if (auto dec = OpenMp3Decoder(source, use, &err)) return dec;
    if (err == kErrMemory) {
      *error = err;
      return nullptr;
    }
  }
  // Past a frame sync there is nothing for libsndfile (it would only try MPEG again); behind
  // an ID3v2 tag there may be, e.g. FLAC.
  const bool frame_sync = looks_mpeg && head[0] == 0xFF;
  int snd_err = kErrFileFormat;
  if (!frame_sync)
    if (auto dec = OpenSndDecoder(source, use, &snd_err)) return dec;
  if (!looks_mpeg) {
    // MPEG audio behind junk, or a stream libsndfile does not know.
    if (auto dec = OpenMp3Decoder(source, use, &err)) return dec;
  }
  *error = err == kErrMemory ? kErrMemory : kErrFileFormat;
  return nullptr;
}

}  // namespace quillet::audio
