// The folder of Quillet's own under the configuration folder, and the volume kept in it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "common/ConfigHome.h"
#include "common/VolumeStore.h"
#include "support/fixtures/FileFixtures.h"

namespace quillet {
namespace {

using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

// Sets (or, with nullopt, unsets) a variable for the test's length.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    Set(value);
  }
  ~ScopedEnv() { Set(old_); }

 private:
  void Set(const std::optional<std::string>& v) {
    if (v) {
      ::setenv(name_, v->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }
  const char* name_;
  std::optional<std::string> old_;
};

TEST(ConfigHome, FollowsXdgConfigHomeElseHome) {
  ScopedEnv home("HOME", "/home/u");
  {
    ScopedEnv xdg("XDG_CONFIG_HOME", "/x/cfg/");
    EXPECT_EQ(ConfigHomeDir(), "/x/cfg/quillet");
  }
  for (std::optional<std::string> ignored : {std::optional<std::string>{}, {""}, {"rel/cfg"}}) {
    ScopedEnv xdg("XDG_CONFIG_HOME", ignored);
    EXPECT_EQ(ConfigHomeDir(), "/home/u/.config/quillet");
  }
  ScopedEnv xdg("XDG_CONFIG_HOME", std::nullopt);
  ScopedEnv noHome("HOME", std::nullopt);
  EXPECT_EQ(ConfigHomeDir(), "");
  EXPECT_FALSE(WriteVolume(100).ok);
}

TEST(VolumeStore, RoundTripInAFolderMadeOnDemandAndBadFilesReported) {
  TempDir tmp;
  ScopedEnv xdg("XDG_CONFIG_HOME", tmp.File("a/b"));
  const std::string file = tmp.File("a/b/quillet/volume");
  int position = -1;
  bool found = true;
  EXPECT_TRUE(ReadVolume(&position, &found).ok);
  EXPECT_FALSE(found);
  ASSERT_TRUE(WriteVolume(12345).ok);
  std::string bytes;
  ASSERT_TRUE(ReadBytes(file, &bytes));
  EXPECT_EQ(bytes, "12345\n");
  struct stat st {};
  ASSERT_EQ(::stat(tmp.File("a/b/quillet").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  ASSERT_TRUE(ReadVolume(&position, &found).ok);
  EXPECT_TRUE(found);
  EXPECT_EQ(position, 12345);
  // The ends of the range are kept as they are, and what lies beyond them as the nearer end.
  for (const auto& [written, kept] :
       std::vector<std::pair<int, int>>{{0, 0}, {65535, 65535}, {70000, 65535}, {-3, 0}}) {
    ASSERT_TRUE(WriteVolume(written).ok) << written;
    position = 77;
    ASSERT_TRUE(ReadVolume(&position, &found).ok) << written;
    EXPECT_TRUE(found);
    EXPECT_EQ(position, kept) << written;
  }

  for (const std::string& text :
       std::vector<std::string>{"", "abc\n", "65536\n", "-1\n", "1 2\n", std::string(100, '7')}) {
    WriteBytes(file, text);
    position = 77;
    const IoResult io = ReadVolume(&position, &found);
    EXPECT_FALSE(io.ok) << text;
    EXPECT_NE(io.error.find(file), std::string::npos) << io.error;
    EXPECT_FALSE(found);
    EXPECT_EQ(position, 77);
  }
  // Something in the way of the folder: the write fails and says where.
  TempDir blocked;
  WriteBytes(blocked.File("quillet"), "a file, not a folder");
  ScopedEnv xdg2("XDG_CONFIG_HOME", blocked.path());
  const IoResult io = WriteVolume(5);
  EXPECT_FALSE(io.ok);
  EXPECT_NE(io.error.find(blocked.File("quillet")), std::string::npos) << io.error;
}

}  // namespace
}  // namespace quillet
