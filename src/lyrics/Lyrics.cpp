#include "lyrics/Lyrics.h"

namespace quillet {

std::string LyricFileName(const std::string&, std::string* lyricDir, IoResult* io) {
  lyricDir->clear();
  *io = {};
  return {};
}
std::vector<std::string> SplitLyricLines(std::string_view) { return {}; }
IoResult LoadLyricFile(const std::string&, std::vector<std::string>*) {
  return {false, "not implemented"};
}
bool LyricTextEmpty(const std::vector<std::string>& lines) { return lines.empty(); }
std::string ShowLyricText(const std::vector<std::string>&, std::string_view) { return {}; }
std::string TrimControl(std::string_view s) { return std::string(s); }
std::string TrackInfoLine(std::string_view name, std::string_view artist, std::string_view album) {
  return std::string(name) + std::string(artist) + std::string(album);
}

}  // namespace quillet
