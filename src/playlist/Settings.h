// The settings file cfrMsg: one 123-byte record in the current working directory.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "common/FileIo.h"

namespace quillet {

inline constexpr std::size_t kConfigRecordSize = 123, kLyricPathCapacity = 120;

struct ConfigRecord {
  std::string LyricPath;
  bool RelateMp3 = false;
  bool RelateWave = false;
};

// Exactly 123 bytes; the path is cut to 120 bytes.
std::string EncodeConfigRecord(const ConfigRecord&);
// Needs at least 123 bytes (a shorter input decodes as an empty record); a length byte
// above 120 reads as 120.
ConfigRecord DecodeConfigRecord(std::string_view bytes);

// CurrentDirectory() + "/cfrMsg", formed anew at each call.
std::string SettingsPath();

// The lyric directory for start-up and lyric lookup: the record's path with characters of
// code 32 or below removed at both ends, if that directory exists, else empty. A missing file,
// or a folder in its place, gives empty and ok. A file shorter than 123 bytes or unreadable gives
// empty, ok=false and a clear reason.
IoResult ReadLyricDir(std::string* lyricDir);

// For the settings dialog: *exists is false when there is no file, or a folder in its place
// (ok). The path is untrimmed.
IoResult ReadConfigFile(ConfigRecord* out, bool* exists);

// Atomic; always 123 bytes.
IoResult WriteConfigFile(const ConfigRecord&);

}  // namespace quillet
