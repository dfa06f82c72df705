#include "playlist/Playlist.h"

namespace quillet {

std::string EncodePlaylistRecord(const PlaylistRow&) {
  return std::string(kPlaylistRecordSize, '\0');
}
PlaylistRow DecodePlaylistRecord(std::string_view) { return {}; }
std::vector<PlaylistRow> DecodePlaylistFile(std::string_view) { return {}; }
std::string EncodePlaylistFile(const std::vector<PlaylistRow>&) { return {}; }
IoResult SavePlaylistFile(const std::string&, const std::vector<PlaylistRow>&) {
  return {false, "not implemented"};
}
IoResult LoadPlaylistFile(const std::string&, std::vector<PlaylistRow>*) {
  return {false, "not implemented"};
}

}  // namespace quillet
