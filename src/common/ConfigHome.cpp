#include "common/ConfigHome.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace quillet {

namespace {

std::string AbsoluteEnv(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || value[0] != '/') return {};
  return value;
}

}  // namespace

std::string ConfigHomeDir() {
  std::string base = AbsoluteEnv("XDG_CONFIG_HOME");
  if (base.empty()) {
    const std::string home = AbsoluteEnv("HOME");
    if (home.empty()) return {};
    base = home + "/.config";
  }
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  return base + "/quillet";
}

IoResult MakeDirectories(const std::string& path) {
  if (path.empty() || path.find('\0') != std::string::npos) {
    return {false, "cannot create folder '" + path + "': not a usable name"};
  }
  // Each prefix that ends before a separator, then the whole path.
  for (std::size_t at = path.find('/', 1);; at = path.find('/', at + 1)) {
    const std::string part = at == std::string::npos ? path : path.substr(0, at);
    if (!part.empty() && ::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
      return {false, "cannot create folder " + part + ": " + std::strerror(errno)};
    }
    if (at == std::string::npos) break;
  }
  if (!IsDirectory(path)) {
    return {false, "cannot create folder " + path + ": " + std::strerror(ENOTDIR)};
  }
  return {};
}

}  // namespace quillet
