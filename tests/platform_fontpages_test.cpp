// Font files' resident pages are handed back; the maps stay readable with the same bytes, and
// only maps that were never writable are touched (a private writable map may hold changes).
#include "platform/FontPages.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "support/fixtures/FileFixtures.h"

namespace quillet {
namespace {

constexpr std::size_t kSize = 64 * 4096;

// The resident kilobytes of the map that starts at `at`, from /proc/self/smaps.
long ResidentKiB(const void* at) {
  char start[32];
  std::snprintf(start, sizeof start, "%lx-", reinterpret_cast<unsigned long>(at));
  std::ifstream smaps("/proc/self/smaps");
  std::string line;
  bool inside = false;
  while (std::getline(smaps, line)) {
    if (line.rfind(start, 0) == 0) inside = true;
    if (inside && line.rfind("Rss:", 0) == 0) return std::stol(line.substr(4));
  }
  return -1;
}

TEST(FontPages, OnlyMapsOfFontFilesThatWereNeverWritableAreHandedBack) {
  testing::TempDir dir;
  std::string bytes(kSize, '\0');
  for (std::size_t i = 0; i < kSize; ++i) bytes[i] = static_cast<char>(i * 7 % 251);
  for (const char* name : {"face.TTF", "face.otc", "notes.bin"})
    testing::WriteBytes(dir.File(name), bytes);
  struct Case {
    const char* file;
    int prot;
    bool released;
  };
  const Case cases[] = {
      {"face.TTF", PROT_READ, true},
      {"face.otc", PROT_READ, true},
      {"notes.bin", PROT_READ, false},
      {"face.TTF", PROT_READ | PROT_WRITE, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.file) + ((c.prot & PROT_WRITE) ? " writable" : " read-only"));
    const int fd = ::open(dir.File(c.file).c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    auto* map = static_cast<char*>(::mmap(nullptr, kSize, c.prot, MAP_PRIVATE, fd, 0));
    ::close(fd);
    ASSERT_NE(map, MAP_FAILED);
    volatile char sum = 0;
    for (std::size_t i = 0; i < kSize; i += 4096) sum = static_cast<char>(sum + map[i]);
    if (c.prot & PROT_WRITE) map[5] = 'x';
    const long before = ResidentKiB(map);
    ASSERT_GE(before, 4);
    ReleaseFontPages();
    EXPECT_EQ(ResidentKiB(map), c.released ? 0 : before);
    std::string expected = bytes;
    if (c.prot & PROT_WRITE) expected[5] = 'x';
    EXPECT_EQ(std::memcmp(map, expected.data(), kSize), 0);
    ::munmap(map, kSize);
  }
}

}  // namespace
}  // namespace quillet
