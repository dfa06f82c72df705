#include "playlist/TrackProbe.h"

namespace quillet {

Id3Tag ReadId3Tag(const std::string&) { return {}; }
std::string FileNamePart(std::string_view path) {
  auto p = path.rfind('/');
  return std::string(p == std::string_view::npos ? path : path.substr(p + 1));
}
PlaylistRow ProbeTrackRow(const std::string& path) {
  PlaylistRow r;
  r.name = FileNamePart(path);
  r.path = path;
  return r;
}

}  // namespace quillet
