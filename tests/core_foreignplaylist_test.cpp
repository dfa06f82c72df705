// Other players' playlists: the tricky lines of M3U, PLS and XSPF, and an M3U8 written and read
// back giving the same rows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "player/PlaySession.h"
#include "common/FileIo.h"
#include "playlist/ForeignPlaylist.h"
#include "playlist/RowProber.h"
#include "support/fixtures/FileFixtures.h"

namespace quillet {
namespace {

// Rows as the program makes them: the engine's length probe, today's tag texts.
quillet::FileRow Rows() {
  return [probe = quillet::EngineLengthProbe()](const std::string& path) {
    return quillet::ProbeTrackRow(path, probe);
  };
}

struct Want {
  std::string path;
  std::string title;
  double seconds = -1;
};

void ExpectEntries(const std::vector<PlaylistEntry>& got, const std::vector<Want>& want,
                   const std::string& what) {
  ASSERT_EQ(got.size(), want.size()) << what;
  for (std::size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(got[i].path, want[i].path) << what << " #" << i;
    EXPECT_EQ(got[i].title, want[i].title) << what << " #" << i;
    EXPECT_EQ(got[i].seconds, want[i].seconds) << what << " #" << i;
  }
}

const std::string kBase = "/music/lists";

TEST(M3u, ReadsTheTrickyLines) {
  const std::string utf16le_bom(
      "\xFF\xFE"
      "a\0.\0m\0p\0"
      "3\0\n\0",
      14);
  const struct {
    const char* what;
    std::string bytes;
    std::vector<Want> want;
  } cases[] = {
      {"extended, CRLF",
       "#EXTM3U\r\n#EXTINF:123,Artist - Title, with comma\r\nsong.mp3\r\n",
       {{"/music/lists/song.mp3", "Artist - Title, with comma", 123}}},
      {"BOM, comments, blank lines, #EXTINF only for the next path",
       "\xEF\xBB\xBF#EXTM3U\n\n# a comment\n#EXTINF:5,First\n\n  a.mp3  \nb.mp3\n",
       {{"/music/lists/a.mp3", "First", 5}, {"/music/lists/b.mp3", "", -1}}},
      {"plain M3U, absolute and relative paths, dot segments",
       "/abs/x.mp3\n../other/./y.mp3\nsub/../z.mp3",
       {{"/abs/x.mp3", "", -1}, {"/music/other/y.mp3", "", -1}, {"/music/lists/z.mp3", "", -1}}},
      {"file URLs with escapes",
       "file:///music/a%20b%23c.mp3\nfile://localhost/x/%E4%B8%AD.mp3\nfile:/y/%zz.mp3\n",
       {{"/music/a b#c.mp3", "", -1}, {"/x/\xE4\xB8\xAD.mp3", "", -1}, {"/y/%zz.mp3", "", -1}}},
      {"URLs and paths of other systems stay as they are",
       "http://radio.example/stream\nfile://server/share/a.mp3\nC:\\Music\\a.mp3\n",
       {{"http://radio.example/stream", "", -1},
        {"file://server/share/a.mp3", "", -1},
        {"C:\\Music\\a.mp3", "", -1}}},
      {"backslashes as separators when there is no slash",
       "Album\\01.mp3\n",
       {{"/music/lists/Album/01.mp3", "", -1}}},
      {"not UTF-8: GB18030 bytes kept as they are",
       "#EXTINF:61,\xB8\xE8\xC7\xFA\n\xD6\xD0\xCE\xC4/\xB8\xE8.mp3\n",
       {{"/music/lists/\xD6\xD0\xCE\xC4/\xB8\xE8.mp3", "\xB8\xE8\xC7\xFA", 61}}},
      {"UTF-16 with its mark", utf16le_bom, {{"/music/lists/a.mp3", "", -1}}},
      {"old Mac line ends, odd durations",
       "#EXTINF:-1,Unknown\rx.mp3\r#EXTINF:12.5 tvg-id=\"q\",T\ry.mp3\r#EXTINF:abc,U\rz.mp3",
       {{"/music/lists/x.mp3", "Unknown", -1},
        {"/music/lists/y.mp3", "T", 12.5},
        {"/music/lists/z.mp3", "U", -1}}},
      {"nothing but directives", "#EXTM3U\n#EXTINF:1,dangling\n", {}},
  };
  for (const auto& c : cases) ExpectEntries(ParseM3u(c.bytes, kBase), c.want, c.what);
}

TEST(Pls, ReadsEntriesByNumber) {
  const std::string pls =
      "[playlist]\r\nNumberOfEntries=3\r\nFile2=b.mp3\r\nTitle2=Bee\r\nfile1=/abs/a.mp3\r\n"
      "Length1=61\r\nLength2=-1\r\nTitle3=no file\r\nFile10 = file:///x/%20y.mp3\r\n"
      "Version=2\r\nFileX=bad.mp3\r\n";
  ExpectEntries(ParsePls(pls, kBase),
                {{"/abs/a.mp3", "", 61}, {"/music/lists/b.mp3", "Bee", -1}, {"/x/ y.mp3", "", -1}},
                "pls");
}

TEST(Xspf, ReadsTracksWithLocationsTitlesAndDurations) {
  const std::string xspf = R"(<?xml version="1.0" encoding="UTF-8"?>
<playlist version="1" xmlns="http://xspf.org/ns/0/">
  <title>Mine</title>
  <location>file:///not/a/track.mp3</location>
  <trackList>
    <track><location>file:///music/%E6%AD%8C%20one.mp3</location><title>One &amp; only</title>
      <creator>Singer</creator><album>Album</album><duration>245500</duration></track>
    <track><title>no location</title></track>
    <track>
      <extension application="x"><location>file:///ignored.mp3</location></extension>
      <location>rel/two.mp3</location><location>file:///second/location.mp3</location>
    </track>
    <track><location>https://example.com/three.mp3</location></track>
  </trackList>
</playlist>)";
  const auto entries = ParseXspf(xspf, kBase);
  ExpectEntries(entries,
                {{"/music/\xE6\xAD\x8C one.mp3", "One & only", 245.5},
                 {"/music/lists/rel/two.mp3", "", -1},
                 {"https://example.com/three.mp3", "", -1}},
                "xspf");
  ASSERT_FALSE(entries.empty());
  EXPECT_EQ(entries[0].artist, "Singer");
  EXPECT_EQ(entries[0].album, "Album");
  // Broken XML gives the tracks before the break.
  EXPECT_EQ(ParseXspf(xspf.substr(0, xspf.find("<track><title>")), kBase).size(), 1u);
}

TEST(ForeignPlaylist, KnowsFormatsAndMakesRowsOfMissingFiles) {
  EXPECT_EQ(PlaylistFormatOfPath("/a/b.M3U"), PlaylistFormat::kM3u);
  EXPECT_EQ(PlaylistFormatOfPath("/a/b.m3u8"), PlaylistFormat::kM3u8);
  EXPECT_EQ(PlaylistFormatOfPath("x.Pls"), PlaylistFormat::kPls);
  EXPECT_EQ(PlaylistFormatOfPath("x.xspf"), PlaylistFormat::kXspf);
  EXPECT_EQ(PlaylistFormatOfPath("x.pst"), PlaylistFormat::kPst);
  EXPECT_EQ(PlaylistFormatOfPath("/a.m3u/b"), PlaylistFormat::kNone);
  EXPECT_EQ(PlaylistFormatOfPath("x.mp3"), PlaylistFormat::kNone);

  PlaylistEntry e;
  e.path = "/nowhere/at all/song.mp3";
  const PlaylistRow plain = EntryRow(e, Rows());
  EXPECT_EQ(plain.name, "song.mp3");
  EXPECT_EQ(plain.length, "");
  EXPECT_EQ(plain.path, e.path);
  e.title = "A Title";
  e.seconds = 3723.9;
  e.artist = "Singer";
  const PlaylistRow titled = EntryRow(e, Rows());
  EXPECT_EQ(titled.name, "A Title");
  EXPECT_EQ(titled.singer, "Singer");
  EXPECT_EQ(titled.length, "62:03");
}

TEST(M3u8, WritesRowsThatReadBackTheSame) {
  testing::TempDir dir;
  testing::MakeDir(dir.File("sub"));
  const std::string d = dir.path();
  const std::vector<PlaylistRow> rows = {
      {"a.mp3", "Singer", "Album", "04:05", d + "/sub/a.mp3"},
      {"Name, with comma", "", "", "", "/elsewhere/b.mp3"},
      {"\xE4\xB8\xAD\xE6\x96\x87.mp3", "\xB8\xE8\xCA\xD6", "", "100:00",
       d + "/\xE4\xB8\xAD\xE6\x96\x87.mp3"},
      {"#hash.mp3", "", "", "00:00", d + "/#hash.mp3"},
      {"line\nbreak.mp3", "", "", "", d + "/line\nbreak.mp3"},
      {" padded .mp3", "", " Album ", "", d + "/ padded .mp3"},
      {"dots", "", "", "", d + "/x/../dots.mp3"},
      {"a name longer than thirty bytes, which .pst would cut", "", "", "01:01",
       d + "/sub/a path far longer than the hundred and twenty bytes that a .pst record can hold "
           "for the path of a song, which this one is.mp3"},
      {"stream", "", "", "", "http://example.com/stream"},
  };
  const std::string playlist = dir.File("list.m3u8");
  ASSERT_TRUE(SaveM3u8File(playlist, rows).ok);
  std::string text;
  ASSERT_TRUE(ReadWholeFile(playlist, &text).ok);
  EXPECT_EQ(text.substr(0, 8), "#EXTM3U\n");
  EXPECT_NE(text.find("#EXTINF:245,a.mp3\n#EXTART:Singer\n#EXTALB:Album\nsub/a.mp3\n"),
            std::string::npos);
  EXPECT_NE(text.find("\n/elsewhere/b.mp3\n"), std::string::npos);

  std::vector<PlaylistEntry> entries;
  ASSERT_TRUE(ReadForeignPlaylist(playlist, &entries).ok);
  ASSERT_EQ(entries.size(), rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const PlaylistRow back = RowFromEntry(entries[i]);
    SCOPED_TRACE(i);
    EXPECT_EQ(back.name, rows[i].name == "line\nbreak.mp3" ? "line break.mp3" : rows[i].name);
    EXPECT_EQ(back.singer, rows[i].singer);
    EXPECT_EQ(back.album, rows[i].album);
    EXPECT_EQ(back.length, rows[i].length);
    EXPECT_EQ(back.path, rows[i].path);
  }

  // ID3v1 texts are NUL padded: written as the view shows them.
  const std::string singer = std::string("Abc") + std::string(27, '\0');
  const std::string one = EncodeM3u8({{"n", singer, "", "", "/x.mp3"}}, "/");
  EXPECT_NE(one.find("#EXTART:Abc\n"), std::string::npos);

  // A failing write leaves the old file whole.
  EXPECT_FALSE(SaveM3u8File(dir.File("no such folder/list.m3u8"), rows).ok);
}

}  // namespace
}  // namespace quillet
