// The options file: defaults without it, a round trip of every option, values it cannot use
// falling back one by one, and failures reported.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "common/Options.h"
#include "support/fixtures/FileFixtures.h"

namespace quillet {
namespace {

using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

class ScopedConfigHome {
 public:
  explicit ScopedConfigHome(const std::string& dir) {
    if (const char* old = std::getenv("XDG_CONFIG_HOME")) old_ = old;
    ::setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
  }
  ~ScopedConfigHome() {
    if (old_.empty()) {  // also when it was set empty
      ::unsetenv("XDG_CONFIG_HOME");
    } else {
      ::setenv("XDG_CONFIG_HOME", old_.c_str(), 1);
    }
  }

 private:
  std::string old_;
};

TEST(OptionsStore, DefaultsRoundTripAndTheFileItLivesIn) {
  TempDir tmp;
  ScopedConfigHome home(tmp.File("cfg"));
  EXPECT_EQ(OptionsFilePath(), tmp.File("cfg") + "/quillet/options.ini");
  Options o;
  o.exactLyrics = true;  // a stale value must go
  ASSERT_TRUE(LoadOptions(&o).ok);
  EXPECT_EQ(o, Options{}) << "no file: every option at its default";

  Options all;
  all.exactLyrics = all.showTranslation = all.fullTags = all.embeddedLyrics = true;
  all.lyricDelayMs = -180;
  all.tagEncoding = TagEncoding::Big5;
  all.addFoldersOnDrop = all.desktopLyrics = all.desktopLyricsLocked = true;
  all.desktopBarPlaced = true;
  all.desktopBarX = -20;
  all.desktopBarY = 900;
  all.desktopBarWidth = 800;
  all.desktopBarHeight = 60;
  all.desktopFontSize = 28;
  all.desktopTextColour = "#80ff00";
  all.desktopHighlightColour = "#0000ff";
  ASSERT_TRUE(SaveOptions(all).ok) << "the folder is made on demand";
  Options back;
  ASSERT_TRUE(LoadOptions(&back).ok);
  EXPECT_EQ(back, all);
  ASSERT_TRUE(SaveOptions(Options{}).ok);
  ASSERT_TRUE(LoadOptions(&back).ok);
  EXPECT_EQ(back, Options{});
  EXPECT_EQ(std::string(TagEncodingCaption(TagEncoding::Auto)), "自动");
  EXPECT_EQ(std::string(TagEncodingCaption(TagEncoding::Latin1)), "Latin-1");
}

TEST(OptionsStore, ValuesItCannotUseFallBackOneByOne) {
  TempDir tmp;
  const std::string path = tmp.File("options.ini");
  WriteBytes(path,
             "[lyrics]\nexact=yes please\nshowTranslation=true\ndelayMs=2500\n"
             "[tags]\nfull=1\nembeddedLyrics=\nencoding=GB18030\n"
             "[playlist]\naddFoldersOnDrop=maybe\n"
             "[desktopLyrics]\nshown=TRUE\nplaced=true\nx=12\ny=abc\nwidth=0\nheight=40\n"
             "fontSize=-3\ntextColour=#12345\nhighlightColour=#A0b0C0\n"
             "[other]\nunknown=kept\n");
  Options o;
  ASSERT_TRUE(LoadOptionsFrom(path, &o).ok);
  Options want;
  want.showTranslation = true;
  want.fullTags = true;
  want.tagEncoding = TagEncoding::Gb18030;
  want.desktopLyrics = true;
  want.desktopBarX = 12;
  want.desktopBarHeight = 40;
  want.desktopHighlightColour = "#a0b0c0";
  // placed=true without a width is no place
  EXPECT_EQ(o, want);

  // Saving over it keeps what others wrote.
  ASSERT_TRUE(SaveOptionsTo(path, o).ok);
  std::string bytes;
  ASSERT_TRUE(ReadBytes(path, &bytes));
  EXPECT_NE(bytes.find("unknown=kept"), std::string::npos);
  Options again;
  ASSERT_TRUE(LoadOptionsFrom(path, &again).ok);
  EXPECT_EQ(again, o);
}

TEST(OptionsStore, FailuresAreReportedAndLeaveTheDefaults) {
  TempDir tmp;
  Options o;
  // A folder where the file should be.
  testing::MakeDir(tmp.File("dir.ini"));
  o.fullTags = true;
  EXPECT_FALSE(LoadOptionsFrom(tmp.File("dir.ini"), &o).ok);
  EXPECT_EQ(o, Options{});
  EXPECT_FALSE(SaveOptionsTo(tmp.File("dir.ini"), Options{}).ok);
  // Under a file, no folder can be made.
  WriteBytes(tmp.File("file"), "x");
  EXPECT_FALSE(SaveOptionsTo(tmp.File("file") + "/options.ini", Options{}).ok);
  // Bytes that are no INI text.
  WriteBytes(tmp.File("junk.ini"), std::string("[lyrics\nexact=true\n\0\xff[[=\n", 24));
  const IoResult junk = LoadOptionsFrom(tmp.File("junk.ini"), &o);
  EXPECT_FALSE(junk.ok);
  EXPECT_NE(junk.error.find("junk.ini"), std::string::npos);
  EXPECT_EQ(o, Options{});
  // Saving replaces such a file with a good one.
  Options exact;
  exact.exactLyrics = true;
  const IoResult saved = SaveOptionsTo(tmp.File("junk.ini"), exact);
  EXPECT_TRUE(saved.ok) << saved.error;
  ASSERT_TRUE(LoadOptionsFrom(tmp.File("junk.ini"), &o).ok);
  EXPECT_EQ(o, exact);
  if (::geteuid() != 0) {
    const std::string locked = tmp.File("locked");
    testing::MakeDir(locked);
    ::chmod(locked.c_str(), 0500);
    const IoResult io = SaveOptionsTo(locked + "/options.ini", Options{});
    EXPECT_FALSE(io.ok);
    EXPECT_NE(io.error.find(locked), std::string::npos) << io.error;
    ::chmod(locked.c_str(), 0700);
  }
  ScopedConfigHome restore("");
  ::unsetenv("XDG_CONFIG_HOME");
  const char* home = std::getenv("HOME");
  const std::string oldHome = home ? home : "";
  ::unsetenv("HOME");
  EXPECT_TRUE(LoadOptions(&o).ok) << "no configuration folder: the defaults";
  EXPECT_FALSE(SaveOptions(Options{}).ok);
  if (!oldHome.empty()) ::setenv("HOME", oldHome.c_str(), 1);
}

}  // namespace
}  // namespace quillet
