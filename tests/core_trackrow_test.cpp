// A playlist row made from nothing but a path: file name, ID3v1 singer and album, measured
// length, the path itself.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include "player/PlaySession.h"

#include <cstdint>
#include <future>

#include "playlist/TrackProbe.h"
#include "support/fixtures/FileFixtures.h"

namespace quillet {
namespace {

using testing::TempDir;
using testing::WriteBytes;

void PutLe(std::string* out, std::uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out->push_back(static_cast<char>((v >> (8 * i)) & 0xff));
}

// 16-bit stereo PCM WAVE of silence.
std::string Wave(double seconds, std::uint32_t rate = 44100) {
  const auto dataBytes = static_cast<std::uint32_t>(seconds * rate) * 4;
  std::string w = "RIFF";
  PutLe(&w, 36 + dataBytes, 4);
  w += "WAVEfmt ";
  PutLe(&w, 16, 4);
  PutLe(&w, 1, 2);  // PCM
  PutLe(&w, 2, 2);
  PutLe(&w, rate, 4);
  PutLe(&w, rate * 4, 4);
  PutLe(&w, 4, 2);
  PutLe(&w, 16, 2);
  w += "data";
  PutLe(&w, dataBytes, 4);
  w.append(dataBytes, '\0');
  return w;
}

std::string Id3v1(std::string_view artist, std::string_view album) {
  std::string t(128, '\0');
  t.replace(0, 3, "TAG");
  t.replace(33, artist.size(), artist);
  t.replace(63, album.size(), album);
  return t;
}

TEST(TrackRow, AudioFileGivesAllFiveTexts) {
  TempDir dir;
  const std::string path = dir.File("Song Title.wav");
  WriteBytes(path, Wave(65.5));
  const PlaylistRow row = ProbeTrackRow(path, EngineLengthProbe());
  EXPECT_EQ(row.name, "Song Title.wav");
  EXPECT_EQ(row.singer, "");
  EXPECT_EQ(row.album, "");
  EXPECT_EQ(row.length, "01:05");
  EXPECT_EQ(row.path, path);
}

TEST(TrackRow, TagTextsAreTheRaw30Bytes) {
  TempDir dir;
  const std::string path = dir.File("tagged.wav");
  WriteBytes(path, Wave(2) + Id3v1("Abc", "\xb8\xe8\xca\xd6"));
  const PlaylistRow row = ProbeTrackRow(path, EngineLengthProbe());
  EXPECT_EQ(row.singer, std::string("Abc") + std::string(27, '\0'));
  EXPECT_EQ(row.album, std::string("\xb8\xe8\xca\xd6") + std::string(26, '\0'));
  EXPECT_EQ(row.length, "00:02");
}

TEST(TrackRow, AnythingElseStillGetsARowAtOnce) {
  TempDir dir;
  WriteBytes(dir.File("notes.txt"), "not audio at all, long enough to hold no tag ...");
  const std::string fifo = dir.File("pipe.mp3");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  testing::MakeDir(dir.File("folder.mp3"));

  for (const std::string& path : {dir.File("notes.txt"), dir.File("missing.mp3"), fifo,
                                  dir.File("folder.mp3"), std::string("/dev/zero")}) {
    // A FIFO or device must not hang the caller: give it a generous bound, then fail.
    auto probe =
        std::async(std::launch::async, [path] { return ProbeTrackRow(path, EngineLengthProbe()); });
    ASSERT_EQ(probe.wait_for(std::chrono::seconds(20)), std::future_status::ready) << path;
    const PlaylistRow row = probe.get();
    EXPECT_EQ(row.name, FileNamePart(path));
    EXPECT_EQ(row.singer, "") << path;
    EXPECT_EQ(row.album, "") << path;
    EXPECT_EQ(row.length, "") << path;
    EXPECT_EQ(row.path, path);
  }
}

}  // namespace
}  // namespace quillet
