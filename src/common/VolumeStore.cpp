#include "common/VolumeStore.h"

#include <cctype>
#include <string_view>

#include "common/ConfigHome.h"

namespace quillet {

namespace {

// The file is tiny; anything larger is not ours.
constexpr std::size_t kMaxFileBytes = 64;

bool ParsePosition(std::string_view text, int* position) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
    text.remove_suffix(1);
  }
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
    text.remove_prefix(1);
  }
  if (text.empty() || text.size() > 5) return false;
  int value = 0;
  for (char ch : text) {
    if (ch < '0' || ch > '9') return false;
    value = value * 10 + (ch - '0');
  }
  if (value > kMaxVolume) return false;
  *position = value;
  return true;
}

}  // namespace

std::string VolumeFilePath() {
  const std::string dir = ConfigHomeDir();
  return dir.empty() ? std::string() : dir + "/volume";
}

IoResult ReadVolume(int* position, bool* found) {
  *found = false;
  const std::string path = VolumeFilePath();
  if (path.empty() || !PathExists(path)) return {};
  std::string bytes;
  IoResult io = ReadFileHead(path, kMaxFileBytes + 1, &bytes);
  if (!io.ok) return io;
  if (bytes.size() > kMaxFileBytes || !ParsePosition(bytes, position)) {
    return {false, "ignoring " + path + ": not a volume from 0 to 65535"};
  }
  *found = true;
  return {};
}

IoResult WriteVolume(int position) {
  const std::string dir = ConfigHomeDir();
  if (dir.empty())
    return {false, "cannot keep the volume: neither XDG_CONFIG_HOME nor HOME is set"};
  IoResult io = MakeDirectories(dir);
  if (!io.ok) return io;
  if (position < 0) position = 0;
  if (position > kMaxVolume) position = kMaxVolume;
  return WriteFileAtomic(VolumeFilePath(), std::to_string(position) + "\n");
}

}  // namespace quillet
