// The engine through a real sound server: the test starts a private PulseAudio with a null sink
// in a temporary folder and records the sink's monitor with parec, so what is checked is what a
// listener would hear. Skipped only when pulseaudio or parec is missing or does not come up.
// Every wait is bounded; nothing here measures speed.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "audio/AudioEngine.h"
#include "support/fixtures/AudioFixtures.h"
#include "support/fixtures/FileFixtures.h"
#include "support/fixtures/PulseFixtures.h"

namespace quillet::audio {
namespace {

using std::chrono::milliseconds;
using testing::Frequency;
using testing::LargestJump;
using testing::Mapped;
using testing::PrivatePulse;
using testing::SoundRuns;
using testing::WaitFor;

constexpr int kRate = testing::kPulseRate;

class PulseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    if (!pulse_.Start(&why)) GTEST_SKIP() << why;
    ASSERT_TRUE(engine_.Init(-1, kRate, 0)) << AudioEngine::ErrorGetCode();
  }

  Handle Tone(double seconds, double freq = 1000) {
    const std::string path = pulse_.dir_.File("tone" + std::to_string(n_++) + ".wav");
    testing::WriteSineWave(path, seconds, {}, freq, 0.5);
    const Handle h = engine_.StreamCreateFile(false, path, 0, 0, 0);
    EXPECT_NE(h, 0u) << AudioEngine::ErrorGetCode();
    return h;
  }
  double Seconds(Handle h) {
    return engine_.ChannelBytes2Seconds(h, engine_.ChannelGetPosition(h));
  }

  PrivatePulse pulse_;
  AudioEngine engine_;
  int n_ = 0;
};

TEST_F(PulseTest, ToneComesOutWholeAtItsFrequencyUnderTheProgramsName) {
  pulse_.StartRecording();
  const Handle h = Tone(1.5);
  ASSERT_TRUE(engine_.ChannelPlay(h, false));
  std::this_thread::sleep_for(milliseconds(400));
  // The mixer shows the program by name, as music.
  const std::string inputs = pulse_.Run("pactl list sink-inputs 2>/dev/null");
  EXPECT_NE(inputs.find("application.name = \"Quillet\""), std::string::npos) << inputs;
  EXPECT_NE(inputs.find("media.role = \"music\""), std::string::npos) << inputs;
  const double at = Seconds(h);
  EXPECT_GT(at, 0.1);
  EXPECT_LT(at, 1.5);
  ASSERT_TRUE(WaitFor([&] { return engine_.ChannelIsActive(h) == kStopped; }));
  EXPECT_EQ(AudioEngine::ErrorGetCode(), kOk);
  EXPECT_NEAR(Seconds(h), 1.5, 1e-6);

  const std::vector<float> rec = pulse_.StopRecording();
  const auto runs = SoundRuns(rec);
  ASSERT_EQ(runs.size(), 1u) << "the tone was cut into pieces";
  const auto [from, to] = runs[0];
  EXPECT_NEAR(static_cast<double>(to - from) / kRate, 1.5, 0.005);
  EXPECT_NEAR(Frequency(rec, from, to), 1000.0, 1.0);
  EXPECT_LT(LargestJump(rec, from, to), 0.08f) << "a dropout or a repeated block";
}

TEST_F(PulseTest, PauseSilencesAndPlayGoesOnWhereItHeldSeekIsHeardFromTheNewPlace) {
  pulse_.StartRecording();
  // 500 Hz for the first two seconds, 1500 Hz after: what is heard tells where it plays from.
  const std::string path = pulse_.dir_.File("two.wav");
  std::vector<float> samples = testing::Sine(2 * kRate, 2, kRate, 500, 0.5);
  const std::vector<float> high = testing::Sine(2 * kRate, 2, kRate, 1500, 0.5);
  samples.insert(samples.end(), high.begin(), high.end());
  testing::WriteWave(path, {}, samples);
  const Handle h = engine_.StreamCreateFile(false, path, 0, 0, 0);
  ASSERT_NE(h, 0u);
  ASSERT_TRUE(engine_.ChannelPlay(h, false));
  std::this_thread::sleep_for(milliseconds(500));
  ASSERT_TRUE(engine_.ChannelPause(h));
  const double held = Seconds(h);
  std::this_thread::sleep_for(milliseconds(600));
  EXPECT_EQ(Seconds(h), held) << "the position moved while paused";
  EXPECT_EQ(engine_.ChannelIsActive(h), kPaused);
  // Half the volume: heard at once, also in what the server already holds.
  ASSERT_TRUE(engine_.SetVolume(0x80008000u));
  ASSERT_TRUE(engine_.ChannelPlay(h, false));
  std::this_thread::sleep_for(milliseconds(500));
  // Into the high half, 0.5 s before its end.
  ASSERT_TRUE(engine_.ChannelSetPosition(h, engine_.ChannelSeconds2Bytes(h, 3.5)));
  ASSERT_TRUE(WaitFor([&] { return engine_.ChannelIsActive(h) == kStopped; }));
  const std::vector<float> rec = pulse_.StopRecording();

  // A seek may leave a short silence while the new place is decoded; it is heard within 0.1 s.
  const auto runs = SoundRuns(rec, kRate / 10);
  ASSERT_EQ(runs.size(), 2u) << "expected sound, the pause's silence, sound";
  const double silence = static_cast<double>(runs[1].first - runs[0].second) / kRate;
  EXPECT_GT(silence, 0.45) << "the pause did not silence the output";
  EXPECT_LT(silence, 2.0);
  // Before the pause: 500 Hz, as long as the position said had been heard.
  EXPECT_NEAR(Frequency(rec, runs[0].first, runs[0].second), 500.0, 1.5);
  EXPECT_NEAR(static_cast<double>(runs[0].second - runs[0].first) / kRate, held, 0.03);
  EXPECT_LT(LargestJump(rec, runs[0].first + 64, runs[0].second - 64), 0.05f);
  // After it, the 500 Hz tone goes on from where it held, then the seek's 1500 Hz, 0.5 s long.
  const auto [from, to] = runs[1];
  const std::size_t tail = static_cast<std::size_t>(0.5 * kRate);
  ASSERT_GT(to - from, tail + kRate / 10);
  EXPECT_NEAR(Frequency(rec, from, to - tail - kRate / 50), 500.0, 1.5);
  float peak = 0;
  for (std::size_t i = from; i < from + kRate / 5; ++i) peak = std::max(peak, std::fabs(rec[i]));
  EXPECT_NEAR(peak, 0.25, 0.01) << "the volume was not applied to the buffered sound";
  EXPECT_NEAR(Frequency(rec, to - tail + kRate / 50, to), 1500.0, 3.0);
}

TEST_F(PulseTest, ServerKilledMidTrackStopsTheStreamWithItsCodeAndTheNextPlayWorksAgain) {
  const Handle h = Tone(20);
  ASSERT_TRUE(engine_.ChannelPlay(h, false));
  std::this_thread::sleep_for(milliseconds(300));
  pulse_.Kill();
  // The stream stops and says why; nothing hangs.
  ASSERT_TRUE(WaitFor([&] { return engine_.ChannelIsActive(h) == kStopped; }, milliseconds(5000)));
  EXPECT_EQ(AudioEngine::ErrorGetCode(), kErrDevice);
  const double at = Seconds(h);
  EXPECT_GE(at, 0.0);
  EXPECT_LT(at, 10.0);
  EXPECT_FALSE(engine_.ChannelPlay(h, false));
  EXPECT_EQ(AudioEngine::ErrorGetCode(), kErrDevice);
  EXPECT_TRUE(engine_.ChannelSetPosition(h, 0));
  const std::string path = pulse_.dir_.File("short.wav");
  testing::WriteSineWave(path, 1.0);
  EXPECT_EQ(engine_.StreamCreateFile(false, path, 0, 0, 0), 0u);
  EXPECT_EQ(AudioEngine::ErrorGetCode(), kErrDevice);

  // With the server back, the next stream plays.
  std::string why;
  ASSERT_TRUE(pulse_.Start(&why)) << why;
  const Handle again = Tone(2);
  ASSERT_NE(again, 0u);
  ASSERT_TRUE(engine_.ChannelPlay(again, false));
  EXPECT_TRUE(WaitFor([&] { return Seconds(again) > 0.3; }));
  EXPECT_EQ(engine_.ChannelIsActive(again), kPlaying);
  EXPECT_TRUE(engine_.StreamFree(h));
  EXPECT_TRUE(engine_.Free());
}

TEST_F(PulseTest, SdlIsLoadedOnlyToResampleAFileAtAnotherRate) {
  // At the output's rate through the server, SDL (and the display and ALSA libraries it brings)
  // stays out of the process.
  const Handle same = Tone(0.3);
  ASSERT_TRUE(engine_.ChannelPlay(same, false));
  ASSERT_TRUE(WaitFor([&] { return engine_.ChannelIsActive(same) == kStopped; }));
  EXPECT_FALSE(Mapped("libSDL2")) << "SDL was loaded without being needed";

  // A 48 kHz file is resampled: heard at its own pitch and length.
  pulse_.StartRecording();
  const std::string path = pulse_.dir_.File("tone48k.wav");
  testing::WriteSineWave(path, 1.0, {48000, 2}, 1000, 0.5);
  const Handle other = engine_.StreamCreateFile(false, path, 0, 0, 0);
  ASSERT_NE(other, 0u) << AudioEngine::ErrorGetCode();
  EXPECT_TRUE(Mapped("libSDL2"));
  ASSERT_TRUE(engine_.ChannelPlay(other, false));
  ASSERT_TRUE(WaitFor([&] { return engine_.ChannelIsActive(other) == kStopped; }));
  EXPECT_NEAR(Seconds(other), 1.0, 1e-6);
  const std::vector<float> rec = pulse_.StopRecording();
  const auto runs = SoundRuns(rec);
  ASSERT_EQ(runs.size(), 1u);
  const auto [from, to] = runs[0];
  EXPECT_NEAR(static_cast<double>(to - from) / kRate, 1.0, 0.005);
  EXPECT_NEAR(Frequency(rec, from, to), 1000.0, 1.0);
}

// One 440 Hz tone cut at a sample boundary into two files, played with the second queued behind
// the first: the listener hears one tone, without a silence or a jump at the joint. As WAVE
// files and as MP3s from lame (whose encoder delay and padding must not be played).
TEST_F(PulseTest, TwoFilesCutFromOneTonePlayAsOneToneWithTheQueue) {
  for (const bool mp3 : {false, true}) {
    SCOPED_TRACE(mp3 ? "LAME MP3 pair" : "WAVE pair");
    if (mp3 && !testing::LameAvailable()) continue;
    std::string a = pulse_.dir_.File("a.wav"), b = pulse_.dir_.File("b.wav");
    testing::WriteCutTone(a, b);
    if (mp3) {
      for (std::string* p : {&a, &b}) {
        const std::string out = *p + ".mp3";
        ASSERT_EQ(std::system(("lame --quiet --noreplaygain --cbr -b 192 '" + *p + "' '" + out +
                               "' </dev/null")
                                  .c_str()),
                  0);
        *p = out;
      }
    }
    pulse_.StartRecording();
    const Handle ha = engine_.StreamCreateFile(false, a, 0, 0, 0);
    const Handle hb = engine_.StreamCreateFile(false, b, 0, 0, 0);
    ASSERT_NE(ha, 0u);
    ASSERT_NE(hb, 0u);
    ASSERT_TRUE(engine_.ChannelPlay(ha, false));
    ASSERT_TRUE(engine_.ChannelQueue(ha, hb));
    ASSERT_TRUE(WaitFor([&] { return engine_.ChannelIsActive(ha) == kStopped; }));
    EXPECT_EQ(engine_.ChannelIsActive(hb), kPlaying);
    EXPECT_LT(Seconds(hb), 0.2) << "the second track's position is not its own";
    ASSERT_TRUE(WaitFor([&] { return engine_.ChannelIsActive(hb) == kStopped; }));
    const std::vector<float> rec = pulse_.StopRecording();
    engine_.StreamFree(ha);
    engine_.StreamFree(hb);

    const auto runs = SoundRuns(rec);
    ASSERT_EQ(runs.size(), 1u) << "a silence at the joint";
    const auto [from, to] = runs[0];
    EXPECT_NEAR(static_cast<double>(to - from) / kRate, 1.5, 0.005);
    EXPECT_NEAR(Frequency(rec, from, to), 440.0, 0.5);
    // A clean 440 Hz sine at 0.5 moves at most 0.031 per sample; the coding noise lame leaves
    // where a file ends adds a few hundredths. A frame dropped or doubled moves far more.
    EXPECT_LT(LargestJump(rec, from, to), mp3 ? 0.15f : 0.04f) << "a jump at the joint";
  }
}

// The old sound ends within 100 ms of a seek, although the server held a quarter of a second of
// it: the seek replaces what the server holds rather than queueing behind it.
TEST_F(PulseTest, TheOldPlaceIsHeardNoLongerThanATenthOfASecondAfterASeek) {
  pulse_.StartRecording();
  // Loud for the first two seconds, quiet after: what is heard tells where it plays from.
  const std::string path = pulse_.dir_.File("loudquiet.wav");
  std::vector<float> samples = testing::Sine(4 * kRate, 2, kRate, 1000, 0.5);
  for (std::size_t i = 4 * kRate; i < samples.size(); ++i) samples[i] *= 0.3f;
  testing::WriteWave(path, {}, samples);
  const Handle h = engine_.StreamCreateFile(false, path, 0, 0, 0);
  ASSERT_NE(h, 0u);
  ASSERT_TRUE(engine_.ChannelPlay(h, false));
  std::this_thread::sleep_for(milliseconds(700));
  const double at = Seconds(h);
  ASSERT_TRUE(engine_.ChannelSetPosition(h, engine_.ChannelSeconds2Bytes(h, 3.0)));
  std::this_thread::sleep_for(milliseconds(400));
  ASSERT_TRUE(engine_.ChannelStop(h));
  const std::vector<float> rec = pulse_.StopRecording();

  // The loud part began with the first sound and lasted for what the position said had been
  // heard at the seek, plus how long the old sound went on after it.
  const auto runs = SoundRuns(rec, kRate / 10);
  ASSERT_FALSE(runs.empty());
  std::size_t last_loud = runs[0].first;
  for (std::size_t i = runs[0].first; i < rec.size(); ++i)
    if (std::fabs(rec[i]) > 0.3f) last_loud = i;
  const double after = static_cast<double>(last_loud - runs[0].first) / kRate - at;
  EXPECT_LT(after, 0.1) << "the old place was heard " << after * 1000 << " ms after the seek";
  EXPECT_GT(after, -0.03);
  // And the new place was heard after it.
  float quiet = 0;
  for (std::size_t i = last_loud + kRate / 20; i < last_loud + kRate / 5; ++i)
    quiet = std::max(quiet, std::fabs(rec[i]));
  EXPECT_NEAR(quiet, 0.15f, 0.01f) << "the seek's new place was not heard";
}

}  // namespace
}  // namespace quillet::audio
