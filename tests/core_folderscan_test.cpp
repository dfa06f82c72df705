// Whole folders: natural name order, audio told from other files by content, the walk's order,
// link loops and cancelling.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/Sniff.h"
#include "playlist/FolderScan.h"
#include "support/fixtures/AudioFixtures.h"
#include "support/fixtures/FileFixtures.h"

namespace quillet {
namespace {

using testing::MakeDir;
using testing::TempDir;
using testing::WriteBytes;

TEST(NaturalOrder, ComparesDigitRunsByValueAndLettersWithoutCase) {
  const struct {
    const char* a;
    const char* b;
    int sign;
  } cases[] = {
      {"track 2.mp3", "track 10.mp3", -1},
      {"track 10.mp3", "track 9.mp3", 1},
      {"Track 3", "track 3", -1},  // equal but for case: plain bytes decide, 'T' < 't'
      {"ABC", "abd", -1},
      {"a", "a", 0},
      {"a", "a1", -1},
      {"01", "1", 1},        // equal values: fewer leading zeros first
      {"007 x", "7 y", -1},  // ... but only once the rest ties
      {"99999999999999999999999", "100000000000000000000000", -1},  // beyond any integer type
      {"disc 1/track 12", "disc 1/track 2", 1},
      {"x2-3", "x2-10", -1},
      {"\xE4\xB8\xAD 2", "\xE4\xB8\xAD 10", -1},  // bytes outside ASCII compare as they are
      {"a\xC3\xA9", "a\xC3\x89", 1},              // no case folding outside ASCII
      {"", "a", -1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(NaturalCompare(c.a, c.b), c.sign) << c.a << " vs " << c.b;
    EXPECT_EQ(NaturalCompare(c.b, c.a), -c.sign) << c.b << " vs " << c.a;
  }
  std::vector<std::string> names = {"10 - Ten.mp3", "1 - One.mp3", "2 - two.mp3", "02 - Two.mp3",
                                    "b.mp3",        "A.mp3",       "100.mp3"};
  std::sort(names.begin(), names.end(), NaturalLess);
  EXPECT_EQ(names, (std::vector<std::string>{"1 - One.mp3", "2 - two.mp3", "02 - Two.mp3",
                                             "10 - Ten.mp3", "100.mp3", "A.mp3", "b.mp3"}));
}

// Three MPEG-1 Layer III frame headers of 417 bytes (128 kbit/s, 44.1 kHz), bodies zero.
std::string MpegFrames(int n) {
  std::string frame("\xFF\xFB\x90\x64", 4);
  frame.resize(417, '\0');
  std::string out;
  for (int i = 0; i < n; ++i) out += frame;
  return out;
}

TEST(AudioSniff, KnowsAudioByItsFirstBytes) {
  const std::string le_size("\x24\x00\x00\x00", 4);
  const struct {
    const char* what;
    std::string head;
    bool audio;
  } cases[] = {
      {"WAVE", "RIFF" + le_size + "WAVEfmt ", true},
      {"RF64 WAVE", "RF64" + le_size + "WAVEds64", true},
      {"AVI is RIFF but no WAVE", "RIFF" + le_size + "AVI LIST", false},
      {"AIFF", "FORM" + le_size + "AIFFCOMM", true},
      {"AIFC", "FORM" + le_size + "AIFCFVER", true},
      {"FLAC", "fLaC\0\0\0\x22", true},
      {"Ogg", "OggS\0\x02", true},
      {"AU", ".snd\0\0\0\x18", true},
      {"CAF", "caff\0\x01\0\0", true},
      {"ID3v2 in front", std::string("ID3\x03\0\0\0\0\x02\x01", 10), true},
      {"ID3 with a broken size", std::string("ID3\x03\0\0\x80\0\0\0", 10), false},
      {"text that starts with ID3", "ID3 tags explained\n", false},
      {"MPEG frames from the start", MpegFrames(3), true},
      {"one MPEG frame, the whole file", MpegFrames(1), true},
      {"MPEG frames behind junk", std::string(100, '\x07') + MpegFrames(3), true},
      {"a lone frame sync in text", "abc\xFF\xFB\x90\x64 and more text after it", false},
      {"text", "just some notes about the album\n", false},
      {"JPEG", "\xFF\xD8\xFF\xE0\0\x10JFIF", false},
      {"PNG", "\x89PNG\r\n\x1A\n", false},
      {"empty", "", false},
  };
  for (const auto& c : cases) EXPECT_EQ(LooksLikeAudio(c.head), c.audio) << c.what;
}

class FolderScanTest : public ::testing::Test {
 protected:
  void Audio(const std::string& rel) {
    testing::WriteSineWave(dir_.File(rel), 0.01, {8000, 1, testing::WaveFormat::kPcm16});
  }
  void Text(const std::string& rel) { WriteBytes(dir_.File(rel), "not audio\n"); }
  std::string Rel(const std::string& path) { return path.substr(dir_.path().size() + 1); }
  std::vector<std::string> Rels(const std::vector<std::string>& paths) {
    std::vector<std::string> out;
    for (const auto& p : paths) out.push_back(Rel(p));
    return out;
  }
  TempDir dir_;
};

TEST_F(FolderScanTest, WalksInNaturalOrderKeepingAudioByContent) {
  MakeDir(dir_.File("music"));
  MakeDir(dir_.File("music/Disc 10"));
  MakeDir(dir_.File("music/disc 2"));
  MakeDir(dir_.File("music/.hidden"));
  Audio("music/Track 10.wav");
  Audio("music/track 2.wav");
  Audio("music/Disc 10/01.wav");
  Audio("music/disc 2/01.wav");
  Audio("music/disc 2/a song without extension");
  Text("music/disc 2/notes.mp3");  // named like audio, but text
  Text("music/cover.jpg");
  Audio("music/.hidden/x.wav");
  Audio("music/.dotfile.wav");
  // A link back up (a loop), a link to a sibling folder (entered once only), a dangling link.
  ASSERT_EQ(::symlink("..", dir_.File("music/disc 2/up").c_str()), 0);
  ASSERT_EQ(::symlink("disc 2", dir_.File("music/Disc 3 link").c_str()), 0);
  ASSERT_EQ(::symlink("nowhere", dir_.File("music/dangling.wav").c_str()), 0);

  std::vector<FolderScanProgress> reports;
  const FolderScanResult r = ScanFolder(dir_.File("music") + "/", [&](const FolderScanProgress& p) {
    reports.push_back(p);
    return true;
  });
  EXPECT_FALSE(r.cancelled);
  EXPECT_TRUE(r.unreadable.empty());
  // "disc 2" is met before "Disc 3 link" by name, so the link leads nowhere new.
  EXPECT_EQ(Rels(r.files), (std::vector<std::string>{
                               "music/disc 2/01.wav",
                               "music/disc 2/a song without extension",
                               "music/Disc 10/01.wav",
                               "music/track 2.wav",
                               "music/Track 10.wav",
                           }));
  ASSERT_FALSE(reports.empty());
  EXPECT_EQ(reports.back().audio, 5u);
  EXPECT_EQ(reports.back().folders, 3u);

  const FolderScanResult missing = ScanFolder(dir_.File("no such folder"));
  EXPECT_TRUE(missing.files.empty());
  EXPECT_EQ(missing.unreadable.size(), 1u);
}

TEST_F(FolderScanTest, CancellingKeepsWhatWasFound) {
  for (int i = 1; i <= 100; ++i) Audio("t" + std::to_string(i) + ".wav");
  const FolderScanResult all = ScanFolder(dir_.path());
  ASSERT_EQ(all.files.size(), 100u);
  EXPECT_EQ(Rel(all.files[1]), "t2.wav");
  const FolderScanResult part =
      ScanFolder(dir_.path(), [](const FolderScanProgress& p) { return p.files < 64; });
  EXPECT_TRUE(part.cancelled);
  ASSERT_EQ(part.files.size(), 64u);
  EXPECT_TRUE(std::equal(part.files.begin(), part.files.end(), all.files.begin()));
}

}  // namespace
}  // namespace quillet
