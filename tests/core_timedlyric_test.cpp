// The timed lyric model: every stamp form and offset as files carry them, word times, groups of
// originals and translations (and duets that are not), the lookup a single-shot timer follows,
// the plain text for the media controls, the [offset:] writer over the bytes of each encoding,
// and the editor's exact stamps.
#include <gtest/gtest.h>

#include <utility>

#include "lyrics/LyricEditText.h"
#include "lyrics/LyricOffset.h"
#include "lyrics/Lyrics.h"
#include "lyrics/TimedLyric.h"
#include "support/fixtures/FileFixtures.h"

namespace quillet {
namespace {

using Timed = std::vector<std::pair<std::int64_t, std::string>>;

Timed TimesAndTexts(const TimedLyric& lyric) {
  Timed out;
  for (const TimedLine& l : lyric.lines) out.emplace_back(l.stampMs, l.text);
  return out;
}

std::string Utf16(std::u16string_view text, bool littleEndian) {
  std::string out = littleEndian ? "\xFF\xFE" : "\xFE\xFF";
  for (char16_t u : text) {
    const char lo = static_cast<char>(u & 0xFF), hi = static_cast<char>(u >> 8);
    out += littleEndian ? lo : hi;
    out += littleEndian ? hi : lo;
  }
  return out;
}

// ---- reading ----------------------------------------------------------------------------------

TEST(TimedLyricParse, EveryStampFormOffsetAndBrokenLine) {
  struct Case {
    const char* what;
    std::string file;
    std::int64_t offset;
    Timed lines;
  };
  const Case cases[] = {
      {"hundredths", "[00:05.50]Alpha", 0, {{5500, "Alpha"}}},
      {"whole seconds", "[00:05]Plain", 0, {{5000, "Plain"}}},
      {"thousandths", "[00:05.123]Thou", 0, {{5123, "Thou"}}},
      {"tenths", "[00:05.5]Tenths", 0, {{5500, "Tenths"}}},
      {"more digits are cut", "[00:05.12345]Cut", 0, {{5123, "Cut"}}},
      {"colon before hundredths", "[00:05:12]Colon", 0, {{5120, "Colon"}}},
      {"one-digit minutes", "[1:02.34]One", 0, {{62340, "One"}}},
      {"three-digit minutes", "[100:00.00]Long", 0, {{6000000, "Long"}}},
      {"hours", "[1:02:03.45]Hours", 0, {{3723450, "Hours"}}},
      {"blanks inside", "[ 01 : 02 . 34 ] Blanks  ", 0, {{62340, "Blanks"}}},
      {"several stamps",
       "[00:12.00][01:30.00]Refrain",
       0,
       {{12000, "Refrain"}, {90000, "Refrain"}}},
      {"blanks between stamps", "[00:12.00] [00:13.00] Two", 0, {{12000, "Two"}, {13000, "Two"}}},
      {"brackets in the text stay", "[00:30.00][Chorus] la]la", 0, {{30000, "[Chorus] la]la"}}},
      {"timed empty line", "[00:20.00]\n[00:21.00]   ", 0, {{20000, ""}, {21000, ""}}},
      {"sorted, equal times in file order",
       "[00:09.80]Gamma\n[00:09.00]Beta\n[00:20.00]D\n[00:09.80]G2",
       0,
       {{9000, "Beta"}, {9800, "Gamma"}, {9800, "G2"}, {20000, "D"}}},
      {"positive offset", "[offset:500]\n[00:01.00]x", 500, {{1000, "x"}}},
      {"negative offset with blanks", "[ti:T]\n[offset: -3000]\n[00:01.00]x", -3000, {{1000, "x"}}},
      {"signed offset, other case, late in the file",
       "[00:01.00]x\n[OFFSET : + 250 ]",
       250,
       {{1000, "x"}}},
      {"first offset counts", "[offset:100]\n[offset:200]", 100, {}},
      {"unreadable offset is none", "[offset:abc]\n[offset:200]", 0, {}},
      {"tags on one line", "[ti:a][offset:40][ar:b]", 40, {}},
      {"broken lines are not timed",
       "[00:1a.00]x\n[00:12.00 no close\n00:12.00]no open\n[-00:01.00]neg\n[00:12.]dot\n"
       "[00]one part\n[::]\n[00:12:34:56]four\nplain text",
       0,
       {}},
      {"CR LF and a lone CR", "[00:01.00]a\r\n[00:02.00]b\rc\r\n", 0, {{1000, "a"}, {2000, "bc"}}},
  };
  for (const Case& c : cases) {
    const TimedLyric lyric = ParseTimedLyricBytes(c.file);
    EXPECT_EQ(TimesAndTexts(lyric), c.lines) << c.what;
    EXPECT_EQ(lyric.offsetMs, c.offset) << c.what;
  }
}

TEST(TimedLyricParse, TagsWordTimesAndEncodings) {
  const TimedLyric lyric = ParseTimedLyricBytes(
      "[ti: My Song ]\n[ar:Singer]\n[00:10.00]<00:10.00>Hello <00:10.50>world<00:11.00>\n"
      "[00:12.00]lead [00:12.40]in <3\n[by:late tag]\n");
  EXPECT_EQ(LyricTagValue(lyric, "ti"), "My Song");
  EXPECT_EQ(LyricTagValue(lyric, "by"), "late tag") << "tags count wherever they stand";
  EXPECT_EQ(LyricTagValue(lyric, "al"), "");
  ASSERT_EQ(lyric.lines.size(), 2u);
  EXPECT_EQ(lyric.lines[0].text, "Hello world");
  EXPECT_EQ(lyric.lines[0].words,
            (std::vector<TimedWord>{{10000, "Hello "}, {10500, "world"}, {11000, ""}}));
  EXPECT_EQ(lyric.lines[1].text, "lead in <3")
      << "text before the first word time starts with the line";
  EXPECT_EQ(lyric.lines[1].words, (std::vector<TimedWord>{{12000, "lead "}, {12400, "in <3"}}));

  // A UTF-16 file with its mark, CR LF ends, and a GBK file: the same reading, decoded right.
  const TimedLyric wide =
      ParseTimedLyricBytes(Utf16(u"[ti:歌]\r\n[offset:-100]\r\n[00:01.00]你好\r\n", true));
  EXPECT_EQ(wide.offsetMs, -100);
  ASSERT_EQ(wide.lines.size(), 1u);
  EXPECT_EQ(LyricDisplayText(wide, wide.lines[0].text), "你好");
  const TimedLyric gbk = ParseTimedLyricBytes("[00:01.00]\xC4\xE3\xBA\xC3\r\n[00:02.00]ab");
  EXPECT_FALSE(gbk.utf8);
  EXPECT_EQ(GroupText(gbk, 0).original, "你好");
}

// ---- groups -----------------------------------------------------------------------------------

TEST(TimedLyricGroups, TranslationsDuetsAndTheLayersRule) {
  struct Case {
    const char* what;
    std::string file;
    int layers;
    std::vector<LyricGroupText> shown;  // per group
  };
  const Case cases[] = {
      {"bilingual, interleaved; translation stamped 10 ms early stays second; one line left "
       "untranslated; a duet of two lines with their two translations",
       "[ti:歌]\n[00:01.00]君の名は\n[00:01.00]你的名字\n[00:05.00]夢を見た\n[00:04.99]做了梦\n"
       "[00:09.00]La la la\n"
       "[00:12.00]男：好き\n[00:12.00]女：好きよ\n[00:12.00]男：喜欢\n[00:12.00]女：喜欢你\n",
       2,
       {{"君の名は", "你的名字"},
        {"夢を見た", "做了梦"},
        {"La la la", ""},
        {"男：好き / 女：好きよ", "男：喜欢 / 女：喜欢你"}}},
      {"bilingual as two blocks (originals, then all translations)",
       "[00:01.00]One\n[00:02.00]Two\n[00:01.00]一\n[00:02.00]二\n",
       2,
       {{"One", "一"}, {"Two", "二"}}},
      {"a duet file: lines mostly alone, two singers share one stamp; nothing is hidden",
       "[00:01.00]He: I\n[00:02.00]She: you\n[00:03.00]He: we\n[00:04.00]He: both\n"
       "[00:04.00]She: both\n[00:05.00]end\n",
       1,
       {{"He: I", ""},
        {"She: you", ""},
        {"He: we", ""},
        {"He: both / She: both", ""},
        {"end", ""}}},
      {"original, romanisation and translation",
       "[00:01.00]空\n[00:01.00]sora\n[00:01.00]天空\n[00:02.00]海\n[00:02.00]umi\n[00:02.00]"
       "大海\n",
       3,
       {{"空", "sora / 天空"}, {"海", "umi / 大海"}}},
      {"empty lines: one with text drops it, a group of them clears",
       "[00:01.00]a\n[00:01.00]\n[00:02.00]\n[00:02.00]\n[00:03.00]b\n",
       1,
       {{"a", ""}, {"", ""}, {"b", ""}}},
  };
  for (const Case& c : cases) {
    const TimedLyric lyric = ParseTimedLyricBytes(c.file);
    EXPECT_EQ(lyric.layers, c.layers) << c.what;
    std::vector<LyricGroupText> shown;
    for (int g = 0; g < static_cast<int>(lyric.groups.size()); ++g)
      shown.push_back(GroupText(lyric, g));
    EXPECT_EQ(shown, c.shown) << c.what;
  }
  // The early translation makes its group due 10 ms early, yet leaves the original first.
  EXPECT_EQ(ParseTimedLyricBytes(cases[0].file).groups[1].stampMs, 4990);
  const TimedLyric cleared = ParseTimedLyricBytes(cases[4].file);
  EXPECT_TRUE(cleared.groups[1].empty);
  EXPECT_EQ(GroupText(cleared, -1), LyricGroupText{});
  EXPECT_EQ(GroupText(cleared, 3), LyricGroupText{});
}

// ---- lookup -----------------------------------------------------------------------------------

TEST(TimedLyricLookup, CurrentGroupAndNextChangeWithDelayAndOffset) {
  const TimedLyric lyric = ParseTimedLyricBytes(
      "[ti:Song]\n[00:05.50]Alpha\n[00:09.00]Beta\n[00:09.80]Gamma\n[00:15.00]\n[00:20.00]Delta\n");
  struct Case {
    std::int64_t play, delay, offset;
    int group;
    std::int64_t next;
  };
  const Case cases[] = {
      {0, 0, 0, -1, 5500},
      {5499, 0, 0, -1, 5500},
      {5500, 0, 0, 0, 9000},
      {9799, 0, 0, 1, 9800},
      {9800, 0, 0, 2, 15000},   // Gamma at 9.8 s
      {15000, 0, 0, 3, 20000},  // the empty line clears
      {25000, 0, 0, 4, kNoLyricChange},
      {9800, 200, 0, 1, 10000},    // the sound arrives 200 ms late: so does Gamma
      {9300, 0, 500, 2, 14500},    // a positive offset shows lines earlier
      {9800, 0, -500, 1, 10300},   // a negative one later
      {9800, 200, 200, 2, 15000},  // delay and offset cancel
  };
  for (const Case& c : cases) {
    const LyricPosition p = FindLyricGroup(lyric, c.play, c.delay, c.offset);
    EXPECT_EQ(p.group, c.group) << c.play << " " << c.delay << " " << c.offset;
    EXPECT_EQ(p.nextChangeMs, c.next) << c.play << " " << c.delay << " " << c.offset;
  }
  EXPECT_EQ(FindLyricGroup(TimedLyric{}, 1000, 0, 0).group, -1);
  EXPECT_EQ(GroupText(lyric, 2).original, "Gamma");
}

TEST(TimedLyricText, PlainTextForTheMediaControls) {
  EXPECT_EQ(LyricPlainText(ParseTimedLyricBytes(
                "[ti:Song]\n[00:12.00][00:30.00]Re <00:12.50>frain\n[00:01.00]First\n"
                "[00:01.00]第一\n[00:20.00]\nstray\n")),
            "First\n第一\nRe frain\n\nRe frain");
  // An untimed lyric is still a lyric: its lines, trimmed of empty lines at both ends.
  EXPECT_EQ(LyricPlainText(ParseTimedLyricBytes("[ti:x]\n\nline one\n\nline two\n\n")),
            "line one\n\nline two");
  EXPECT_EQ(LyricPlainText(ParseTimedLyricBytes("[00:01.00]\xC4\xE3")), "你");
}

// ---- writing the offset -----------------------------------------------------------------------

TEST(LyricOffsetWriter, OnlyTheTagChangesInEveryEncoding) {
  struct Case {
    const char* what;
    std::string before;
    std::int64_t offset;
    std::string after;
  };
  const Case cases[] = {
      {"LF, header, no tag", "[ti:a]\n[ar:b]\n[00:01.00]x\n", 300,
       "[ti:a]\n[ar:b]\n[offset:300]\n[00:01.00]x\n"},
      {"CR LF, tag with blanks replaced in place", "[ti:a]\r\n[offset: -3000]\r\n[00:01.00]x", 300,
       "[ti:a]\r\n[offset:300]\r\n[00:01.00]x"},
      {"the key keeps its spelling", "[OFFSET:+100]\n", -200, "[OFFSET:-200]\n"},
      {"a tag late in the file, a second one left alone", "[00:01]x\r\n[offset:1]\r\n[offset:2]", 7,
       "[00:01]x\r\n[offset:7]\r\n[offset:2]"},
      {"a tag among others on a line", "[ti:a][offset:5][ar:b]\n", 6, "[ti:a][offset:6][ar:b]\n"},
      {"no header: first line", "[00:01.00]x\r\n", 300, "[offset:300]\r\n[00:01.00]x\r\n"},
      {"header as the last line without an end", "[ti:a]", 100, "[ti:a]\r\n[offset:100]"},
      {"blank lines inside the header", "[ti:a]\n\n[ar:b]\n[00:01]x\n[al:late]\n", 100,
       "[ti:a]\n\n[ar:b]\n[offset:100]\n[00:01]x\n[al:late]\n"},
      {"UTF-8 mark kept", "\xEF\xBB\xBF[ti:a]\r\n[00:01]x", 100,
       "\xEF\xBB\xBF[ti:a]\r\n[offset:100]\r\n[00:01]x"},
      {"GBK bytes as they are", "[ti:\xB8\xE8]\r\n[00:01]\xC4\xE3\x1a", -100,
       "[ti:\xB8\xE8]\r\n[offset:-100]\r\n[00:01]\xC4\xE3\x1a"},
      {"UTF-16LE", Utf16(u"[ti:歌]\r\n[00:01]你", true), 300,
       Utf16(u"[ti:歌]\r\n[offset:300]\r\n[00:01]你", true)},
      {"UTF-16BE with a tag", Utf16(u"[offset:0]\n[00:01]你", false), -50,
       Utf16(u"[offset:-50]\n[00:01]你", false)},
      {"empty file", "", 100, "[offset:100]\r\n"},
      {"a Ctrl-Z ends the text: the tag goes before it", "[ti:a]\n\x1a[offset:9]\n", 100,
       "[ti:a]\n[offset:100]\n\x1a[offset:9]\n"},
  };
  for (const Case& c : cases) {
    const std::string after = SetLyricOffsetBytes(c.before, c.offset);
    EXPECT_EQ(after, c.after) << c.what;
    EXPECT_EQ(ParseTimedLyricBytes(after).offsetMs, c.offset) << c.what;
  }
  EXPECT_EQ(SetLyricOffsetBytes("", 5'000'000'000), "[offset:999999999]\r\n");
}

TEST(LyricOffsetWriter, WritesTheFileAndSaysWhatChanged) {
  testing::TempDir dir;
  const std::string path = dir.File("song.lrc");
  testing::WriteBytes(path, "[ti:a]\r\n[00:01.00]x\r\n");
  ASSERT_TRUE(WriteLyricOffset(path, 300).ok);
  std::string bytes;
  ASSERT_TRUE(testing::ReadBytes(path, &bytes));
  EXPECT_EQ(bytes, "[ti:a]\r\n[offset:300]\r\n[00:01.00]x\r\n");
  EXPECT_FALSE(WriteLyricOffset(dir.File("missing.lrc"), 300).ok);
  EXPECT_FALSE(testing::ReadBytes(dir.File("missing.lrc"), &bytes)) << "nothing is created";

  EXPECT_EQ(LyricOffsetNotice(300), "歌词提前 0.3 秒");
  EXPECT_EQ(LyricOffsetNotice(-300), "歌词延后 0.3 秒");
  EXPECT_EQ(LyricOffsetNotice(1000), "歌词提前 1 秒");
  EXPECT_EQ(LyricOffsetNotice(-1250), "歌词延后 1.25 秒");
  EXPECT_EQ(LyricOffsetNotice(0), "歌词时间复原");
}

// ---- the editor -------------------------------------------------------------------------------

TEST(LyricEditorExact, StampsGroupsAndImportKeepsTheOffset) {
  EXPECT_EQ(HundredthsTimeText(62349), "01:02.34") << "truncated, not rounded";
  EXPECT_EQ(HundredthsTimeText(0), "00:00.00");
  EXPECT_EQ(HundredthsTimeText(-5), "00:00.00");
  EXPECT_EQ(HundredthsTimeText(6000000), "100:00.00");
  EXPECT_EQ(EditorStampMs(10000, 200, 500), 10300);
  EXPECT_EQ(EditorStampMs(100, 200, 0), 0);
  // The stamped line shows exactly when it was tapped.
  const std::int64_t s = EditorStampMs(10000, 200, 500);
  const TimedLyric back = ParseTimedLyricBytes("[offset:500]\n[" + HundredthsTimeText(s) + "]x");
  EXPECT_EQ(FindLyricGroup(back, 10000, 200, back.offsetMs).group, 0);
  EXPECT_EQ(FindLyricGroup(back, 9990, 200, back.offsetMs).group, -1);

  const std::vector<std::string> lines = {"[TI:]",          "[00:01.00]one", "[00:01.00]一",
                                          "[00:01.01]uno",  "[00:02.00]two", "untimed",
                                          "[00:03.00]three"};
  using Range = std::pair<std::size_t, std::size_t>;
  EXPECT_EQ(StampGroupRange(lines, 1), Range(1, 3));
  EXPECT_EQ(StampGroupRange(lines, 2), Range(1, 3)) << "from a translation too";
  EXPECT_EQ(StampGroupRange(lines, 4), Range(4, 4));
  EXPECT_EQ(StampGroupRange(lines, 5), Range(5, 5));
  EXPECT_EQ(StampGroupRange(lines, 0), Range(0, 0));
  EXPECT_EQ(StampGroupRange(lines, 9), Range(9, 9));

  // Import as it is done today keeps every line, the offset too.
  const std::string imported =
      CompleteHeaderSkeleton(NormaliseLineBreaks("[offset:-250]\n[00:01.00]x\n"));
  EXPECT_NE(imported.find("[offset:-250]\r\n"), std::string::npos);
  EXPECT_EQ(LyricOffsetOf(SplitLyricLines(imported)), -250);
  EXPECT_EQ(LyricOffsetOf({"[00:01]x"}), 0);
}

}  // namespace
}  // namespace quillet
