// Minutes:seconds texts, file lengths, stream length and position texts with their fallbacks,
// and the audio error text.
#include "player/TimeTexts.h"

#include <gtest/gtest.h>

#include "player/PlaySession.h"

#include <cmath>
#include <cstdlib>
#include <limits>

#include "audio/AudioEngine.h"
#include "playlist/TrackProbe.h"
#include "support/ScriptedEngine.h"
#include "support/fixtures/AudioFixtures.h"
#include "support/fixtures/FileFixtures.h"

namespace quillet {
namespace {

std::string LengthText(const std::string& path) {
  return FileLengthText(path, EngineLengthProbe());
}

using audio::AudioEngine;
using audio::Handle;
using audio::kNotAvailable;
using testing::TempDir;

TEST(TimeText, TruncatesTowardZeroAndPadsToTwoDigits) {
  const struct {
    double seconds;
    const char* text;
  } table[] = {
      {0, "00:00"},       {0.99, "00:00"},  {5.9, "00:05"},       {9.999, "00:09"},
      {10, "00:10"},      {59.99, "00:59"}, {60, "01:00"},        {65, "01:05"},
      {599.5, "09:59"},   {600, "10:00"},   {3599.9, "59:59"},    {3725, "62:05"},
      {5999.99, "99:59"}, {6000, "100:00"}, {60000.5, "1000:00"}, {1e-30, "00:00"},
  };
  for (const auto& row : table) EXPECT_EQ(TimeText(row.seconds), row.text) << row.seconds;
  // Times kept as 32-bit floats, as the player keeps them.
  EXPECT_EQ(TimeText(59.99f), "00:59");
  EXPECT_EQ(TimeText(static_cast<float>(179.99997)), "02:59");
}

TEST(TimeText, NonsenseTimesReadAsZero) {
  EXPECT_EQ(TimeText(-5), "00:00");
  EXPECT_EQ(TimeText(std::nan("")), "00:00");
  EXPECT_EQ(TimeText(-std::numeric_limits<double>::infinity()), "00:00");
  // Absurdly long but no undefined conversion.
  EXPECT_FALSE(TimeText(std::numeric_limits<double>::infinity()).empty());
  EXPECT_FALSE(TimeText(1e300).empty());
}

TEST(AudioErrorText, MessageLineBreakAndCodeInFullWidthBrackets) {
  EXPECT_EQ(AudioErrorText("初始化音频错误！", 23), "初始化音频错误！\r\n（错误码： 23）");
  EXPECT_EQ(AudioErrorText("x", -1),
            "x\r\n\xEF\xBC\x88\xE9\x94\x99\xE8\xAF\xAF\xE7\xA0\x81"
            "\xEF\xBC\x9A -1\xEF\xBC\x89");
  EXPECT_EQ(AudioErrorText("", 0), "\r\n（错误码： 0）");
}

TEST(FileLengthText, MeasuresWithoutADevice) {
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);  // nothing here may touch the device
  TempDir dir;
  testing::WriteSineWave(dir.File("a.wav"), 3.5, {8000, 1, testing::WaveFormat::kPcm8});
  EXPECT_EQ(LengthText(dir.File("a.wav")), "00:03");
  testing::WriteWave(dir.File("b.wav"), {8000, 1, testing::WaveFormat::kPcm8},
                     std::vector<float>(8000 * 60 - 1));  // one sample short of a minute
  EXPECT_EQ(LengthText(dir.File("b.wav")), "00:59");
  testing::WriteWave(dir.File("c.wav"), {4000, 1, testing::WaveFormat::kPcm8},
                     std::vector<float>(4000 * 65));
  EXPECT_EQ(LengthText(dir.File("c.wav")), "01:05");

  // Unknown or no length: an empty text.
  EXPECT_EQ(LengthText(dir.File("missing.mp3")), "");
  EXPECT_EQ(LengthText(dir.path()), "");
  testing::WriteBytes(dir.File("empty.mp3"), "");
  EXPECT_EQ(LengthText(dir.File("empty.mp3")), "");
  testing::WriteBytes(dir.File("lyrics.lrc"), "[00:01.00]words\r\n");
  EXPECT_EQ(LengthText(dir.File("lyrics.lrc")), "");
  testing::WriteWave(dir.File("nothing.wav"), {}, {});
  EXPECT_EQ(LengthText(dir.File("nothing.wav")), "");
  unsetenv("SDL_AUDIODRIVER");
}

TEST(FileLengthText, Mp3sOfEveryKind) {
  QUILLET_SKIP_WITHOUT_LAME();
  TempDir dir;
  testing::Mp3Spec fmt;
  fmt.seconds = 2.9;
  for (auto kind : {testing::Mp3Kind::kCbr, testing::Mp3Kind::kVbr, testing::Mp3Kind::kVbrNoXing}) {
    fmt.kind = kind;
    fmt.id3v1 = kind == testing::Mp3Kind::kCbr;
    testing::MakeMp3(dir.File("a.mp3"), fmt);
    EXPECT_EQ(LengthText(dir.File("a.mp3")), "00:02") << static_cast<int>(kind);
  }
  // The LAME header alone, without one frame of audio.
  testing::TruncateFile(dir.File("a.mp3"), 400);
  EXPECT_EQ(LengthText(dir.File("a.mp3")), "");
}

TEST(StreamInfo, LengthFallsBackToOneSecondAndPositionToZero) {
  testing::ScriptedEngine engine;
  engine.AddFile("/a.wav", 65);
  engine.nextHandle = 7;
  ASSERT_EQ(engine.StreamCreateFile(false, "/a.wav", 0, 0, 0), 7u);
  testing::ScriptedEngine::File& file = engine.Find(7)->file;
  engine.At(7, 5 + 4 / 176400.0);
  // Handle 0 never asks the engine.
  EXPECT_EQ(StreamLengthInfo(engine, 0).text, "");
  EXPECT_EQ(StreamLengthInfo(engine, 0).seconds, 1.0);
  EXPECT_EQ(StreamPositionInfo(engine, 0).text, "");
  EXPECT_EQ(StreamPositionInfo(engine, 0).seconds, 0.0);

  EXPECT_EQ(StreamLengthInfo(engine, 7).text, "01:05");
  EXPECT_DOUBLE_EQ(StreamLengthInfo(engine, 7).seconds, 65.0);
  EXPECT_EQ(StreamPositionInfo(engine, 7).text, "00:05");
  EXPECT_NEAR(StreamPositionInfo(engine, 7).seconds, 5.0, 1e-4);

  file.lengthKnown = engine.positionKnown = false;
  EXPECT_EQ(StreamLengthInfo(engine, 7).text, "");
  EXPECT_EQ(StreamLengthInfo(engine, 7).seconds, 1.0);
  EXPECT_EQ(StreamPositionInfo(engine, 7).text, "");
  EXPECT_EQ(StreamPositionInfo(engine, 7).seconds, 0.0);

  // Not above 0 (an empty stream, the very start, a failed conversion).
  file.lengthKnown = engine.positionKnown = true;
  file.seconds = 0;
  engine.At(7, 0);
  EXPECT_EQ(StreamLengthInfo(engine, 7).seconds, 1.0);
  EXPECT_EQ(StreamPositionInfo(engine, 7).text, "");
  EXPECT_EQ(StreamPositionInfo(engine, 7).seconds, 0.0);
  file.seconds = 100 / 176400.0;
  engine.At(7, 100 / 176400.0);
  engine.secondsPerByte = -1;
  EXPECT_EQ(StreamLengthInfo(engine, 7).text, "");
  EXPECT_EQ(StreamLengthInfo(engine, 7).seconds, 1.0);
  EXPECT_EQ(StreamPositionInfo(engine, 7).seconds, 0.0);
  engine.secondsPerByte = std::nan("");
  EXPECT_EQ(StreamLengthInfo(engine, 7).seconds, 1.0);
  EXPECT_EQ(StreamPositionInfo(engine, 7).seconds, 0.0);
}

TEST(StreamInfo, RealStreamRightAfterItsStartShowsNoPosition) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  TempDir dir;
  testing::WriteSineWave(dir.File("a.wav"), 2.25);
  AudioEngine engine;
  ASSERT_TRUE(engine.Init(-1, 44100, 0));
  const Handle h = engine.StreamCreateFile(false, dir.File("a.wav"), 0, 0, 0);
  ASSERT_NE(h, 0u);
  EXPECT_EQ(StreamLengthInfo(engine, h).text, "00:02");
  EXPECT_DOUBLE_EQ(StreamLengthInfo(engine, h).seconds, 2.25);
  EXPECT_EQ(StreamPositionInfo(engine, h).text, "");
  EXPECT_EQ(StreamPositionInfo(engine, h).seconds, 0.0);
  ASSERT_TRUE(engine.ChannelSetPosition(h, engine.ChannelSeconds2Bytes(h, 1.5)));
  EXPECT_EQ(StreamPositionInfo(engine, h).text, "00:01");
  EXPECT_DOUBLE_EQ(StreamPositionInfo(engine, h).seconds, 1.5);
  // A freed handle: the fallbacks.
  engine.StreamFree(h);
  EXPECT_EQ(StreamLengthInfo(engine, h).seconds, 1.0);
  EXPECT_EQ(StreamPositionInfo(engine, h).text, "");
}

}  // namespace
}  // namespace quillet
