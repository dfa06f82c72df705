// Opening and measuring files: exact lengths for every WAVE flavour and every kind of MP3, the
// files that must be refused, and what the decoders actually deliver.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "audio/AudioEngine.h"
#include "audio/ByteSource.h"
#include "audio/Decoder.h"
#include "support/fixtures/AudioFixtures.h"
#include "support/fixtures/FileFixtures.h"

namespace quillet::audio {
namespace {

using testing::Mp3Kind;
using testing::Mp3Spec;
using testing::TempDir;
using testing::WaveFormat;
using testing::WaveSpec;

// Decodes a whole file the way a stream would; all samples, interleaved.
std::vector<float> DecodeAll(const std::string& path, DecoderInfo* info = nullptr) {
  int err = 0;
  auto src = ByteSource::OpenFile(path, 0, 0, &err);
  EXPECT_TRUE(src) << err;
  if (!src) return {};
  auto dec = OpenDecoder(src, DecoderUse::kPlay, &err);
  EXPECT_TRUE(dec) << err;
  if (!dec) return {};
  if (info) *info = dec->info();
  std::vector<float> all, block(4096 * dec->info().channels);
  for (;;) {
    const std::int64_t n = dec->Read(block.data(), 4096);
    EXPECT_GE(n, 0);
    if (n <= 0) break;
    all.insert(all.end(), block.begin(), block.begin() + n * dec->info().channels);
  }
  return all;
}

FileProbe Probe(const std::string& path) {
  FileProbe p;
  EXPECT_TRUE(AudioEngine::ProbeFile(path, &p)) << path << " code " << AudioEngine::ErrorGetCode();
  return p;
}

int ProbeError(const std::string& path) {
  FileProbe p;
  EXPECT_FALSE(AudioEngine::ProbeFile(path, &p)) << path;
  return AudioEngine::ErrorGetCode();
}

TEST(WaveFiles, EveryFlavourHasItsExactLengthAndSamples) {
  TempDir dir;
  const struct {
    WaveFormat format;
    double tolerance;
  } flavours[] = {
      {WaveFormat::kPcm8, 1.0 / 100},       {WaveFormat::kPcm16, 1.0 / 30000},
      {WaveFormat::kPcm24, 1e-6},           {WaveFormat::kPcm32, 1e-6},
      {WaveFormat::kFloat32, 1e-7},         {WaveFormat::kExtensible16, 1.0 / 30000},
      {WaveFormat::kExtensibleFloat, 1e-7},
  };
  for (const auto& f : flavours) {
    for (std::uint16_t channels : {1, 2}) {
      SCOPED_TRACE(::testing::Message()
                   << "format " << static_cast<int>(f.format) << ", " << channels << " channels");
      const WaveSpec fmt{22050, channels, f.format};
      const std::string path = dir.File("f.wav");
      const auto source = testing::Sine(11025 + 7, channels, fmt.rate);
      testing::WriteWave(path, fmt, source);

      const FileProbe p = Probe(path);
      EXPECT_EQ(p.length, (11025u + 7) * channels * 2);
      EXPECT_EQ(p.freq, 22050u);
      EXPECT_EQ(p.channels, channels);
      EXPECT_DOUBLE_EQ(p.seconds, (11025.0 + 7) / 22050);

      const auto decoded = DecodeAll(path);
      ASSERT_EQ(decoded.size(), source.size());
      double worst = 0;
      for (std::size_t i = 0; i < source.size(); ++i)
        worst = std::max(worst, std::fabs(static_cast<double>(decoded[i]) - source[i]));
      EXPECT_LE(worst, f.tolerance);
    }
  }
}

TEST(Mp3Files, LengthIsExactForEveryKindAndIsWhatTheDecoderDelivers) {
  QUILLET_SKIP_WITHOUT_LAME();
  TempDir dir;
  const struct {
    Mp3Kind kind;
    std::uint32_t rate;
    std::uint16_t channels;
    bool id3v1;
  } cases[] = {
      {Mp3Kind::kCbr, 44100, 2, false},       {Mp3Kind::kVbr, 44100, 2, false},
      {Mp3Kind::kVbrNoXing, 44100, 2, false}, {Mp3Kind::kCbr, 44100, 2, true},
      {Mp3Kind::kVbr, 22050, 1, true},        {Mp3Kind::kVbrNoXing, 48000, 1, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "kind " << static_cast<int>(c.kind) << " rate " << c.rate
                                      << " channels " << c.channels << " id3v1 " << c.id3v1);
    const std::string path = dir.File("t.mp3");
    Mp3Spec fmt;
    fmt.seconds = 2.5;
    fmt.kind = c.kind;
    fmt.rate = c.rate;
    fmt.channels = c.channels;
    fmt.id3v1 = c.id3v1;
    const std::uint64_t source_frames = testing::MakeMp3(path, fmt);

    const FileProbe p = Probe(path);
    EXPECT_EQ(p.freq, c.rate);
    EXPECT_EQ(p.channels, c.channels);
    DecoderInfo info;
    const auto decoded = DecodeAll(path, &info);
    const std::uint64_t decoded_frames = decoded.size() / c.channels;
    EXPECT_EQ(p.length, decoded_frames * c.channels * 2);
    EXPECT_EQ(info.frames, decoded_frames);
    if (c.kind == Mp3Kind::kVbrNoXing) {
      // Without the LAME header nobody knows the encoder's delay and padding: the length is
      // every frame's samples, which covers the source.
      EXPECT_GE(decoded_frames, source_frames);
      EXPECT_LT(decoded_frames, source_frames + 3 * 1152);
    } else {
      EXPECT_EQ(decoded_frames, source_frames);
    }
  }
}

TEST(Mp3Files, CutShortOrBehindJunkStillMeasureExactly) {
  QUILLET_SKIP_WITHOUT_LAME();
  TempDir dir;
  for (Mp3Kind kind : {Mp3Kind::kCbr, Mp3Kind::kVbr, Mp3Kind::kVbrNoXing}) {
    SCOPED_TRACE(static_cast<int>(kind));
    Mp3Spec fmt;
    fmt.seconds = 3;
    fmt.kind = kind;
    const std::string whole = dir.File("whole.mp3");
    const std::uint64_t source_frames = testing::MakeMp3(whole, fmt);
    std::string bytes;
    ASSERT_TRUE(testing::ReadBytes(whole, &bytes));

    // Cut in the middle of a frame: the header may still claim the full length.
    const std::string cut = dir.File("cut.mp3");
    testing::WriteBytes(cut, bytes.substr(0, bytes.size() * 6 / 10 + 77));
    const auto decoded_cut = DecodeAll(cut);
    const FileProbe pc = Probe(cut);
    EXPECT_EQ(pc.length, decoded_cut.size() * 2);
    EXPECT_LT(pc.length / 4, source_frames * 7 / 10);
    EXPECT_GT(pc.length / 4, source_frames * 5 / 10);

    // A megabyte of junk in front of the first frame.
    std::string junk(1 << 20, '\0');
    std::uint32_t x = 7;
    for (auto& ch : junk) {
      x = x * 1103515245 + 12345;
      ch = static_cast<char>((x >> 16) & 0x7F);  // never a frame sync
    }
    const std::string junked = dir.File("junk.mp3");
    testing::WriteBytes(junked, junk + bytes);
    const auto decoded_junk = DecodeAll(junked);
    const FileProbe pj = Probe(junked);
    EXPECT_EQ(pj.length, decoded_junk.size() * 2);
    EXPECT_GE(pj.length / 4, source_frames);
  }
}

TEST(Mp3Files, NothingIsPlayedBeyondTheMeasuredLength) {
  // A damaged Info header found by fuzzing: libmpg123 hands out more samples than the length it
  // reports. The decoder stops at the length, so the position never runs past the end.
  DecoderInfo info;
  const auto decoded =
      DecodeAll(std::string(QUILLET_SOURCE_DIR) + "/tests/data/header-promises-less.mp3", &info);
  ASSERT_GT(info.frames, 0u);
  EXPECT_EQ(decoded.size(), info.frames * info.channels);
}

TEST(BadFiles, AreRefusedWithTheirCodes) {
  TempDir dir;
  EXPECT_EQ(ProbeError(dir.File("missing.mp3")), kErrFileOpen);
  testing::MakeDir(dir.File("folder.mp3"));
  EXPECT_EQ(ProbeError(dir.File("folder.mp3")), kErrFileOpen);

  testing::WriteBytes(dir.File("empty.wav"), "");
  EXPECT_EQ(ProbeError(dir.File("empty.wav")), kErrFileFormat);
  testing::WriteBytes(dir.File("empty.mp3"), "");
  EXPECT_EQ(ProbeError(dir.File("empty.mp3")), kErrFileFormat);

  testing::WriteWave(dir.File("nosamples.wav"), WaveSpec{}, {});
  EXPECT_EQ(ProbeError(dir.File("nosamples.wav")), kErrFileFormat);

  testing::WriteBytes(dir.File("notes.mp3"), std::string(5000, 'x') + "\r\nnot audio at all\r\n");
  EXPECT_EQ(ProbeError(dir.File("notes.mp3")), kErrFileFormat);

  testing::WriteBytes(dir.File("tag.mp3"), "");
  testing::AppendId3v1(dir.File("tag.mp3"), "t", "a", "b");
  EXPECT_EQ(ProbeError(dir.File("tag.mp3")), kErrFileFormat);

  if (testing::LameAvailable()) {
    const std::string path = dir.File("stub.mp3");
    testing::MakeMp3(path);
    testing::TruncateFile(path, 300);  // the info frame and not one audio frame
    EXPECT_EQ(ProbeError(path), kErrFileFormat);
  }
}

}  // namespace
}  // namespace quillet::audio
