// What actually reaches the device: SDL's disk driver records the output to a file, which must
// hold the file's samples exactly, scaled by the output volume.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <deque>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "audio/AudioEngine.h"
#include "support/fixtures/AudioFixtures.h"
#include "support/fixtures/FileFixtures.h"

namespace quillet::audio {
namespace {

using Clock = std::chrono::steady_clock;
using testing::TempDir;

class DiskTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", recording_.c_str(), 1);
    ASSERT_TRUE(engine_.Init(-1, 44100, 0)) << AudioEngine::ErrorGetCode();
  }
  void TearDown() override { unsetenv("SDL_DISKAUDIOFILE"); }

  // Plays a file to its end and returns the recording from its first sound on (stereo frames).
  std::vector<std::int16_t> PlayOut(const std::string& path, std::uint64_t seek_bytes = 0) {
    const Handle h = engine_.StreamCreateFile(false, path, 0, 0, 0);
    EXPECT_NE(h, 0u) << AudioEngine::ErrorGetCode();
    if (!h) return {};
    if (seek_bytes) {
      EXPECT_TRUE(engine_.ChannelSetPosition(h, seek_bytes));
    }
    EXPECT_TRUE(engine_.ChannelPlay(h, false));
    const auto limit = Clock::now() + std::chrono::seconds(20);
    while (engine_.ChannelIsActive(h) != 0 && Clock::now() < limit)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(engine_.ChannelIsActive(h), 0u);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // a little silence after
    engine_.StreamFree(h);
    EXPECT_TRUE(engine_.Free());
    std::vector<std::int16_t> rec = testing::ReadS16(recording_);
    std::size_t first = 0;
    while (first < rec.size() && rec[first] == 0) ++first;
    first -= first % 2;
    return std::vector<std::int16_t>(rec.begin() + static_cast<std::ptrdiff_t>(first), rec.end());
  }

  TempDir dir_;
  std::string recording_ = dir_.File("out.raw");
  AudioEngine engine_;
};

// Frames of sound in a recording: up to the last frame that is not silent.
std::size_t SoundingFrames(const std::vector<std::int16_t>& rec) {
  std::size_t end = rec.size();
  while (end > 0 && rec[end - 1] == 0) --end;
  return (end + 1) / 2;
}

TEST_F(DiskTest, StereoWaveComesBackSampleForSample) {
  const auto samples = testing::NoiseS16(13230, 2);  // 0.3 s
  testing::WriteWave16(dir_.File("a.wav"), 44100, 2, samples);
  const auto rec = PlayOut(dir_.File("a.wav"));
  ASSERT_GE(rec.size(), samples.size());
  for (std::size_t i = 0; i < samples.size(); ++i) ASSERT_EQ(rec[i], samples[i]) << "sample " << i;
  for (std::size_t i = samples.size(); i < rec.size(); ++i) ASSERT_EQ(rec[i], 0) << "sample " << i;
}

TEST_F(DiskTest, HalfVolumeIsHalfAmplitudePerChannel) {
  const auto samples = testing::NoiseS16(8820, 2);
  testing::WriteWave16(dir_.File("a.wav"), 44100, 2, samples);
  ASSERT_TRUE(engine_.SetVolume(0x8000u << 16 | 0x8000u));
  auto rec = PlayOut(dir_.File("a.wav"));
  ASSERT_GE(rec.size(), samples.size());
  for (std::size_t i = 0; i < samples.size(); ++i)
    ASSERT_NEAR(rec[i], samples[i] / 2.0, 1.0) << "sample " << i;

  // Left full, right silent.
  ASSERT_TRUE(engine_.Init(-1, 44100, 0));
  ASSERT_TRUE(engine_.SetVolume(0x0000FFFFu));
  rec = PlayOut(dir_.File("a.wav"));
  ASSERT_GE(rec.size(), samples.size());
  for (std::size_t i = 0; i < samples.size(); i += 2) {
    ASSERT_EQ(rec[i], samples[i]) << "frame " << i / 2;
    ASSERT_EQ(rec[i + 1], 0) << "frame " << i / 2;
  }
}

TEST_F(DiskTest, MonoGoesToBothSidesAndASeekStartsAtItsSample) {
  const auto samples = testing::NoiseS16(11025, 1);
  testing::WriteWave16(dir_.File("m.wav"), 44100, 1, samples);
  const auto rec = PlayOut(dir_.File("m.wav"), 1000 * 2);
  ASSERT_GE(rec.size(), 2 * (samples.size() - 1000));
  for (std::size_t i = 1000; i < samples.size(); ++i) {
    ASSERT_EQ(rec[2 * (i - 1000)], samples[i]) << "frame " << i;
    ASSERT_EQ(rec[2 * (i - 1000) + 1], samples[i]) << "frame " << i;
  }
}

TEST_F(DiskTest, OtherRatesAreResampledToTheDeviceRate) {
  // 0.25 s at 22050 Hz lasts 11025 device frames.
  testing::WriteSineWave(dir_.File("s.wav"), 0.25, {22050, 2, testing::WaveFormat::kPcm16}, 1000.0,
                         0.5);
  const auto rec = PlayOut(dir_.File("s.wav"));
  EXPECT_NEAR(static_cast<double>(SoundingFrames(rec)), 11025.0, 64.0);
  // Still a 1 kHz sine of the same amplitude: about 44.1 samples a period, peaks near 16384.
  std::int16_t peak = 0;
  int crossings = 0;
  for (std::size_t i = 2; i + 2 < 2 * 11025 - 400; i += 2) {
    peak = std::max<std::int16_t>(peak, rec[i]);
    if ((rec[i] < 0) != (rec[i + 2] < 0)) ++crossings;
  }
  EXPECT_NEAR(peak, 16384, 400);
  EXPECT_NEAR(crossings, 2 * 1000 * (11025 - 200) / 44100.0, 6);
}

TEST_F(DiskTest, Mp3PlaysEveryDecodedFrameIncludingTheLastBlock) {
  QUILLET_SKIP_WITHOUT_LAME();
  testing::Mp3Spec fmt;
  fmt.seconds = 0.501;  // ends well away from a zero crossing
  const std::uint64_t frames = testing::MakeMp3(dir_.File("a.mp3"), fmt);
  const auto rec = PlayOut(dir_.File("a.mp3"));
  // The sine ends loud, so the last sounding frame is the file's last.
  EXPECT_NEAR(static_cast<double>(SoundingFrames(rec)), static_cast<double>(frames), 2.0);
}

// The position reported is the one being heard: a frame handed to the device is heard one
// device buffer later. The driver here hands out a buffer every 200 ms and writes each to the
// recording right away, so a growing recording marks a hand-out. Just after it the position
// still stands where it stood before; a little later it has moved on by exactly that buffer.
TEST_F(DiskTest, ThePositionLagsTheHandOutByOneDeviceBuffer) {
  ASSERT_TRUE(engine_.Free());
  setenv("SDL_DISKAUDIODELAY", "200", 1);
  const bool reopened = engine_.Init(-1, 44100, 0);
  unsetenv("SDL_DISKAUDIODELAY");
  ASSERT_TRUE(reopened) << AudioEngine::ErrorGetCode();
  testing::WriteWave16(dir_.File("a.wav"), 44100, 2, testing::NoiseS16(44100, 2));
  const Handle h = engine_.StreamCreateFile(false, dir_.File("a.wav"), 0, 0, 0);
  ASSERT_NE(h, 0u) << AudioEngine::ErrorGetCode();
  ASSERT_TRUE(engine_.ChannelPlay(h, false));
  const std::uint64_t buffer = 1024 * 4;  // device frames of one hand-out, in stream bytes

  auto recorded = [&] {
    struct stat st {};
    return ::stat(recording_.c_str(), &st) == 0 ? st.st_size : -1;
  };
  using std::chrono::milliseconds;
  struct Sample {
    Clock::time_point at;
    std::uint64_t pos;
  };
  std::deque<Sample> history;
  auto recordedSize = recorded();
  // The hand-out being watched: when its bytes appeared, the position before it, and what has
  // been seen since.
  Clock::time_point grew;
  std::optional<std::uint64_t> before;
  bool stillBefore = false, oneBufferOn = false;
  int watched = 0, lagging = 0;
  const auto limit = Clock::now() + std::chrono::seconds(6);
  while (lagging < 2 && Clock::now() < limit) {
    const Clock::time_point now = Clock::now();
    const std::uint64_t pos = engine_.ChannelGetPosition(h);
    const auto size = recorded();
    if (size != recordedSize) {
      recordedSize = size;
      if (before) {
        ++watched;
        if (stillBefore && oneBufferOn) ++lagging;
      }
      // Well before the hand-out, the position of the one before it, which must be playing.
      before.reset();
      for (auto it = history.rbegin(); it != history.rend(); ++it) {
        if (it->at <= now - milliseconds(5)) {
          if (it->pos > 0) before = it->pos;
          break;
        }
      }
      grew = now;
      stillBefore = oneBufferOn = false;
    } else if (before) {
      if (now >= grew + milliseconds(3) && now <= grew + milliseconds(12) && pos == *before) {
        stillBefore = true;
      }
      if (now >= grew + milliseconds(60) && now <= grew + milliseconds(150) &&
          pos == *before + buffer) {
        oneBufferOn = true;
      }
    }
    history.push_back({now, pos});
    if (history.size() > 500) history.pop_front();
    std::this_thread::sleep_for(milliseconds(1));
  }
  EXPECT_GE(lagging, 1) << "of " << watched << " hand-outs watched";
  EXPECT_NE(engine_.ChannelIsActive(h), 0u);
}

}  // namespace
}  // namespace quillet::audio
