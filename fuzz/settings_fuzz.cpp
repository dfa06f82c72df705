// Settings records of any content decode within bounds and survive a write-read cycle.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "playlist/Settings.h"
#include "lyrics/Lyrics.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const quillet::ConfigRecord rec = quillet::DecodeConfigRecord(bytes);
  if (rec.LyricPath.size() > quillet::kLyricPathCapacity) std::abort();
  const std::string enc = quillet::EncodeConfigRecord(rec);
  if (enc.size() != quillet::kConfigRecordSize) std::abort();
  const quillet::ConfigRecord back = quillet::DecodeConfigRecord(enc);
  if (back.LyricPath != rec.LyricPath || back.RelateMp3 != rec.RelateMp3 ||
      back.RelateWave != rec.RelateWave)
    std::abort();
  const std::string trimmed = quillet::TrimControl(rec.LyricPath);
  if (!trimmed.empty() && (static_cast<unsigned char>(trimmed.front()) <= 32 ||
                           static_cast<unsigned char>(trimmed.back()) <= 32))
    std::abort();
  return 0;
}
