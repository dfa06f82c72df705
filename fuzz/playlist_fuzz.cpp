// Playlist files of any content: every whole record decodes, and what decodes encodes back to
// the same row.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "playlist/Playlist.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const auto rows = quillet::DecodePlaylistFile(bytes);
  if (rows.size() != size / quillet::kPlaylistRecordSize) std::abort();
  const std::string again = quillet::EncodePlaylistFile(rows);
  if (again.size() != rows.size() * quillet::kPlaylistRecordSize) std::abort();
  const auto back = quillet::DecodePlaylistFile(again);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const auto& a = rows[i];
    const auto& b = back[i];
    if (a.name != b.name || a.singer != b.singer || a.album != b.album || a.length != b.length ||
        a.path != b.path)
      std::abort();
    if (a.name.size() > 30 || a.length.size() > 10 || a.path.size() > 120) std::abort();
  }
  return 0;
}
