#include "platform/FontPages.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace quillet {

namespace {

bool IsFontFile(const std::string& path) {
  static constexpr std::array<const char*, 5> kEndings = {".ttf", ".ttc", ".otf", ".otc", ".pfb"};
  if (path.size() < 4) return false;
  std::string ending = path.substr(path.size() - 4);
  std::transform(ending.begin(), ending.end(), ending.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return std::find(kEndings.begin(), kEndings.end(), ending) != kEndings.end();
}

}  // namespace

int ReleaseFontPages() {
#if defined(__linux__)
  std::FILE* maps = std::fopen("/proc/self/maps", "r");
  if (maps == nullptr) return 0;
  int released = 0;
  char line[4096];
  while (std::fgets(line, sizeof line, maps) != nullptr) {
    unsigned long begin = 0;
    unsigned long end = 0;
    char perms[8] = {};
    int pathAt = 0;
    if (std::sscanf(line, "%lx-%lx %7s %*s %*s %*s %n", &begin, &end, perms, &pathAt) < 3 ||
        pathAt <= 0) {
      continue;
    }
    std::string path(line + pathAt);
    while (!path.empty() && (path.back() == '\n' || path.back() == ' ')) path.pop_back();
    // Only maps that were never writable: their pages are the file's own, so unmapping them
    // loses nothing. A private writable map may hold changed pages, which this would throw away.
    if (std::strcmp(perms, "r--p") != 0 && std::strcmp(perms, "r--s") != 0) continue;
    if (path.empty() || path.front() != '/' || !IsFontFile(path)) continue;
    if (madvise(reinterpret_cast<void*>(begin), end - begin, MADV_DONTNEED) == 0) {
      ++released;
    }
  }
  std::fclose(maps);
  return released;
#else
  return 0;
#endif
}

}  // namespace quillet
