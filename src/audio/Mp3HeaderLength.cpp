// The LAME-header length over a ByteSource, kept apart so that the header parser itself needs
// nothing but bytes.
#include <cstdio>

#include "audio/ByteSource.h"
#include "common/Mp3Info.h"

namespace quillet::audio {

std::optional<Mp3Length> Mp3LengthFromLameHeader(ByteSource& source) {
  if (source.Size() <= 0) return std::nullopt;
  return Mp3LengthFromLameHeader(static_cast<std::uint64_t>(source.Size()),
                                 [&source](std::uint64_t at, std::size_t count) {
                                   std::string bytes(count, '\0');
                                   if (source.Seek(static_cast<std::int64_t>(at), SEEK_SET) < 0)
                                     return std::string();
                                   const std::int64_t got = source.Read(bytes.data(), count);
                                   bytes.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
                                   return bytes;
                                 });
}

}  // namespace quillet::audio
