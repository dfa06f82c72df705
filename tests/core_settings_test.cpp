// The settings file cfrMsg: its 123-byte record and how the lyric directory is derived from it.
#include <gtest/gtest.h>

#include <filesystem>

#include "playlist/Settings.h"
#include "support/fixtures/FileFixtures.h"

namespace quillet {
namespace {

using testing::ReadBytes;
using testing::ScopedCurrentDir;
using testing::TempDir;
using testing::WriteBytes;

std::string RawRecord(std::string_view path, unsigned char lengthByte, char mp3, char wave) {
  std::string rec(kConfigRecordSize, 'Z');  // filler past the length is not significant
  rec[0] = static_cast<char>(lengthByte);
  for (std::size_t i = 0; i < path.size() && i < kLyricPathCapacity; ++i) rec[1 + i] = path[i];
  rec[121] = mp3;
  rec[122] = wave;
  return rec;
}

TEST(ConfigRecord, LayoutIsByteExact) {
  ConfigRecord rec{"/music/lrc/", true, false};
  const std::string bytes = EncodeConfigRecord(rec);
  ASSERT_EQ(bytes.size(), 123u);
  EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 11);
  EXPECT_EQ(bytes.substr(1, 11), "/music/lrc/");
  EXPECT_EQ(bytes[121], 1);
  EXPECT_EQ(bytes[122], 0);

  ConfigRecord back = DecodeConfigRecord(bytes);
  EXPECT_EQ(back.LyricPath, rec.LyricPath);
  EXPECT_TRUE(back.RelateMp3);
  EXPECT_FALSE(back.RelateWave);
}

TEST(ConfigRecord, LongPathIsCutTo120BytesAndOddValuesReadSafely) {
  const std::string longPath(130, 'p');
  const std::string bytes = EncodeConfigRecord({longPath, false, true});
  ASSERT_EQ(bytes.size(), 123u);
  EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 120);
  EXPECT_EQ(DecodeConfigRecord(bytes).LyricPath, longPath.substr(0, 120));

  // A length byte above 120 (never written) reads as the whole capacity; any non-zero flag
  // counts as ticked; bytes after the record are ignored.
  ConfigRecord odd = DecodeConfigRecord(RawRecord(std::string(120, 'q'), 255, 7, 0) + "tail");
  EXPECT_EQ(odd.LyricPath, std::string(120, 'q'));
  EXPECT_TRUE(odd.RelateMp3);
  EXPECT_FALSE(odd.RelateWave);
  // Filler after the length byte's count is ignored.
  EXPECT_EQ(DecodeConfigRecord(RawRecord("abc", 2, 0, 0)).LyricPath, "ab");
}

class SettingsFile : public ::testing::Test {
 protected:
  TempDir dir;
  ScopedCurrentDir cd{dir.path()};
  std::string cfr = dir.File("cfrMsg");
};

TEST_F(SettingsFile, IsAddressedInTheCurrentDirectoryAtEachCall) {
  TempDir other;
  EXPECT_EQ(SettingsPath(), CurrentDirectory() + "/cfrMsg");
  {
    ScopedCurrentDir inner(other.path());
    ASSERT_TRUE(WriteConfigFile({"x", false, false}).ok);
  }
  EXPECT_TRUE(IsRegularFile(other.File("cfrMsg")));
  EXPECT_FALSE(PathExists(cfr));
}

TEST_F(SettingsFile, MissingFileMeansNoLyricDirAndNoError) {
  std::string lyricDir = "stale";
  IoResult io = ReadLyricDir(&lyricDir);
  EXPECT_TRUE(io.ok);
  EXPECT_EQ(lyricDir, "");

  ConfigRecord rec{"shown", true, true};
  bool exists = true;
  EXPECT_TRUE(ReadConfigFile(&rec, &exists).ok);
  EXPECT_FALSE(exists);
}

TEST_F(SettingsFile, LyricDirIsTrimmedAndMustExist) {
  testing::MakeDir(dir.File("Lyrics"));
  WriteBytes(cfr, EncodeConfigRecord({" \t" + dir.File("Lyrics") + "/ \r\n", false, false}));
  std::string lyricDir;
  ASSERT_TRUE(ReadLyricDir(&lyricDir).ok);
  EXPECT_EQ(lyricDir, dir.File("Lyrics") + "/");

  // The dialog shows the stored text as it is.
  ConfigRecord rec;
  bool exists = false;
  ASSERT_TRUE(ReadConfigFile(&rec, &exists).ok);
  EXPECT_TRUE(exists);
  EXPECT_EQ(rec.LyricPath, " \t" + dir.File("Lyrics") + "/ \r\n");

  std::filesystem::remove(dir.File("Lyrics"));
  ASSERT_TRUE(ReadLyricDir(&lyricDir).ok);
  EXPECT_EQ(lyricDir, "") << "a removed directory is no lyric directory";

  WriteBytes(cfr, EncodeConfigRecord({"", false, false}));
  ASSERT_TRUE(ReadLyricDir(&lyricDir).ok);
  EXPECT_EQ(lyricDir, "");
}

TEST_F(SettingsFile, ShortOrUnreadableFileIsAClearError) {
  WriteBytes(cfr, std::string(50, '\x05'));
  std::string lyricDir = "stale";
  IoResult io = ReadLyricDir(&lyricDir);
  EXPECT_FALSE(io.ok);
  EXPECT_EQ(lyricDir, "");
  EXPECT_NE(io.error.find("50"), std::string::npos) << io.error;
  EXPECT_NE(io.error.find("123"), std::string::npos) << io.error;

  ConfigRecord rec;
  bool exists = false;
  EXPECT_FALSE(ReadConfigFile(&rec, &exists).ok);
  EXPECT_TRUE(exists);

  // A folder where the file should be is no settings file: missing, with no error.
  std::filesystem::remove(cfr);
  testing::MakeDir(cfr);
  lyricDir = "stale";
  EXPECT_TRUE(ReadLyricDir(&lyricDir).ok);
  EXPECT_EQ(lyricDir, "");
  rec = {"shown", true, true};
  EXPECT_TRUE(ReadConfigFile(&rec, &exists).ok);
  EXPECT_FALSE(exists);
  EXPECT_EQ(rec.LyricPath, "");
}

TEST_F(SettingsFile, SubmitAlwaysLeavesExactly123Bytes) {
  WriteBytes(cfr, std::string(400, 'L'));  // longer than a record
  ASSERT_TRUE(WriteConfigFile({"typed without slash", true, false}).ok);
  std::string bytes;
  ASSERT_TRUE(ReadBytes(cfr, &bytes));
  ASSERT_EQ(bytes.size(), 123u);
  ConfigRecord rec;
  bool exists = false;
  ASSERT_TRUE(ReadConfigFile(&rec, &exists).ok);
  EXPECT_EQ(rec.LyricPath, "typed without slash");
  EXPECT_TRUE(rec.RelateMp3);
  EXPECT_FALSE(rec.RelateWave);
}

}  // namespace
}  // namespace quillet
