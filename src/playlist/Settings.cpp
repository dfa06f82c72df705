#include "playlist/Settings.h"

#include <algorithm>

#include "common/TextRules.h"

namespace quillet {

std::string EncodeConfigRecord(const ConfigRecord& rec) {
  std::string out(kConfigRecordSize, '\0');
  const std::size_t n = std::min(rec.LyricPath.size(), kLyricPathCapacity);
  out[0] = static_cast<char>(n);
  rec.LyricPath.copy(&out[1], n);
  out[1 + kLyricPathCapacity] = rec.RelateMp3 ? 1 : 0;
  out[2 + kLyricPathCapacity] = rec.RelateWave ? 1 : 0;
  return out;
}

ConfigRecord DecodeConfigRecord(std::string_view bytes) {
  ConfigRecord rec;
  if (bytes.size() < kConfigRecordSize) return rec;
  const std::size_t n =
      std::min<std::size_t>(static_cast<unsigned char>(bytes[0]), kLyricPathCapacity);
  rec.LyricPath.assign(bytes.substr(1, n));
  rec.RelateMp3 = bytes[1 + kLyricPathCapacity] != 0;
  rec.RelateWave = bytes[2 + kLyricPathCapacity] != 0;
  return rec;
}

std::string SettingsPath() { return CurrentDirectory() + "/cfrMsg"; }

namespace {

// Reads the one record of the settings file. *exists is false (and the result ok) when there is
// no file; a folder of that name is no settings file either. A file too short to hold a record is
// an error.
IoResult ReadRecord(const std::string& path, ConfigRecord* rec, bool* exists) {
  *rec = {};
  *exists = PathExists(path) && !IsDirectory(path);
  if (!*exists) return {};
  std::string bytes;
  IoResult io = ReadFileHead(path, kConfigRecordSize, &bytes);
  if (!io.ok) return io;
  if (bytes.size() < kConfigRecordSize) {
    return {false, "cannot read " + path + ": the file holds " + std::to_string(bytes.size()) +
                       " bytes, a settings record needs " + std::to_string(kConfigRecordSize)};
  }
  *rec = DecodeConfigRecord(bytes);
  return {};
}

}  // namespace

IoResult ReadLyricDir(std::string* lyricDir) {
  lyricDir->clear();
  ConfigRecord rec;
  bool exists = false;
  IoResult io = ReadRecord(SettingsPath(), &rec, &exists);
  if (!io.ok || !exists) return io;
  std::string dir = TrimControl(rec.LyricPath);
  if (IsDirectory(dir)) *lyricDir = std::move(dir);
  return {};
}

IoResult ReadConfigFile(ConfigRecord* out, bool* exists) {
  return ReadRecord(SettingsPath(), out, exists);
}

IoResult WriteConfigFile(const ConfigRecord& rec) {
  return WriteFileAtomic(SettingsPath(), EncodeConfigRecord(rec));
}

}  // namespace quillet
