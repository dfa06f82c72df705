// MP3 headers of any content: the LAME header reader, the trailer and ID3v2 size rules and the
// audio sniffing never read out of bounds, and what they report stays inside the file.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "common/Mp3Info.h"
#include "common/Sniff.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view file(reinterpret_cast<const char*>(data), size);
  quillet::LooksLikeAudio(file);
  quillet::audio::ParseLameHeader(file);
  const std::uint64_t end = quillet::audio::AudioEndBeforeTrailers(
      file.substr(file.size() - std::min<std::size_t>(file.size(), 4096)), file.size());
  if (end > file.size()) std::abort();
  const auto length = quillet::audio::Mp3LengthFromLameHeader(
      file.size(), [file](std::uint64_t at, std::size_t count) {
        if (at > file.size()) return std::string();
        return std::string(file.substr(static_cast<std::size_t>(at), count));
      });
  if (length &&
      (length->samples == 0 || length->rate == 0 || length->channels == 0 || length->channels > 2))
    std::abort();
  return 0;
}
