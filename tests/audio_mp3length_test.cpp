// The length read from the LAME header must be the length a full frame scan gives, to the
// sample, and a file changed after encoding must be scanned instead.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "audio/AudioEngine.h"
#include "audio/ByteSource.h"
#include "audio/Decoder.h"
#include "common/Mp3Info.h"
#include "support/fixtures/AudioFixtures.h"
#include "support/fixtures/FileFixtures.h"

namespace quillet::audio {
namespace {

using testing::Mp3Kind;
using testing::Mp3Spec;
using testing::TempDir;

// The frame scan's answer: a decoder opened for playing always scans.
DecoderInfo Scanned(const std::string& path) {
  int err = 0;
  auto src = ByteSource::OpenFile(path, 0, 0, &err);
  auto dec = src ? OpenDecoder(src, DecoderUse::kPlay, &err) : nullptr;
  EXPECT_TRUE(dec) << path << " code " << err;
  return dec ? dec->info() : DecoderInfo{};
}

std::optional<Mp3Length> FromHeader(const std::string& path) {
  int err = 0;
  auto src = ByteSource::OpenFile(path, 0, 0, &err);
  return src ? Mp3LengthFromLameHeader(*src) : std::nullopt;
}

std::string Id3v2Tag(std::size_t body) {
  std::string tag = "ID3";
  tag += std::string("\x03\x00\x00", 3);
  for (int shift = 21; shift >= 0; shift -= 7) tag += static_cast<char>((body >> shift) & 0x7F);
  std::string frame = "TIT2";
  const std::string text = std::string(1, '\0') + "A title";
  frame += std::string("\0\0\0", 3) + static_cast<char>(text.size()) + std::string(2, '\0') + text;
  frame.resize(body, '\0');  // padding
  return tag + frame;
}

std::string ApeTag() {
  auto le32 = [](std::uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i) s[i] = static_cast<char>(v >> (8 * i));
    return s;
  };
  const std::string item = le32(5) + le32(0) + "Title" + std::string(1, '\0') + "Hello";
  const std::uint32_t size = static_cast<std::uint32_t>(item.size() + 32);
  return item + "APETAGEX" + le32(2000) + le32(size) + le32(1) + le32(0) + std::string(8, '\0');
}

enum class Change {
  kNone,
  kId3v2Front,
  kId3v1Back,
  kId3v2AndId3v1,
  kApeBack,
  kCut,            // the last part cut off
  kCutOnFrame,     // cut, then an ID3v1 tag put back on
  kAppendJunk,     // bytes added after the audio
  kAppendFrames,   // a copy of the audio's last 8 KiB added: more whole frames
  kPayloadEdited,  // bytes inside a frame's audio data overwritten, size unchanged
  kJunkFront,      // junk in front of the first frame
};

void Apply(Change change, const std::string& path) {
  using testing::AppendId3v1;
  using testing::FileSize;
  std::string bytes;
  ASSERT_TRUE(testing::ReadBytes(path, &bytes));
  switch (change) {
    case Change::kNone:
      return;
    case Change::kId3v2Front:
      testing::PrependBytes(path, Id3v2Tag(3000));
      return;
    case Change::kId3v1Back:
      AppendId3v1(path, "T", "Artist", "Album");
      return;
    case Change::kId3v2AndId3v1:
      testing::PrependBytes(path, Id3v2Tag(100));
      AppendId3v1(path, "T", "Artist", "Album");
      return;
    case Change::kApeBack:
      testing::WriteBytes(path, bytes + ApeTag());
      return;
    case Change::kCut:
      testing::TruncateFile(path, FileSize(path) * 3 / 5);
      return;
    case Change::kCutOnFrame:
      testing::TruncateFile(path, FileSize(path) - 1000);
      AppendId3v1(path, "T", "Artist", "Album");
      return;
    case Change::kAppendJunk:
      testing::WriteBytes(path, bytes + std::string(700, '\x55'));
      return;
    case Change::kAppendFrames:
      testing::WriteBytes(
          path, bytes + bytes.substr(bytes.size() - std::min<std::size_t>(8192, bytes.size() / 2)));
      return;
    case Change::kPayloadEdited: {
      // Bytes of the body of the first frame after the middle of the file.
      std::size_t at = bytes.size() / 2;
      while (at + 1 < bytes.size() && !(static_cast<unsigned char>(bytes[at]) == 0xFF &&
                                        (static_cast<unsigned char>(bytes[at + 1]) & 0xE0) == 0xE0))
        ++at;
      for (std::size_t i = at + 40; i < at + 56 && i < bytes.size(); ++i) bytes[i] ^= 0x5A;
      testing::WriteBytes(path, bytes);
      return;
    }
    case Change::kJunkFront:
      testing::PrependBytes(path, std::string(300, '\x11'));
      return;
  }
}

// Every kind of encoding, rate and channel count, changed in every way after encoding: the
// probe's length is the scan's, and it comes from the header exactly where the file is intact.
TEST(Mp3HeaderLength, EqualsTheFullScanOnEveryKindOfFile) {
  QUILLET_SKIP_WITHOUT_LAME();
  TempDir dir;
  struct Encoding {
    const char* name;
    Mp3Spec tone;
    bool header = true;  // lame writes the Xing/Info and LAME header
  };
  auto encoded = [](Mp3Kind kind, std::uint32_t rate, std::uint16_t channels, double seconds,
                    int kbps = 128) {
    Mp3Spec s;
    s.kind = kind;
    s.rate = rate;
    s.channels = channels;
    s.seconds = seconds;
    s.kbps = kbps;
    return s;
  };
  const std::vector<Encoding> encodings = {
      {"cbr128", encoded(Mp3Kind::kCbr, 44100, 2, 3.0)},
      {"cbr320-48k", encoded(Mp3Kind::kCbr, 48000, 2, 2.0, 320)},
      // Frames too small to hold the header: lame writes none.
      {"cbr32-mono-32k", encoded(Mp3Kind::kCbr, 32000, 1, 2.0, 32), false},
      {"cbr-22k-mono", encoded(Mp3Kind::kCbr, 22050, 1, 2.0, 64)},
      {"cbr-8k", encoded(Mp3Kind::kCbr, 8000, 1, 2.0, 16), false},
      {"cbr-short", encoded(Mp3Kind::kCbr, 44100, 2, 0.05)},
      {"vbr", encoded(Mp3Kind::kVbr, 44100, 2, 3.0)},
      {"vbr-mono-24k", encoded(Mp3Kind::kVbr, 24000, 1, 2.0)},
      {"vbr-11k", encoded(Mp3Kind::kVbr, 11025, 2, 2.0)},
      {"abr", encoded(Mp3Kind::kAbr, 44100, 2, 3.0, 96)},
      {"vbr-noheader", encoded(Mp3Kind::kVbrNoXing, 44100, 2, 2.0), false},
      {"cbr-noheader", encoded(Mp3Kind::kCbrNoXing, 44100, 2, 2.0), false},
  };
  const struct {
    Change change;
    const char* name;
    bool intact;  // the header still describes the file
  } changes[] = {
      {Change::kNone, "as encoded", true},
      {Change::kId3v2Front, "ID3v2 in front", true},
      {Change::kId3v1Back, "ID3v1 behind", true},
      {Change::kId3v2AndId3v1, "both tags", true},
      {Change::kApeBack, "APE behind", true},
      {Change::kCut, "cut", false},
      {Change::kCutOnFrame, "cut, ID3v1 put back", false},
      {Change::kAppendJunk, "junk appended", false},
      {Change::kAppendFrames, "frames appended", false},
      {Change::kPayloadEdited, "payload edited", true},
      {Change::kJunkFront, "junk in front", false},
  };
  int n = 0;
  for (const Encoding& e : encodings) {
    const std::string master = dir.File(std::string(e.name) + ".mp3");
    testing::MakeMp3(master, e.tone);
    std::string bytes;
    ASSERT_TRUE(testing::ReadBytes(master, &bytes));
    const bool has_header = e.header;
    for (const auto& c : changes) {
      // A short file has no middle worth editing, nor 8 KiB to append.
      if (e.tone.seconds < 1 && (c.change == Change::kAppendFrames || c.change == Change::kCut ||
                                 c.change == Change::kCutOnFrame))
        continue;
      const std::string path = dir.File("f" + std::to_string(n++) + ".mp3");
      testing::WriteBytes(path, bytes);
      Apply(c.change, path);
      SCOPED_TRACE(std::string(e.name) + ", " + c.name);
      FileProbe probe;
      ASSERT_TRUE(AudioEngine::ProbeFile(path, &probe)) << AudioEngine::ErrorGetCode();
      const DecoderInfo scan = Scanned(path);
      const std::uint64_t probed_frames = probe.length / (2 * probe.channels);
      EXPECT_EQ(probed_frames, scan.frames);
      EXPECT_EQ(probe.freq, scan.rate);
      EXPECT_EQ(probe.channels, scan.channels);
      const auto fast = FromHeader(path);
      if (has_header && c.intact) {
        EXPECT_TRUE(fast.has_value());
      }
      if (!has_header) {
        EXPECT_FALSE(fast.has_value());
      }
      if (fast) {
        EXPECT_EQ(fast->samples, scan.frames);
      }
    }
  }
}

}  // namespace
}  // namespace quillet::audio
