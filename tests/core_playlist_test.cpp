// Playlist files: 225-byte records of five length-prefixed texts, and the ID3v1 trailer that
// fills a row's singer and album.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "playlist/Playlist.h"
#include "playlist/TrackProbe.h"
#include "support/fixtures/FileFixtures.h"

namespace quillet {
namespace {

using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

PlaylistRow Row(std::string name, std::string path) {
  return {std::move(name), "Singer", "Album", "03:25", std::move(path)};
}

TEST(PlaylistRecord, FieldsSitAtTheirOffsets) {
  const std::string rec = EncodePlaylistRecord({"a.mp3", "Art", "", "03:25", "/m/a.mp3"});
  ASSERT_EQ(rec.size(), 225u);
  EXPECT_EQ(rec[0], 5);
  EXPECT_EQ(rec.substr(1, 5), "a.mp3");
  EXPECT_EQ(rec[31], 3);
  EXPECT_EQ(rec.substr(32, 3), "Art");
  EXPECT_EQ(rec[62], 0) << "an empty album has length 0";
  EXPECT_EQ(rec[93], 5);
  EXPECT_EQ(rec.substr(94, 5), "03:25");
  EXPECT_EQ(rec[104], 8);
  EXPECT_EQ(rec.substr(105, 8), "/m/a.mp3");
}

TEST(PlaylistRecord, LongTextsAreCutByBytes) {
  PlaylistRow row{std::string(31, 'n'), std::string(40, 's'), std::string(30, 'a'), "123456789012",
                  std::string(150, 'p')};
  // A GBK double-byte character split at byte 30 stays split: the cut is by bytes.
  row.singer = std::string(29, 's') + "\xd6\xd0";
  const PlaylistRow back = DecodePlaylistRecord(EncodePlaylistRecord(row));
  EXPECT_EQ(back.name, std::string(30, 'n'));
  EXPECT_EQ(back.singer, std::string(29, 's') + "\xd6");
  EXPECT_EQ(back.album, std::string(30, 'a'));
  EXPECT_EQ(back.length, "1234567890");
  EXPECT_EQ(back.path, std::string(120, 'p'));
}

TEST(PlaylistRecord, TagTextsKeepTheirNulFiller) {
  const std::string singer = std::string("Abc") + std::string(27, '\0');
  const PlaylistRow back = DecodePlaylistRecord(EncodePlaylistRecord({"x", singer, "", "", "p"}));
  EXPECT_EQ(back.singer, singer);
  EXPECT_EQ(back.singer.size(), 30u);
}

TEST(PlaylistRecord, LengthByteAboveCapacityReadsAsCapacity) {
  std::string rec(225, 'x');
  rec[0] = static_cast<char>(200);    // name: 30
  rec[31] = static_cast<char>(31);    // singer: 30
  rec[62] = static_cast<char>(0);     // album: empty
  rec[93] = static_cast<char>(11);    // length: 10
  rec[104] = static_cast<char>(255);  // path: 120
  const PlaylistRow row = DecodePlaylistRecord(rec);
  EXPECT_EQ(row.name.size(), 30u);
  EXPECT_EQ(row.singer.size(), 30u);
  EXPECT_EQ(row.album, "");
  EXPECT_EQ(row.length.size(), 10u);
  EXPECT_EQ(row.path.size(), 120u);
  // Bytes after the length are not significant.
  rec[0] = 2;
  EXPECT_EQ(DecodePlaylistRecord(rec).name, "xx");
}

TEST(PlaylistFile, ThreeRowsMake675BytesWithTheThirdAt450) {
  TempDir dir;
  const std::string path = dir.File("list.pst");
  std::vector<PlaylistRow> rows{Row("one.mp3", "/m/one.mp3"), Row("two.mp3", "/m/two.mp3"),
                                Row("three.wav", "/m/three.wav")};
  ASSERT_TRUE(SavePlaylistFile(path, rows).ok);
  std::string bytes;
  ASSERT_TRUE(ReadBytes(path, &bytes));
  ASSERT_EQ(bytes.size(), 675u);
  EXPECT_EQ(bytes[450], 9);
  EXPECT_EQ(bytes.substr(451, 9), "three.wav");

  // Loading appends after what is there, in file order, and twice lists twice.
  std::vector<PlaylistRow> view{Row("kept", "/k")};
  ASSERT_TRUE(LoadPlaylistFile(path, &view).ok);
  ASSERT_TRUE(LoadPlaylistFile(path, &view).ok);
  ASSERT_EQ(view.size(), 7u);
  EXPECT_EQ(view[0].name, "kept");
  EXPECT_EQ(view[3].path, "/m/three.wav");
  EXPECT_EQ(view[6].name, "three.wav");
  EXPECT_EQ(view[2].singer, "Singer");
  EXPECT_EQ(view[2].length, "03:25");
}

TEST(PlaylistFile, PartialRecordsAreIgnored) {
  TempDir dir;
  std::string bytes = EncodePlaylistFile({Row("a", "/a"), Row("b", "/b")});
  bytes += std::string(50, '\x7f');
  ASSERT_EQ(bytes.size(), 500u);
  WriteBytes(dir.File("500.pst"), bytes);
  WriteBytes(dir.File("short.pst"), bytes.substr(0, 224));
  WriteBytes(dir.File("empty.pst"), "");

  std::vector<PlaylistRow> rows;
  ASSERT_TRUE(LoadPlaylistFile(dir.File("500.pst"), &rows).ok);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1].path, "/b");
  ASSERT_TRUE(LoadPlaylistFile(dir.File("short.pst"), &rows).ok);
  ASSERT_TRUE(LoadPlaylistFile(dir.File("empty.pst"), &rows).ok);
  EXPECT_EQ(rows.size(), 2u);
}

TEST(PlaylistFile, FailedLoadAddsNothingAndSaysWhy) {
  TempDir dir;
  std::vector<PlaylistRow> rows{Row("a", "/a")};
  IoResult io = LoadPlaylistFile(dir.File("missing.pst"), &rows);
  EXPECT_FALSE(io.ok);
  EXPECT_NE(io.error.find("missing.pst"), std::string::npos);
  EXPECT_FALSE(LoadPlaylistFile(dir.path(), &rows).ok);
  EXPECT_EQ(rows.size(), 1u);
}

// ---- ID3v1 trailer -------------------------------------------------------------------------

std::string Trailer(std::string_view marker, std::string_view artist, std::string_view album) {
  std::string t(128, '\0');
  t.replace(0, 3, marker);
  t.replace(3, 5, "Title");
  t.replace(33, artist.size(), artist);
  t.replace(63, album.size(), album);
  t.replace(93, 4, "2006");
  return t;
}

TEST(Id3Trailer, FoundAtTheEndWhateverTheMarkerCase) {
  TempDir dir;
  const std::string audio(5000, '\x55');
  WriteBytes(dir.File("a.mp3"), audio + Trailer("TAG", "Artist", "Album"));
  WriteBytes(dir.File("lower.mp3"), audio + Trailer("tag", "x", "y"));
  WriteBytes(dir.File("mixed.mp3"), audio + Trailer("tAg", "x", "y"));
  WriteBytes(dir.File("exact.mp3"), Trailer("TAG", "Exact", "Fit"));

  Id3Tag tag = ReadId3Tag(dir.File("a.mp3"));
  ASSERT_TRUE(tag.found);
  EXPECT_EQ(tag.artist, std::string("Artist") + std::string(24, '\0'));
  EXPECT_EQ(tag.album, std::string("Album") + std::string(25, '\0'));
  EXPECT_TRUE(ReadId3Tag(dir.File("lower.mp3")).found);
  EXPECT_TRUE(ReadId3Tag(dir.File("mixed.mp3")).found);
  tag = ReadId3Tag(dir.File("exact.mp3"));
  ASSERT_TRUE(tag.found);
  EXPECT_EQ(tag.artist.substr(0, 5), "Exact");
  EXPECT_EQ(tag.album.substr(0, 3), "Fit");
}

TEST(Id3Trailer, AbsentForShortUntaggedAndUnreadablePaths) {
  TempDir dir;
  WriteBytes(dir.File("127.mp3"), Trailer("TAG", "A", "B").substr(1));
  WriteBytes(dir.File("notag.mp3"), std::string(4000, 'T'));
  // "TAG" must be the trailer's first bytes, not somewhere near the end.
  WriteBytes(dir.File("shifted.mp3"), Trailer("TAG", "A", "B") + "x");
  EXPECT_FALSE(ReadId3Tag(dir.File("127.mp3")).found);
  EXPECT_FALSE(ReadId3Tag(dir.File("notag.mp3")).found);
  EXPECT_FALSE(ReadId3Tag(dir.File("shifted.mp3")).found);
  EXPECT_FALSE(ReadId3Tag(dir.File("missing.mp3")).found);
  EXPECT_FALSE(ReadId3Tag(dir.path()).found);
  const std::string fifo = dir.File("fifo.mp3");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(ReadId3Tag(fifo).found) << "must return at once, not wait for a writer";
  EXPECT_FALSE(ReadId3Tag("/dev/zero").found);
}

TEST(Id3Trailer, ParsesOnlyWholeTrailers) {
  EXPECT_FALSE(ParseId3Trailer("TAG").found);
  EXPECT_FALSE(ParseId3Trailer(Trailer("TAG", "", "") + "x").found);
  EXPECT_FALSE(ParseId3Trailer(Trailer("TAB", "", "")).found);
  EXPECT_FALSE(ParseId3Trailer(Trailer("T@G", "", "")).found) << "only letters fold case";
}

TEST(FileName, IsTheLastComponentWithItsExtension) {
  EXPECT_EQ(FileNamePart("/music/a.mp3"), "a.mp3");
  EXPECT_EQ(FileNamePart("a.mp3"), "a.mp3");
  EXPECT_EQ(FileNamePart("/music/x.y/z"), "z");
  EXPECT_EQ(FileNamePart("/music/"), "");
  EXPECT_EQ(FileNamePart("/music/c:d.wav"), "c:d.wav");
}

}  // namespace
}  // namespace quillet
