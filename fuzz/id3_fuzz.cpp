// ID3v1 trailers of any content: the tag is found exactly when the marker says so, and its
// texts are always the 30 raw bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "playlist/TrackProbe.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  // Both the trailer on its own and the last 128 bytes of a longer file.
  const std::string_view tail = size >= 128 ? bytes.substr(size - 128) : bytes;
  const quillet::Id3Tag tag = quillet::ParseId3Trailer(tail);
  if (tag.found) {
    if (tail.size() != 128 || tag.artist != tail.substr(33, 30) || tag.album != tail.substr(63, 30))
      std::abort();
    if ((tail[0] | 0x20) != 't' || (tail[1] | 0x20) != 'a' || (tail[2] | 0x20) != 'g') std::abort();
  } else if (!tag.artist.empty() || !tag.album.empty()) {
    std::abort();
  }
  quillet::FileNamePart(bytes);
  return 0;
}
