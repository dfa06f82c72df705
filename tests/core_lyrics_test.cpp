// Lyric files: where a track's lyric is looked for, how its lines are read, and what the
// lyric strip shows for the header, a play second, or a track without lyric.
#include <gtest/gtest.h>

#include "playlist/Settings.h"
#include "lyrics/Lyrics.h"
#include "support/fixtures/FileFixtures.h"

namespace quillet {
namespace {

using testing::ScopedCurrentDir;
using testing::TempDir;
using testing::WriteBytes;
using Lines = std::vector<std::string>;

// ---- lookup ---------------------------------------------------------------------------------

class LyricLookup : public ::testing::Test {
 protected:
  TempDir cwd;
  ScopedCurrentDir cd{cwd.path()};
  TempDir lyrics;

  void SetLyricPath(const std::string& text) {
    ASSERT_TRUE(WriteConfigFile({text, false, false}).ok);
  }
  std::string Lookup(const std::string& audio) {
    IoResult io;
    std::string name = LyricFileName(audio, &lyricDir, &io);
    EXPECT_TRUE(io.ok) << io.error;
    return name;
  }
  std::string lyricDir = "stale";
};

TEST_F(LyricLookup, WithoutLyricDirTheLyricLiesBesideTheAudio) {
  EXPECT_EQ(Lookup("/d/Music/Song.MP3"), "/d/Music/Song.lrc");
  EXPECT_EQ(lyricDir, "") << "refreshed: no settings file means no lyric directory";
  EXPECT_EQ(Lookup("/d/Music/a.mp3.wav"), "/d/Music/a.lrc");
  EXPECT_EQ(Lookup("/d/Music/b.WAV"), "/d/Music/b.lrc");
  EXPECT_EQ(Lookup("relative.mp3"), "relative.lrc");
}

TEST_F(LyricLookup, WithLyricDirEitherFormOfItsEnd) {
  SetLyricPath(lyrics.path());
  EXPECT_EQ(Lookup("/d/Music/Song.MP3"), lyrics.path() + "/Song.lrc");
  EXPECT_EQ(lyricDir, lyrics.path());
  SetLyricPath("  " + lyrics.path() + "/\t");
  EXPECT_EQ(Lookup("/d/Music/Song.MP3"), lyrics.path() + "/Song.lrc");
  EXPECT_EQ(Lookup("/d/Music/a.mp3.wav"), lyrics.path() + "/a.lrc");
}

TEST_F(LyricLookup, OtherExtensionsUseTheirOwnBaseName) {
  // Each such track gets its own lyric instead of all sharing one ".lrc".
  EXPECT_EQ(Lookup("/d/Music/track.flac"), "/d/Music/track.lrc");
  EXPECT_EQ(Lookup("/d/Music/noext"), "/d/Music/noext.lrc");
  EXPECT_EQ(Lookup("/d/Music/v1.2.ogg"), "/d/Music/v1.2.lrc");
  EXPECT_EQ(Lookup("/d/Music/.hidden"), "/d/Music/.hidden.lrc");
  SetLyricPath(lyrics.path() + "/");
  EXPECT_EQ(Lookup("/d/Music/track.ogg"), lyrics.path() + "/track.lrc");
}

TEST_F(LyricLookup, OnlyTheFileNameIsSearchedForTheExtension) {
  // A folder whose name holds ".mp3" must not move the lookup into its parent.
  EXPECT_EQ(Lookup("/d/old.mp3s/Song.wav"), "/d/old.mp3s/Song.lrc");
  EXPECT_EQ(Lookup("/d/x.wav/track.flac"), "/d/x.wav/track.lrc");
}

TEST_F(LyricLookup, RefreshedAtEveryCall) {
  SetLyricPath(lyrics.path());
  Lookup("/m/a.mp3");
  EXPECT_EQ(lyricDir, lyrics.path());
  SetLyricPath(lyrics.path() + "/gone");
  EXPECT_EQ(Lookup("/m/a.mp3"), "/m/a.lrc");
  EXPECT_EQ(lyricDir, "");
}

TEST_F(LyricLookup, UnreadableSettingsAreReportedAndLookBesideTheAudio) {
  WriteBytes(SettingsPath(), "short");
  IoResult io;
  EXPECT_EQ(LyricFileName("/m/a.mp3", &lyricDir, &io), "/m/a.lrc");
  EXPECT_FALSE(io.ok);
  EXPECT_FALSE(io.error.empty());
  EXPECT_EQ(lyricDir, "");
}

// ---- reading lines --------------------------------------------------------------------------

TEST(LyricLines, LineEnds) {
  EXPECT_EQ(SplitLyricLines("a\nb\r\nc"), (Lines{"a", "b", "c"}));
  EXPECT_EQ(SplitLyricLines("a\nb\n"), (Lines{"a", "b"})) << "no extra empty line at the end";
  EXPECT_EQ(SplitLyricLines("a\r\nb\r\n"), SplitLyricLines("a\nb\n"));
  EXPECT_EQ(SplitLyricLines("a\rb\r\r\nc\r"), (Lines{"ab", "c"})) << "lone CR is dropped";
  EXPECT_EQ(SplitLyricLines("\n"), (Lines{""})) << "one empty line is a line";
  EXPECT_EQ(SplitLyricLines("\n\n x \n"), (Lines{"", "", " x "}));
  EXPECT_EQ(SplitLyricLines(""), Lines{});
}

TEST(LyricLines, CtrlZ) {
  EXPECT_EQ(SplitLyricLines("a\n\x1a"), (Lines{"a"})) << "old editors' end mark adds nothing";
  EXPECT_EQ(SplitLyricLines("a\n\x1a"
                            "b\nc\n"),
            (Lines{"a"}))
      << "at a line start: end of text";
  EXPECT_EQ(SplitLyricLines("ab\x1a"
                            "cd\r\nef\n"),
            (Lines{"ab", "ef"}))
      << "inside a line: ends it, the rest of the line is skipped";
  EXPECT_EQ(SplitLyricLines("ab\x1a"
                            "cd"),
            (Lines{"ab"}));
  EXPECT_EQ(SplitLyricLines("\x1a"), Lines{});
}

TEST(LyricLines, KeepBytesAndHaveNoLengthLimit) {
  const std::string longLine(100000, 'x');
  const std::string bom = "\xef\xbb\xbf[ti:Song]";
  Lines lines = SplitLyricLines(longLine + "\n" + bom + "\n" + std::string("a\0b", 3));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], longLine);
  EXPECT_EQ(lines[1], bom) << "a byte-order mark stays part of the line";
  EXPECT_EQ(lines[2], std::string("a\0b", 3));
}

TEST(LyricLines, LoadAppendsAndReportsFailures) {
  TempDir dir;
  WriteBytes(dir.File("a.lrc"), "[ti:x]\r\n[00:01]one");
  WriteBytes(dir.File("empty.lrc"), "");
  Lines lines{"kept"};
  ASSERT_TRUE(LoadLyricFile(dir.File("a.lrc"), &lines).ok);
  EXPECT_EQ(lines, (Lines{"kept", "[ti:x]", "[00:01]one"}));
  ASSERT_TRUE(LoadLyricFile(dir.File("empty.lrc"), &lines).ok);
  EXPECT_EQ(lines.size(), 3u);
  IoResult io = LoadLyricFile(dir.path(), &lines);
  EXPECT_FALSE(io.ok);
  EXPECT_EQ(lines.size(), 3u);

  EXPECT_TRUE(LyricTextEmpty({}));
  EXPECT_FALSE(LyricTextEmpty({""}));
}

// Files saved by editors that write a byte-order mark: read without it, UTF-16 as UTF-8, and
// left as they were.
TEST(LyricLines, AByteOrderMarkIsSkippedAndUtf16IsReadAsUtf8) {
  TempDir dir;
  const std::string utf8 = "[ti:歌]\r\n[00:01]\U0001D11E a\n";
  const std::u16string utf16 = u"[ti:歌]\r\n[00:01]\U0001D11E a\n";
  std::string le = "\xFF\xFE", be = "\xFE\xFF";
  for (const char16_t c : utf16) {
    const char lo = static_cast<char>(c & 0xFF), hi = static_cast<char>(c >> 8);
    le += {lo, hi};
    be += {hi, lo};
  }
  for (const auto& [name, bytes] : std::vector<std::pair<std::string, std::string>>{
           {"utf8.lrc", "\xEF\xBB\xBF" + utf8}, {"le.lrc", le}, {"be.lrc", be}}) {
    WriteBytes(dir.File(name), bytes);
    Lines lines;
    ASSERT_TRUE(LoadLyricFile(dir.File(name), &lines).ok) << name;
    EXPECT_EQ(lines, (Lines{"[ti:歌]", "[00:01]\U0001D11E a"})) << name;
    EXPECT_EQ(ShowLyricText(lines, kHeaderInfoKey), "标题：歌    ") << name;
    std::string after;
    ASSERT_TRUE(testing::ReadBytes(dir.File(name), &after));
    EXPECT_EQ(after, bytes) << name;
  }
  // Broken UTF-16 shows U+FFFD where it breaks; a bare mark is an empty text; without a mark,
  // GBK bytes and a mark later in the text stay as they are.
  EXPECT_EQ(LyricTextBytes(std::string("\xFF\xFE"
                                       "a\0\0\xD8"
                                       "b",
                                       7)),
            "a\xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_EQ(LyricTextBytes("\xFE\xFF"), "");
  EXPECT_EQ(LyricTextBytes("\xC4\xE3\xEF\xBB\xBF\xFF\xFE"), "\xC4\xE3\xEF\xBB\xBF\xFF\xFE");
}

// ---- what the strip shows -------------------------------------------------------------------

TEST(LyricDisplay, WorkedExample) {
  const Lines lines{"[ti:Song]",       "[00:05.50]Alpha", "[00:09.00]Beta",
                    "[00:09.80]Gamma", "[00:15.00]",      "[00:20.00]Delta"};
  EXPECT_EQ(ShowLyricText(lines, kHeaderInfoKey), "标题：Song    ");
  EXPECT_EQ(ShowLyricText(lines, "00:05"), "Alpha");
  EXPECT_EQ(ShowLyricText(lines, "00:09"), "Beta") << "the first line of a second wins";
  EXPECT_EQ(ShowLyricText(lines, "00:15"), "") << "a bare stamp changes nothing";
  EXPECT_EQ(ShowLyricText(lines, "00:20"), "Delta");
  EXPECT_EQ(ShowLyricText(lines, "00:07"), "");
  EXPECT_EQ(ShowLyricText(lines, ""), "");
  EXPECT_EQ(ShowLyricText(lines, "headerinfo"), "") << "the header key is case-sensitive";
}

TEST(LyricDisplay, HeaderSummary) {
  EXPECT_EQ(
      ShowLyricText({"[ti:Song]", "[ar:Singer]", "[al:Album]", "[by:Editor]"}, kHeaderInfoKey),
      "标题：Song    歌手名：Singer    专辑：Album    By：Editor    ");
  // Only the first four lines; the same tag twice shows twice; characters 1 and 4 are not
  // looked at; values end at the first "]" and keep their blanks.
  EXPECT_EQ(ShowLyricText({"[ar:A]", "xTIyz]", "[AR: B ]x]", "plain", "[by:late]"}, kHeaderInfoKey),
            "歌手名：A    标题：z    歌手名： B     ");
  // Without "]", or with it at the fifth place or earlier, the value is empty.
  EXPECT_EQ(ShowLyricText({"[TI:My Song", "[AL:]", "[BY]"}, kHeaderInfoKey),
            "标题：    专辑：    By：    ");
  EXPECT_EQ(ShowLyricText({"[00:01]a", "[00:02]b", "x", "[offset:5]"}, kHeaderInfoKey), "");
  EXPECT_EQ(ShowLyricText({"", "[", "[t"}, kHeaderInfoKey), "");
  EXPECT_EQ(ShowLyricText({"[TI"}, kHeaderInfoKey), "标题：    ") << "three bytes hold a tag";
}

TEST(LyricDisplay, TimedLines) {
  const Lines lines{"[00:12.00][01:30.00]Refrain", "[00:40]a]b", "plain 12:30 text",
                    "[1:05.00]never", "[00:33]"};
  EXPECT_EQ(ShowLyricText(lines, "00:12"), "Refrain");
  EXPECT_EQ(ShowLyricText(lines, "01:30"), "Refrain");
  EXPECT_EQ(ShowLyricText(lines, "00:40"), "b") << "text after the last ]";
  EXPECT_EQ(ShowLyricText(lines, "12:30"), "plain 12:30 text") << "no ]: the whole line";
  EXPECT_EQ(ShowLyricText(lines, "01:05"), "") << "one-digit minutes never match";
  EXPECT_EQ(ShowLyricText({"[100:05]late", "[00:05]early"}, "100:05"), "late");
  // A matched line with empty text stops the search: no later line is tried.
  EXPECT_EQ(ShowLyricText({"[00:33]", "[00:33]second"}, "00:33"), "");
}

TEST(LyricDisplay, GbkAndUtf8LinesAreShownRight) {
  const std::string gbk = "[00:01]\xc4\xe3\xba\xc3";  // 你好 in GBK
  const std::string utf8 = "[00:02]你好";
  const std::string gbkHeader = "[ar:\xb8\xe8\xca\xd6]";  // 歌手 in GBK
  EXPECT_EQ(ShowLyricText({gbk}, "00:01"), "你好");
  EXPECT_EQ(ShowLyricText({utf8}, "00:02"), "你好");
  EXPECT_EQ(ShowLyricText({gbkHeader, "[ti:标题]"}, kHeaderInfoKey),
            "歌手名：歌手    标题：标题    ");
}

TEST(TrackInfo, ValuesTrimmedLabelsKept) {
  EXPECT_EQ(TrackInfoLine("a.mp3", "", ""), "歌曲：a.mp3    歌手：    专辑：");
  EXPECT_EQ(TrackInfoLine(" a.mp3\t", std::string("Abc") + std::string(27, '\0'),
                          std::string("  Album   ") + std::string(20, '\0')),
            "歌曲：a.mp3    歌手：Abc    专辑：Album");
  // A tag field with bytes after its terminating NUL shows up to the NUL, like a tag reader.
  EXPECT_EQ(TrackInfoLine("b.mp3", std::string("Abc\0junk", 8), "Al"),
            "歌曲：b.mp3    歌手：Abc    专辑：Al");
  EXPECT_EQ(TrackInfoLine("c.mp3", "\xb8\xe8\xca\xd6", "专辑"),
            "歌曲：c.mp3    歌手：歌手    专辑：专辑");
}

TEST(TrimControl, RemovesCode32AndBelowAtBothEndsOnly) {
  EXPECT_EQ(TrimControl(std::string("\0\x1f a b \x01", 8)), "a b");
  EXPECT_EQ(TrimControl("   "), "");
  EXPECT_EQ(TrimControl("\xa1\xa1x"), "\xa1\xa1x") << "high bytes are text";
}

}  // namespace
}  // namespace quillet
