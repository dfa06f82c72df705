// Other players' playlists of any content (M3U, PLS, XSPF, chosen by the first byte): nothing
// crashes, and the entries written as an M3U8 read back as the same paths.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "playlist/ForeignPlaylist.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::string base = "/base/dir";
  std::vector<quillet::PlaylistEntry> entries;
  switch (data[0] % 3) {
    case 0:
      entries = quillet::ParseM3u(bytes, base);
      break;
    case 1:
      entries = quillet::ParsePls(bytes, base);
      break;
    default:
      entries = quillet::ParseXspf(bytes, base);
      break;
  }
  std::vector<quillet::PlaylistRow> rows;
  for (const auto& e : entries) {
    if (e.path.empty()) std::abort();
    rows.push_back(quillet::RowFromEntry(e));
  }
  const auto back = quillet::ParseM3u(quillet::EncodeM3u8(rows, base), base);
  if (back.size() != rows.size()) std::abort();
  for (std::size_t i = 0; i < rows.size(); ++i)
    if (back[i].path != rows[i].path) std::abort();
  return 0;
}
