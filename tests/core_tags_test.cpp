// Tags as real tools write them (mutagen, id3v2, metaflac, oggenc and vorbiscomment): texts of
// every ID3v2 encoding and of Vorbis comments, legacy code pages, embedded lyrics and covers,
// and the playlist row texts made from them.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "player/PlaySession.h"
#include "playlist/CoverArt.h"
#include "playlist/LegacyText.h"
#include "playlist/RowText.h"
#include "playlist/TagReader.h"
#include "playlist/TrackProbe.h"
#include "support/fixtures/AudioFixtures.h"
#include "support/fixtures/FileFixtures.h"

namespace quillet {
namespace {

using testing::FindProgram;
using testing::TempDir;

// Missing tools skip a case on a developer's machine; CI installs them (scripts/setup.sh), so
// there a missing tool fails.
#define QUILLET_NEED_TOOL(ok, what)                                 \
  do {                                                              \
    if (!(ok)) {                                                    \
      if (std::getenv("CI")) FAIL() << what << " is not installed"; \
      GTEST_SKIP() << what << " is not installed";                  \
    }                                                               \
  } while (0)

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

int RunTool(const std::vector<std::string>& args) {
  std::string cmd;
  for (const auto& a : args) cmd += Quote(a) + " ";
  const int rc = std::system((cmd + "</dev/null >/dev/null 2>&1").c_str());
  return rc == -1 ? -1 : (WIFEXITED(rc) ? WEXITSTATUS(rc) : -1);
}

std::string Hex(std::string_view bytes) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) out += {digits[c >> 4], digits[c & 15]};
  return out;
}

// Tags with mutagen. Frame arguments: "TIT2=<enc>:<hex>" (0 Latin-1 takes the bytes as they are,
// 1 UTF-16, 3 UTF-8: hex of UTF-8), "USLT=<enc>:<hex>", "SYLT=<enc>:<ms>@<hex>,...",
// "SYLT=<enc>:<ms>@<hex>,...:1" for stamps in MPEG frames, "APIC=<type>:<mime>:<desc>:<file>"; "png
// <file> <r>" writes a small real PNG.
constexpr const char* kMutagen = R"(
import sys, struct, zlib
if sys.argv[1] == 'png':
    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
    raw = b''.join(b'\0' + bytes([int(sys.argv[3]), 80, 40]) * 4 for _ in range(4))
    png = b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', 4, 4, 8, 2, 0, 0, 0))
    png += chunk(b'IDAT', zlib.compress(raw)) + chunk(b'IEND', b'')
    open(sys.argv[2], 'wb').write(png)
    sys.exit(0)
from mutagen.id3 import ID3, Frames, USLT, SYLT, APIC
tag = ID3()
for arg in sys.argv[4:]:
    fid, rest = arg.split('=', 1)
    parts = rest.split(':')
    if fid == 'APIC':
        tag.add(APIC(encoding=3, type=int(parts[0]), mime=parts[1], desc=parts[2],
                     data=open(parts[3], 'rb').read()))
        continue
    enc = int(parts[0])
    def text(h):
        b = bytes.fromhex(h)
        return b.decode('latin-1') if enc == 0 else b.decode('utf-8')
    if fid == 'USLT':
        tag.add(USLT(encoding=enc, lang='chi', desc='', text=text(parts[1])))
    elif fid == 'SYLT':
        entries = [(text(e.split('@')[1]), int(e.split('@')[0])) for e in parts[1].split(',')]
        stamps = int(parts[2]) if len(parts) > 2 else 2  # 1: MPEG frames, 2: milliseconds
        tag.add(SYLT(encoding=enc, lang='chi', format=stamps, type=1, desc='', text=entries))
    else:
        tag.add(Frames[fid](encoding=enc, text=[text(parts[1])]))
tag.save(sys.argv[2], v1=0, v2_version=int(sys.argv[3]))
)";

// The system's Python, where Debian's python3-mutagen lives, even when another one comes first
// on the PATH.
const std::string& MutagenPython() {
  static const std::string python = [] {
    for (const char* p : {"/usr/bin/python3", "python3"})
      if (RunTool({p, "-c", "import mutagen"}) == 0) return std::string(p);
    return std::string();
  }();
  return python;
}

bool MutagenAvailable() { return !MutagenPython().empty(); }

void Mutagen(std::vector<std::string> args) {
  args.insert(args.begin(), {MutagenPython(), "-c", kMutagen});
  ASSERT_EQ(RunTool(args), 0) << "mutagen failed";
}

std::string Frame(const std::string& id, int enc, std::string_view bytes) {
  return id + "=" + std::to_string(enc) + ":" + Hex(bytes);
}

const std::string kGbkJay = "\xd6\xdc\xbd\xdc\xc2\xd7";                             // 周杰伦
const std::string kGbkYeHuiMei = "\xd2\xb6\xbb\xdd\xc3\xc0";                        // 叶惠美
const std::string kBig5Jay = "\xa9\x50\xaa\x4e\xad\xdb";                            // 周杰倫
const std::string kBig5Album = "\xa4\x43\xa8\xbd\xad\xbb\xaa\xba\xb9\x43\xc0\xb8";  // 七里香的遊戲

class Tagged : public ::testing::Test {
 protected:
  void SetUp() override { QUILLET_SKIP_WITHOUT_LAME(); }
  std::string Mp3(const std::string& name) {
    const std::string path = dir_.File(name);
    testing::MakeMp3(path, {.seconds = 0.5});
    return path;
  }
  std::string Png(const std::string& name, int red) {
    const std::string path = dir_.File(name);
    Mutagen({"png", path, std::to_string(red)});
    return path;
  }
  TempDir dir_;
};

// Every ID3v2 encoding in both versions, without an ID3v1 tag; Latin-1 frames holding GBK or
// Big5, also beside UTF-16 frames of the same tag.
TEST_F(Tagged, Id3v2TextsInEveryEncoding) {
  QUILLET_NEED_TOOL(MutagenAvailable(), "python3-mutagen");
  struct Case {
    const char* name;
    int version;
    std::vector<std::string> frames;
    LegacyEncoding encoding;
    TagTexts want;
  };
  const std::string title = "七里香", artist = "周杰伦", album = "叶惠美";
  const std::vector<Case> cases = {
      {"v2.3 UTF-16",
       3,
       {Frame("TIT2", 1, title), Frame("TPE1", 1, artist), Frame("TALB", 1, album),
        Frame("TPE2", 1, artist), Frame("TRCK", 1, "3/10")},
       LegacyEncoding::kAuto,
       {title, artist, album, artist, 3}},
      {"v2.4 UTF-8",
       4,
       {Frame("TIT2", 3, title), Frame("TPE1", 3, artist), Frame("TALB", 3, album),
        Frame("TPE2", 3, artist), Frame("TRCK", 3, "7")},
       LegacyEncoding::kAuto,
       {title, artist, album, artist, 7}},
      {"v2.3 GBK in Latin-1",
       3,
       {Frame("TIT2", 0, "Qi Li Xiang"), Frame("TPE1", 0, kGbkJay), Frame("TALB", 0, kGbkYeHuiMei)},
       LegacyEncoding::kAuto,
       {"Qi Li Xiang", artist, album, "", 0}},
      {"v2.4 GBK Latin-1 beside UTF-16",
       4,
       {Frame("TIT2", 1, "晴天"), Frame("TPE1", 0, kGbkJay), Frame("TPE2", 1, "周杰伦"),
        Frame("TALB", 0, kGbkYeHuiMei)},
       LegacyEncoding::kAuto,
       {"晴天", artist, album, artist, 0}},
      {"v2.3 Big5 in Latin-1",
       3,
       {Frame("TPE1", 0, kBig5Jay)},
       LegacyEncoding::kAuto,
       {"", "周杰倫", "", "", 0}},
      {"v2.3 real Latin-1",
       3,
       {Frame("TPE1", 0, "Bj\xf6rk"), Frame("TALB", 0, "Homog\xe9nic")},
       LegacyEncoding::kAuto,
       {"", "Björk", "Homogénic", "", 0}},
      {"v2.3 GBK read as Latin-1 by choice",
       3,
       {Frame("TPE1", 0, kGbkJay)},
       LegacyEncoding::kLatin1,
       {"", "ÖÜ½ÜÂ×", "", "", 0}},
      {"v2.4 UTF-8 never re-read",
       4,
       {Frame("TPE1", 3, "Ö÷½ÜÂ×")},
       LegacyEncoding::kGb18030,
       {"", "Ö÷½ÜÂ×", "", "", 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = Mp3(std::string(c.name) + ".mp3");
    std::vector<std::string> args = {"id3", path, std::to_string(c.version)};
    args.insert(args.end(), c.frames.begin(), c.frames.end());
    Mutagen(args);
    const TagTexts got = ReadEmbeddedTags(path, c.encoding, kTagTexts).texts;
    EXPECT_EQ(got.title, c.want.title);
    EXPECT_EQ(got.artist, c.want.artist);
    EXPECT_EQ(got.album, c.want.album);
    EXPECT_EQ(got.albumArtist, c.want.albumArtist);
    EXPECT_EQ(got.trackNumber, c.want.trackNumber);
  }
}

// ID3v1 written by id3v2(1): its bytes are the legacy ones; an ID3v2 tag wins field by field.
TEST_F(Tagged, Id3v1LegacyTextsAndTagOrder) {
  QUILLET_NEED_TOOL(FindProgram("id3v2"), "id3v2");
  QUILLET_NEED_TOOL(MutagenAvailable(), "python3-mutagen");
  const std::string big5 = Mp3("big5.mp3");
  ASSERT_EQ(
      RunTool({"id3v2", "-1", "-a", kBig5Jay, "-A", kBig5Album, "-t", "Song", "-T", "4", big5}), 0);
  TagTexts t = ReadEmbeddedTags(big5, LegacyEncoding::kAuto, kTagTexts).texts;
  EXPECT_EQ(t.artist, "周杰倫");
  EXPECT_EQ(t.album, "七里香的遊戲");
  EXPECT_EQ(t.title, "Song");
  EXPECT_EQ(t.trackNumber, 4);
  EXPECT_EQ(ReadEmbeddedTags(big5, LegacyEncoding::kBig5, kTagTexts).texts.artist, "周杰倫");

  const std::string both = Mp3("both.mp3");
  Mutagen({"id3", both, "3", Frame("TIT2", 1, "晴天"), Frame("TPE1", 1, "Jay Chou")});
  ASSERT_EQ(RunTool({"id3v2", "-1", "-a", kGbkJay, "-A", kGbkYeHuiMei, both}), 0);
  t = ReadEmbeddedTags(both, LegacyEncoding::kAuto, kTagTexts).texts;
  EXPECT_EQ(t.title, "晴天");
  EXPECT_EQ(t.artist, "Jay Chou");  // ID3v2 first
  EXPECT_EQ(t.album, "叶惠美");     // only the ID3v1 tag has it
}

// Lyrics in the forms files carry them; a timed one wins over plain text.
TEST_F(Tagged, EmbeddedLyrics) {
  QUILLET_NEED_TOOL(MutagenAvailable(), "python3-mutagen");
  const std::string lrc = "[ti:晴天]\n[00:01.00]故事的小黄花\n[00:05.20]从出生那年就飘着\n";
  const std::string gbkLrc = "[00:01.00]" + kGbkJay + "\n";
  struct Case {
    const char* name;
    std::vector<std::string> frames;
    std::string want;
  };
  const std::vector<Case> cases = {
      {"USLT holding LRC", {Frame("USLT", 3, lrc)}, lrc},
      {"USLT in GBK declared Latin-1", {Frame("USLT", 0, gbkLrc)}, "[00:01.00]周杰伦\n"},
      {"SYLT in milliseconds",
       {"SYLT=3:1000@" + Hex("第一行") + ",62340@" + Hex("第二行")},
       "[00:01.00]第一行\n[01:02.34]第二行\n"},
      {"plain USLT gives way to SYLT",
       {Frame("USLT", 3, "no stamps here"), "SYLT=1:500@" + Hex("一")},
       "[00:00.50]一\n"},
      {"plain USLT alone", {Frame("USLT", 1, "just words")}, "just words"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = Mp3(std::string(c.name) + ".mp3");
    std::vector<std::string> args = {"id3", path, "4"};
    args.insert(args.end(), c.frames.begin(), c.frames.end());
    Mutagen(args);
    EXPECT_EQ(ReadEmbeddedTags(path, LegacyEncoding::kAuto, kTagLyric).lyric, c.want);
  }
  // Stamps counted in MPEG frames: 100 frames of 1,152 samples at 48 kHz are 2.4 s.
  const std::string frames = dir_.File("frames.mp3");
  testing::MakeMp3(frames, {.seconds = 3, .rate = 48000});
  Mutagen({"id3", frames, "3", "SYLT=1:100@" + Hex("帧") + ":1"});
  EXPECT_EQ(ReadEmbeddedTags(frames, LegacyEncoding::kAuto, kTagLyric).lyric, "[00:02.40]帧\n");
}

// FLAC and Ogg Vorbis with Vorbis comments: texts, lyric fields, a FLAC picture.
TEST_F(Tagged, VorbisComments) {
  QUILLET_NEED_TOOL(FindProgram("flac") && FindProgram("metaflac"), "flac");
  QUILLET_NEED_TOOL(FindProgram("oggenc") && FindProgram("vorbiscomment"), "vorbis-tools");
  QUILLET_NEED_TOOL(MutagenAvailable(), "python3-mutagen");
  const std::string wav = dir_.File("tone.wav");
  testing::WriteSineWave(wav, 0.5);
  const std::string png = Png("front.png", 200);

  const std::string flac = dir_.File("tone.flac");
  ASSERT_EQ(RunTool({"flac", "--silent", "-f", "-o", flac, wav}), 0);
  ASSERT_EQ(RunTool({"metaflac", "--set-tag=TITLE=稻香", "--set-tag=ARTIST=周杰伦",
                     "--set-tag=ALBUM=魔杰座", "--set-tag=ALBUMARTIST=Jay",
                     "--set-tag=TRACKNUMBER=2", "--set-tag=UNSYNCEDLYRICS=[00:02.00]对这个世界",
                     "--import-picture-from=3||||" + png, flac}),
            0);
  EmbeddedTags t = ReadEmbeddedTags(flac);
  EXPECT_EQ(t.texts.title, "稻香");
  EXPECT_EQ(t.texts.artist, "周杰伦");
  EXPECT_EQ(t.texts.album, "魔杰座");
  EXPECT_EQ(t.texts.albumArtist, "Jay");
  EXPECT_EQ(t.texts.trackNumber, 2);
  EXPECT_EQ(t.lyric, "[00:02.00]对这个世界");
  std::string pngBytes;
  ASSERT_TRUE(testing::ReadBytes(png, &pngBytes));
  EXPECT_EQ(t.cover.bytes, pngBytes);
  EXPECT_EQ(t.cover.mimeType, "image/png");

  const std::string ogg = dir_.File("tone.ogg");
  ASSERT_EQ(RunTool({"oggenc", "-Q", "-o", ogg, wav}), 0);
  ASSERT_EQ(RunTool({"vorbiscomment", "-w", "-e", "-t", "TITLE=晴天", "-t", "ARTIST=周杰伦", "-t",
                     "ALBUM ARTIST=JC", "-t", "LYRICS=[00:01.00]一\\n[00:02.50]二", "-t",
                     "UNSYNCEDLYRICS=plain", ogg}),
            0);
  t = ReadEmbeddedTags(ogg);
  EXPECT_EQ(t.texts.title, "晴天");
  EXPECT_EQ(t.texts.artist, "周杰伦");
  EXPECT_EQ(t.texts.albumArtist, "JC");
  EXPECT_EQ(t.lyric, "[00:01.00]一\n[00:02.50]二");
  EXPECT_TRUE(t.cover.Empty());
}

// The front cover is preferred over an earlier picture; its file is written once and reused.
TEST_F(Tagged, CoverFileWrittenOnceAndReused) {
  QUILLET_NEED_TOOL(MutagenAvailable(), "python3-mutagen");
  const std::string other = Png("artist.png", 10), front = Png("front.png", 250);
  const std::string mp3 = Mp3("covered.mp3");
  Mutagen({"id3", mp3, "3", "APIC=8:image/png:artist:" + other, "APIC=3:image/png:front:" + front});
  const EmbeddedTags tags = ReadEmbeddedTags(mp3, LegacyEncoding::kAuto, kTagCover);
  std::string frontBytes;
  ASSERT_TRUE(testing::ReadBytes(front, &frontBytes));
  ASSERT_EQ(tags.cover.bytes, frontBytes);
  EXPECT_EQ(tags.cover.extension, "png");

  const std::string cache = dir_.File("cache/quillet");
  std::string path;
  ASSERT_TRUE(SaveCoverArt(tags.cover, &path, cache).ok);
  std::string written;
  ASSERT_TRUE(testing::ReadBytes(path, &written));
  EXPECT_EQ(written, frontBytes);
  EXPECT_EQ(path.substr(path.size() - 4), ".png");
  struct stat first {
  }, again{};
  ASSERT_EQ(::stat(path.c_str(), &first), 0);

  std::string second;
  ASSERT_TRUE(SaveCoverArt(tags.cover, &second, cache).ok);
  EXPECT_EQ(second, path);
  ASSERT_EQ(::stat(second.c_str(), &again), 0);
  EXPECT_EQ(again.st_ino, first.st_ino);  // not written again
  EXPECT_EQ(FileUrl("/tmp/a b/封面.png"), "file:///tmp/a%20b/%E5%B0%81%E9%9D%A2.png");
}

// The row with full tags off is today's; on, it takes the tag's texts, converted and cut at a
// character boundary within the field.
TEST_F(Tagged, RowTextsWithTheOptionOnAndOff) {
  QUILLET_NEED_TOOL(MutagenAvailable(), "python3-mutagen");
  const std::string path = Mp3("track.mp3");
  const std::string longTitle = "故事的小黄花从出生那年就飘着童年";  // 16 characters, 48 bytes
  Mutagen({"id3", path, "3", Frame("TIT2", 1, longTitle), Frame("TPE1", 0, kGbkJay)});

  const PlaylistRow off = ProbeTrackRow(path, quillet::EngineLengthProbe());
  EXPECT_EQ(off.name, "track.mp3");
  EXPECT_EQ(off.singer, "");
  EXPECT_EQ(off.length, "00:00");

  TrackProbeOptions options;
  options.fullTags = true;
  options.rowEncoding = RowEncoding::kUtf8;
  PlaylistRow on = ProbeTrackRow(path, quillet::EngineLengthProbe(), options);
  EXPECT_EQ(on.name, "故事的小黄花从出生那");  // 10 characters, 30 bytes
  EXPECT_EQ(on.singer, "周杰伦");
  EXPECT_EQ(on.album, "");
  EXPECT_EQ(on.path, path);
  EXPECT_EQ(on.length, off.length);

  options.rowEncoding = RowEncoding::kGb18030;
  on = ProbeTrackRow(path, quillet::EngineLengthProbe(), options);
  EXPECT_EQ(on.name.size(), 30u);  // 15 characters of two bytes
  EXPECT_EQ(on.singer, kGbkJay);

  // No tag at all: the file name, as without the option.
  const std::string bare = Mp3("bare.mp3");
  EXPECT_EQ(ProbeTrackRow(bare, quillet::EngineLengthProbe(), options).name, "bare.mp3");
}

TEST(RowText, CutsAtCharacterBoundaries) {
  struct Case {
    std::string utf8;
    std::size_t capacity;
    RowEncoding encoding;
    std::string want;
  };
  const std::vector<Case> cases = {
      {"ab周", 4, RowEncoding::kUtf8, "ab"},
      {"ab周", 5, RowEncoding::kUtf8, "ab周"},
      {"ab周", 3, RowEncoding::kGb18030, "ab"},
      {"ab周", 4, RowEncoding::kGb18030, "ab\xd6\xdc"},
      {"a\xf0\xa0\x80\x80", 4, RowEncoding::kUtf8, "a"},  // U+20000, four bytes
      {"a\xf0\xa0\x80\x80", 4, RowEncoding::kGb18030, "a"},
      {"a\xf0\xa0\x80\x80", 5, RowEncoding::kGb18030, "a\x95\x32\x82\x36"},
      {"Björk", 30, RowEncoding::kGb18030, "Bj\x81\x30\x8b\x32rk"},
      {"bad\xff", 30, RowEncoding::kUtf8, "bad\xef\xbf\xbd"},
      {std::string(40, 'x'), 30, RowEncoding::kUtf8, std::string(30, 'x')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.utf8 + " / " + std::to_string(c.capacity));
    EXPECT_EQ(RowTextFromUtf8(c.utf8, c.capacity, c.encoding), c.want);
  }
  for (const char* gb : {"GB18030", "GBK", "gb2312", "EUC-CN"})
    EXPECT_EQ(RowEncodingForCodeset(gb), RowEncoding::kGb18030) << gb;
  for (const char* other : {"UTF-8", "ANSI_X3.4-1968", "ISO-8859-1", "BIG5", ""})
    EXPECT_EQ(RowEncodingForCodeset(other), RowEncoding::kUtf8) << other;
}

// The guess over bytes alone, short names included (where statistical detectors fail).
TEST(LegacyText, GuessesShortTexts) {
  struct Case {
    std::vector<std::string> texts;
    LegacyGuess want;
  };
  const std::vector<Case> cases = {
      {{"Plain ASCII"}, LegacyGuess::kAscii},
      {{kGbkJay}, LegacyGuess::kGb18030},
      {{"\xcd\xf5"}, LegacyGuess::kGb18030},  // 王, one character
      {{kGbkYeHuiMei, "Jay"}, LegacyGuess::kGb18030},
      {{"\xa1\xb6\xc6\xdf\xc0\xef\xcf\xe3\xa1\xb7"}, LegacyGuess::kGb18030},  // 《七里香》
      {{kBig5Jay}, LegacyGuess::kBig5},
      {{kBig5Album}, LegacyGuess::kBig5},
      {{"\xb1\x69\xbe\xc7\xa4\xcd"}, LegacyGuess::kBig5},  // 張學友
      {{"Bj\xf6rk"}, LegacyGuess::kLatin1},
      {{"Gr\xf6\xdf"
        "e"},
       LegacyGuess::kLatin1},
      {{"Mot\xf6rhead", "Caf\xe9"}, LegacyGuess::kLatin1},
      {{"\xa9 2003"}, LegacyGuess::kLatin1},
      {{"\xe5\x91\xa8\xe6\x9d\xb0\xe4\xbc\xa6"}, LegacyGuess::kUtf8},  // UTF-8 in a Latin-1 field
      {{"Gr\xc3\xb6\xc3\x9f"
        "e"},
       LegacyGuess::kUtf8},
  };
  for (const Case& c : cases) {
    std::vector<std::string_view> views(c.texts.begin(), c.texts.end());
    EXPECT_EQ(GuessLegacyEncoding(views), c.want) << c.texts.front();
  }
  EXPECT_EQ(DecodeLegacyText(kGbkJay, LegacyEncoding::kBig5).find("周"), std::string::npos);
  EXPECT_EQ(DecodeLegacyText("\xd6", LegacyEncoding::kGb18030), "\xef\xbf\xbd");
}

TEST(TagReader, SyllableTimedTextBecomesLines) {
  const std::vector<TimedText> syllables = {{1000, "\nHel"},    {1500, "lo "},     {2000, "world"},
                                            {3000, "\r\nNext"}, {3500, " line\n"}, {4000, "Last"}};
  EXPECT_EQ(TimedTextToLrc(syllables),
            "[00:01.00]Hello world\n[00:03.00]Next line\n[00:04.00]Last\n");
  EXPECT_EQ(LrcStamp(3723456), "[62:03.45]");
}

// Broken files: every cut and some damage of real tagged files read without a crash or a hang;
// what is not a regular file is never opened.
TEST_F(Tagged, BrokenFilesGiveWhatTheyCan) {
  QUILLET_NEED_TOOL(MutagenAvailable(), "python3-mutagen");
  const std::string png = Png("p.png", 1);
  const std::string path = Mp3("whole.mp3");
  Mutagen({"id3", path, "4", Frame("TIT2", 3, "晴天"), Frame("USLT", 0, kGbkJay),
           "SYLT=1:1@" + Hex("x"), "APIC=3:image/png:f:" + png});
  std::string bytes;
  ASSERT_TRUE(testing::ReadBytes(path, &bytes));
  for (std::size_t cut = 0; cut < 600 && cut < bytes.size(); cut += 7) {
    std::string damaged = bytes.substr(0, cut);
    ReadEmbeddedTagsFromBytes(damaged);
    damaged = bytes;
    damaged[cut] = static_cast<char>(~damaged[cut]);
    ReadEmbeddedTagsFromBytes(damaged);
    ReadEmbeddedTagsFromBytes(damaged, TagContainer::kFlac);
    ReadEmbeddedTagsFromBytes(damaged, TagContainer::kOggVorbis);
  }
  EXPECT_EQ(ReadEmbeddedTagsFromBytes(bytes).texts.title, "晴天");

  // The descriptor handed to TagLib is closed with it, whatever the file held.
  const auto openFiles = [] {
    return std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                         std::filesystem::directory_iterator());
  };
  const auto before = openFiles();
  for (int i = 0; i < 20; ++i) ReadEmbeddedTags(i % 2 ? path : png);
  EXPECT_EQ(openFiles(), before);

  const std::string fifo = dir_.File("pipe.mp3");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  testing::MakeDir(dir_.File("folder.mp3"));
  for (const std::string& p :
       {fifo, dir_.File("folder.mp3"), dir_.File("missing.mp3"), std::string("/dev/zero")}) {
    const EmbeddedTags t = ReadEmbeddedTags(p);
    EXPECT_TRUE(t.texts.Empty() && t.cover.Empty() && t.lyric.empty()) << p;
  }
}

}  // namespace
}  // namespace quillet
