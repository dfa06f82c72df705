#include "app/Settings.h"

namespace quillet {

std::string EncodeConfigRecord(const ConfigRecord&) { return std::string(kConfigRecordSize, '\0'); }
ConfigRecord DecodeConfigRecord(std::string_view) { return {}; }
std::string SettingsPath() { return CurrentDirectory() + "/cfrMsg"; }
IoResult ReadLyricDir(std::string* lyricDir) {
  lyricDir->clear();
  return {};
}
IoResult ReadConfigFile(ConfigRecord* out, bool* exists) {
  *out = {};
  *exists = false;
  return {};
}
IoResult WriteConfigFile(const ConfigRecord&) { return {false, "not implemented"}; }

}  // namespace quillet
