// The engine's operations on SDL's dummy driver: device life cycle, handles, lengths and time
// conversions, and playback as the player sees it through position and activity.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <string>
#include <thread>

#include "audio/AudioEngine.h"
#include "support/fixtures/AudioFixtures.h"
#include "support/fixtures/FileFixtures.h"

namespace quillet::audio {
namespace {

using Clock = std::chrono::steady_clock;
using testing::TempDir;
using testing::WaveFormat;
using testing::WaveSpec;

// Restores an environment variable on destruction.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old, had_ = true;
    setenv(name, value, 1);
  }
  ~ScopedEnv() {
    if (had_)
      setenv(name_, old_.c_str(), 1);
    else
      unsetenv(name_);
  }

 private:
  const char* name_;
  std::string old_;
  bool had_ = false;
};

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(engine_.Init(-1, 44100, 0)) << AudioEngine::ErrorGetCode(); }

  Handle Open(const std::string& path) {
    const Handle h = engine_.StreamCreateFile(false, path, 0, 0, 0);
    EXPECT_NE(h, 0u) << path << " code " << AudioEngine::ErrorGetCode();
    return h;
  }

  double PositionSeconds(Handle h) {
    return engine_.ChannelBytes2Seconds(h, engine_.ChannelGetPosition(h));
  }

  // Polls until `done` holds or `limit` passes; a generous limit, never a measure of speed.
  template <typename F>
  bool WaitFor(F done, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto end = Clock::now() + limit;
    while (!done()) {
      if (Clock::now() > end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
  }

  ScopedEnv driver_{"SDL_AUDIODRIVER", "dummy"};
  TempDir dir_;
  AudioEngine engine_;
};

TEST(EngineLifeCycle, InitFreeAndTheirErrors) {
  ScopedEnv driver("SDL_AUDIODRIVER", "dummy");
  TempDir dir;
  testing::WriteSineWave(dir.File("a.wav"), 0.2);
  AudioEngine engine;
  EXPECT_FALSE(engine.Free());
  EXPECT_EQ(AudioEngine::ErrorGetCode(), kErrInit);
  EXPECT_EQ(engine.StreamCreateFile(false, dir.File("a.wav"), 0, 0, 0), 0u);
  EXPECT_EQ(AudioEngine::ErrorGetCode(), kErrInit);

  EXPECT_FALSE(engine.Init(99, 44100, 0));
  EXPECT_EQ(AudioEngine::ErrorGetCode(), kErrDevice);
  EXPECT_FALSE(engine.Init(0, 44100, 0));
  EXPECT_EQ(AudioEngine::ErrorGetCode(), kErrDevice);

  ASSERT_TRUE(engine.Init(-1, 44100, 0));
  EXPECT_EQ(AudioEngine::ErrorGetCode(), kOk);
  EXPECT_FALSE(engine.Init(-1, 44100, 0));
  EXPECT_EQ(AudioEngine::ErrorGetCode(), kErrAlready);

  // Free releases the device and every stream with it; the engine can start again.
  const Handle h = engine.StreamCreateFile(false, dir.File("a.wav"), 0, 0, 0);
  ASSERT_NE(h, 0u);
  ASSERT_TRUE(engine.ChannelPlay(h, false));
  EXPECT_TRUE(engine.Free());
  EXPECT_EQ(engine.ChannelIsActive(h), 0u);
  EXPECT_EQ(AudioEngine::ErrorGetCode(), kErrHandle);
  EXPECT_TRUE(engine.Init(-1, 44100, 0));
  EXPECT_TRUE(engine.Free());
}

TEST(EngineLifeCycle, NoSoundDriverFailsWithItsCodeAndTheEngineGoesOn) {
  ScopedEnv driver("SDL_AUDIODRIVER", "no-such-driver");
  AudioEngine engine;
  EXPECT_FALSE(engine.Init(-1, 44100, 0));
  const int code = AudioEngine::ErrorGetCode();
  EXPECT_TRUE(code == kErrDriver || code == kErrDevice) << code;
  // Without a device the program runs on: volume works, measuring files works, streams say why
  // they cannot start.
  EXPECT_TRUE(engine.SetVolume(0x12345678));
  EXPECT_EQ(engine.GetVolume(), 0x12345678u);
  EXPECT_EQ(engine.StreamCreateFile(false, "/nonexistent.mp3", 0, 0, 0), 0u);
  EXPECT_EQ(AudioEngine::ErrorGetCode(), kErrInit);
}

TEST(EngineLifeCycle, ErrorCodeBelongsToTheCallingThread) {
  AudioEngine engine;
  EXPECT_FALSE(engine.StreamFree(12345));
  ASSERT_EQ(AudioEngine::ErrorGetCode(), kErrHandle);
  int other = -99;
  std::thread([&] {
    AudioEngine::GetVersion();
    other = AudioEngine::ErrorGetCode();
  }).join();
  EXPECT_EQ(other, kOk);
  EXPECT_EQ(AudioEngine::ErrorGetCode(), kErrHandle);
}

TEST(EngineLifeCycle, VersionAndBackEndCheck) {
  EXPECT_EQ(AudioEngine::GetVersion(), kEngineVersion);
  std::string why = "untouched";
  EXPECT_TRUE(AudioEngine::BackEndVersionOk(&why)) << why;
}

TEST_F(EngineTest, HandlesAreNeverZeroNeverReusedAndStaleOnesAreHarmless) {
  testing::WriteSineWave(dir_.File("a.wav"), 0.2);
  const Handle a = Open(dir_.File("a.wav"));
  const Handle b = Open(dir_.File("a.wav"));
  EXPECT_NE(a, b);
  EXPECT_TRUE(engine_.StreamFree(a));
  const Handle c = Open(dir_.File("a.wav"));
  EXPECT_NE(c, a);
  EXPECT_NE(c, b);

  for (Handle h : {Handle{0}, a, Handle{0xFFFFFFFF}}) {
    SCOPED_TRACE(h);
    auto code = [] { return AudioEngine::ErrorGetCode(); };
    EXPECT_FALSE(engine_.StreamFree(h));
    EXPECT_EQ(code(), kErrHandle);
    EXPECT_FALSE(engine_.ChannelPlay(h, false));
    EXPECT_EQ(code(), kErrHandle);
    EXPECT_FALSE(engine_.ChannelPause(h));
    EXPECT_EQ(code(), kErrHandle);
    EXPECT_FALSE(engine_.ChannelStop(h));
    EXPECT_EQ(code(), kErrHandle);
    EXPECT_EQ(engine_.ChannelIsActive(h), 0u);
    EXPECT_EQ(code(), kErrHandle);
    EXPECT_EQ(engine_.ChannelGetLength(h), kNotAvailable);
    EXPECT_EQ(code(), kErrHandle);
    EXPECT_EQ(engine_.ChannelGetPosition(h), kNotAvailable);
    EXPECT_EQ(code(), kErrHandle);
    EXPECT_LT(engine_.ChannelBytes2Seconds(h, 4), 0.0);
    EXPECT_EQ(code(), kErrHandle);
    EXPECT_EQ(engine_.ChannelSeconds2Bytes(h, 1.0), kNotAvailable);
    EXPECT_EQ(code(), kErrHandle);
    EXPECT_FALSE(engine_.ChannelSetPosition(h, 0));
    EXPECT_EQ(code(), kErrHandle);
  }
}

TEST_F(EngineTest, BadFilesFailWithTheirCodes) {
  auto code_of = [&](const std::string& path) {
    EXPECT_EQ(engine_.StreamCreateFile(false, path, 0, 0, 0), 0u) << path;
    return AudioEngine::ErrorGetCode();
  };
  EXPECT_EQ(code_of(dir_.File("missing.wav")), kErrFileOpen);
  testing::MakeDir(dir_.File("folder"));
  EXPECT_EQ(code_of(dir_.File("folder")), kErrFileOpen);
  testing::WriteBytes(dir_.File("text.mp3"), "[00:01.00]just a lyric line\r\n");
  EXPECT_EQ(code_of(dir_.File("text.mp3")), kErrFileFormat);
  testing::WriteBytes(dir_.File("zero.wav"), "");
  EXPECT_EQ(code_of(dir_.File("zero.wav")), kErrFileFormat);
  testing::WriteWave(dir_.File("nosamples.wav"), WaveSpec{}, {});
  EXPECT_EQ(code_of(dir_.File("nosamples.wav")), kErrFileFormat);
  if (testing::LameAvailable()) {
    testing::MakeMp3(dir_.File("short.mp3"));
    testing::TruncateFile(dir_.File("short.mp3"), 200);
    EXPECT_EQ(code_of(dir_.File("short.mp3")), kErrFileFormat);
  }
  testing::WriteSineWave(dir_.File("ok.wav"), 0.1);
  EXPECT_EQ(engine_.StreamCreateFile(false, dir_.File("ok.wav"), 0, 0, 1), 0u);
  EXPECT_EQ(AudioEngine::ErrorGetCode(), kErrIllegalParam);
  EXPECT_EQ(engine_.StreamCreateFile(false, dir_.File("ok.wav"), 1u << 30, 0, 0), 0u);
  EXPECT_EQ(AudioEngine::ErrorGetCode(), kErrIllegalParam);
}

TEST_F(EngineTest, LengthsAreStreamBytesAndConversionsAreExactInverses) {
  testing::WriteSineWave(dir_.File("stereo.wav"), 1.0);
  testing::WriteSineWave(dir_.File("mono8.wav"), 1.5, WaveSpec{22050, 1, WaveFormat::kPcm8});
  testing::WriteSineWave(dir_.File("odd.wav"), 0.5, WaveSpec{11025, 2, WaveFormat::kPcm24});
  const Handle stereo = Open(dir_.File("stereo.wav"));
  const Handle mono = Open(dir_.File("mono8.wav"));
  const Handle odd = Open(dir_.File("odd.wav"));
  // Frames x channels x 2, whatever the file's sample size.
  EXPECT_EQ(engine_.ChannelGetLength(stereo), 44100u * 4);
  EXPECT_EQ(engine_.ChannelGetLength(mono), 33075u * 2);
  EXPECT_EQ(engine_.ChannelGetLength(odd), 5513u * 4);  // 0.5 s of 11025 Hz, rounded
  EXPECT_DOUBLE_EQ(engine_.ChannelBytes2Seconds(stereo, engine_.ChannelGetLength(stereo)), 1.0);
  EXPECT_DOUBLE_EQ(engine_.ChannelBytes2Seconds(mono, engine_.ChannelGetLength(mono)), 1.5);
  EXPECT_EQ(engine_.ChannelSeconds2Bytes(mono, 1.0), 22050u * 2);
  // Part of a frame rounds down to the frame.
  EXPECT_EQ(engine_.ChannelSeconds2Bytes(odd, 0.5 / 11025), 0u);

  for (Handle h : {stereo, mono, odd}) {
    const std::uint64_t frame_bytes = h == mono ? 2 : 4;
    for (std::uint64_t frame = 0; frame < 300000; frame += 997) {
      const double s = engine_.ChannelBytes2Seconds(h, frame * frame_bytes);
      ASSERT_EQ(engine_.ChannelSeconds2Bytes(h, s), frame * frame_bytes) << frame;
      // and as the 32-bit float the player keeps times in, within a frame
      const double back =
          static_cast<double>(engine_.ChannelSeconds2Bytes(h, static_cast<float>(s)) / frame_bytes);
      ASSERT_NEAR(back, static_cast<double>(frame), 1.0) << frame;
    }
  }
  EXPECT_EQ(engine_.ChannelSeconds2Bytes(stereo, -1.0), kNotAvailable);
  EXPECT_EQ(AudioEngine::ErrorGetCode(), kErrIllegalParam);
  EXPECT_EQ(engine_.ChannelSeconds2Bytes(stereo, std::nan("")), kNotAvailable);
  EXPECT_EQ(AudioEngine::ErrorGetCode(), kErrIllegalParam);
}

TEST_F(EngineTest, PositionFollowsPlayingHoldsWhilePausedAndTheEndStopsTheStream) {
  testing::WriteSineWave(dir_.File("a.wav"), 1.0);
  const Handle h = Open(dir_.File("a.wav"));
  EXPECT_EQ(engine_.ChannelIsActive(h), 0u);  // never played
  EXPECT_EQ(engine_.ChannelGetPosition(h), 0u);
  EXPECT_FALSE(engine_.ChannelPause(h));
  EXPECT_EQ(AudioEngine::ErrorGetCode(), kErrNotPlaying);

  const auto started = Clock::now();
  ASSERT_TRUE(engine_.ChannelPlay(h, false));
  EXPECT_NE(engine_.ChannelIsActive(h), 0u);
  ASSERT_TRUE(WaitFor([&] { return PositionSeconds(h) >= 0.2; }));
  // What is heard cannot run ahead of the clock, however far decoding has got.
  const double heard = PositionSeconds(h);
  EXPECT_LE(heard, std::chrono::duration<double>(Clock::now() - started).count() + 0.01);

  ASSERT_TRUE(engine_.ChannelPause(h));
  EXPECT_EQ(engine_.ChannelIsActive(h), kPaused);
  EXPECT_FALSE(engine_.ChannelPause(h));
  EXPECT_EQ(AudioEngine::ErrorGetCode(), kErrAlready);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the device's buffer plays out
  const std::uint64_t paused_at = engine_.ChannelGetPosition(h);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(engine_.ChannelGetPosition(h), paused_at);
  EXPECT_GE(engine_.ChannelBytes2Seconds(h, paused_at), heard);

  ASSERT_TRUE(engine_.ChannelPlay(h, false));
  ASSERT_TRUE(WaitFor([&] { return engine_.ChannelGetPosition(h) > paused_at; }));
  ASSERT_TRUE(WaitFor([&] { return engine_.ChannelIsActive(h) == 0; }));
  EXPECT_EQ(engine_.ChannelGetPosition(h), engine_.ChannelGetLength(h));
  EXPECT_FALSE(engine_.ChannelPause(h));
  EXPECT_EQ(AudioEngine::ErrorGetCode(), kErrNotPlaying);

  // Played out: playing again starts from the beginning.
  ASSERT_TRUE(engine_.ChannelPlay(h, false));
  EXPECT_NE(engine_.ChannelIsActive(h), 0u);
  EXPECT_LT(PositionSeconds(h), 0.5);
  ASSERT_TRUE(WaitFor([&] { return PositionSeconds(h) > 0.05; }));
}

TEST_F(EngineTest, StopMakesInactiveAndPlayResumes) {
  testing::WriteSineWave(dir_.File("a.wav"), 2.0);
  const Handle h = Open(dir_.File("a.wav"));
  ASSERT_TRUE(engine_.ChannelPlay(h, false));
  ASSERT_TRUE(WaitFor([&] { return PositionSeconds(h) >= 0.1; }));
  ASSERT_TRUE(engine_.ChannelStop(h));
  EXPECT_EQ(engine_.ChannelIsActive(h), 0u);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const double stopped_at = PositionSeconds(h);
  EXPECT_GE(stopped_at, 0.1);
  ASSERT_TRUE(engine_.ChannelPlay(h, false));
  EXPECT_GE(PositionSeconds(h), stopped_at);
  ASSERT_TRUE(engine_.ChannelPlay(h, true));
  EXPECT_LT(PositionSeconds(h), stopped_at);
}

TEST_F(EngineTest, SeekLandsOnTheRequestedSecondAndPlaysOnFromThere) {
  testing::WriteSineWave(dir_.File("a.wav"), 3.0, WaveSpec{48000, 2, WaveFormat::kPcm16});
  const Handle h = Open(dir_.File("a.wav"));
  const std::uint64_t one = engine_.ChannelSeconds2Bytes(h, 1.0);
  EXPECT_EQ(one, 48000u * 4);
  ASSERT_TRUE(engine_.ChannelSetPosition(h, one));
  EXPECT_EQ(engine_.ChannelGetPosition(h), one);
  ASSERT_TRUE(engine_.ChannelPlay(h, false));
  ASSERT_TRUE(WaitFor([&] { return PositionSeconds(h) > 1.05; }));
  const std::uint64_t two = engine_.ChannelSeconds2Bytes(h, 2.0);
  ASSERT_TRUE(engine_.ChannelSetPosition(h, two + 3));  // inside a frame: that frame
  EXPECT_EQ(engine_.ChannelGetPosition(h), two);
  EXPECT_NE(engine_.ChannelIsActive(h), 0u);
  ASSERT_TRUE(WaitFor([&] { return PositionSeconds(h) > 2.05; }));

  EXPECT_FALSE(engine_.ChannelSetPosition(h, engine_.ChannelGetLength(h) + 4));
  EXPECT_EQ(AudioEngine::ErrorGetCode(), kErrPosition);
  // To the very end: the stream plays out at once.
  ASSERT_TRUE(engine_.ChannelSetPosition(h, engine_.ChannelGetLength(h)));
  ASSERT_TRUE(WaitFor([&] { return engine_.ChannelIsActive(h) == 0; }));
}

TEST_F(EngineTest, Mp3PlaysToItsEnd) {
  QUILLET_SKIP_WITHOUT_LAME();
  testing::Mp3Spec fmt;
  fmt.seconds = 0.6;
  fmt.rate = 22050;
  fmt.channels = 1;
  fmt.kind = testing::Mp3Kind::kVbrNoXing;
  testing::MakeMp3(dir_.File("a.mp3"), fmt);
  const Handle h = Open(dir_.File("a.mp3"));
  FileProbe probe;
  ASSERT_TRUE(AudioEngine::ProbeFile(dir_.File("a.mp3"), &probe));
  EXPECT_EQ(engine_.ChannelGetLength(h), probe.length);
  ASSERT_TRUE(engine_.ChannelPlay(h, false));
  ASSERT_TRUE(WaitFor([&] { return engine_.ChannelIsActive(h) == 0; }));
  EXPECT_EQ(engine_.ChannelGetPosition(h), probe.length);
}

TEST_F(EngineTest, StreamFromMemoryAndFromPartOfAFile) {
  testing::WriteSineWave(dir_.File("a.wav"), 0.5);
  std::string bytes;
  ASSERT_TRUE(testing::ReadBytes(dir_.File("a.wav"), &bytes));
  const Handle mem = engine_.StreamCreateFile(true, bytes, 0, 0, 0);
  ASSERT_NE(mem, 0u);
  EXPECT_EQ(engine_.ChannelGetLength(mem), 22050u * 4);
  // The same file behind 1000 bytes of something else.
  testing::WriteBytes(dir_.File("b.bin"), std::string(1000, 'z') + bytes + "trailer");
  const Handle part = engine_.StreamCreateFile(false, dir_.File("b.bin"), 1000, bytes.size(), 0);
  ASSERT_NE(part, 0u);
  EXPECT_EQ(engine_.ChannelGetLength(part), 22050u * 4);
}

TEST_F(EngineTest, RapidCommandsWhilePlayingNeitherHangNorLoseTheirPlace) {
  testing::WriteSineWave(dir_.File("a.wav"), 1.0, WaveSpec{32000, 1, WaveFormat::kFloat32});
  for (int round = 0; round < 3; ++round) {
    const Handle h = Open(dir_.File("a.wav"));
    ASSERT_TRUE(engine_.ChannelPlay(h, false));
    for (int i = 0; i < 200; ++i) {
      const std::uint64_t to = engine_.ChannelSeconds2Bytes(h, (i * 37 % 90) / 100.0);
      ASSERT_TRUE(engine_.ChannelSetPosition(h, to));
      ASSERT_EQ(engine_.ChannelGetPosition(h), to);
      if (i % 3 == 0) engine_.ChannelPause(h);
      if (i % 3 == 1) engine_.ChannelPlay(h, i % 2 == 0);
      if (i % 7 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_TRUE(engine_.ChannelPlay(h, false));
    ASSERT_TRUE(WaitFor([&] { return engine_.ChannelIsActive(h) == 0; }));
    EXPECT_EQ(engine_.ChannelGetPosition(h), engine_.ChannelGetLength(h));
    if (round < 2) {
      EXPECT_TRUE(engine_.StreamFree(h));  // the last one goes with the engine
    }
  }
}

TEST_F(EngineTest, VolumeStartsFullAndIsKeptPerChannel) {
  EXPECT_EQ(engine_.GetVolume(), 0xFFFFFFFFu);
  EXPECT_TRUE(engine_.SetVolume(0x00008000));
  EXPECT_EQ(engine_.GetVolume(), 0x00008000u);
}

}  // namespace
}  // namespace quillet::audio
