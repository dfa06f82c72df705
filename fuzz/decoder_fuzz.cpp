// Arbitrary bytes as an audio file: opening either refuses them with a code or yields a decoder
// whose frames, read to the end, number exactly what it announced; seeks land anywhere inside.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "audio/AudioEngine.h"
#include "audio/Decoder.h"

using namespace quillet::audio;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  for (DecoderUse use : {DecoderUse::kProbe, DecoderUse::kPlay}) {
    int error = kOk;
    std::unique_ptr<ByteSource> source = ByteSource::FromMemory(bytes, 0, 0, &error);
    if (!source) std::abort();
    std::unique_ptr<Decoder> dec = OpenDecoder(source, use, &error);
    if (!dec) {
      if (error != kErrFileFormat && error != kErrMemory) std::abort();
      continue;
    }
    const DecoderInfo info = dec->info();
    if (info.frames == 0 || info.channels == 0 || info.rate == 0) std::abort();
    if (use == DecoderUse::kProbe) continue;
    // Stay small: a tiny input may still announce a long stream of silence.
    if (info.frames > 1'000'000 || info.channels > 8) continue;
    std::vector<float> buf(1024 * info.channels);
    std::uint64_t total = 0;
    for (;;) {
      const std::int64_t n = dec->Read(buf.data(), 1024);
      if (n <= 0) break;
      total += static_cast<std::uint64_t>(n);
      if (total > info.frames) std::abort();
    }
    if (info.frames > 1) dec->Seek(info.frames / 2);
  }
  return 0;
}
