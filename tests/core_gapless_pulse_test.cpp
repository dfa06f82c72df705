// The player over the real engine and a private sound server: in list loop, two files cut from
// one tone are heard as one tone, the second queued behind the first, and each is announced as
// it is heard. Skipped when pulseaudio or its utilities are missing.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "audio/AudioEngine.h"
#include "player/PlaySession.h"
#include "support/fixtures/FileFixtures.h"
#include "support/fixtures/PulseFixtures.h"

namespace quillet {
namespace {

using namespace std::chrono_literals;

TEST(GaplessPlayer, TwoFilesCutFromOneTonePlayAsOneToneInListLoop) {
  testing::PrivatePulse pulse;
  std::string why;
  if (!pulse.Start(&why)) GTEST_SKIP() << why;
  testing::ScopedCurrentDir cwd(pulse.dir_.path());
  const std::string a = pulse.dir_.File("a.wav"), b = pulse.dir_.File("b.wav"),
                    quiet = pulse.dir_.File("quiet.wav");
  testing::WriteCutTone(a, b);
  // A silent third track ends what is heard where the second one ends.
  testing::WriteWave(quiet, {}, std::vector<float>(2 * testing::kPulseRate, 0.0f));

  audio::AudioEngine engine;
  PlayerShared shared;
  PlaySession player(shared, engine);
  player.Reset();
  ASSERT_FALSE(player.OpenDevice().has_value());
  player.MarkReady();
  for (const std::string& path : {a, b, quiet}) player.List().Append(player.List().Probe(path));
  player.List().SetSelection({0}, 0);

  pulse.StartRecording();
  player.SwitchLoopList();
  // Ticks as the refresh timer gives them, until the silent track is announced.
  std::vector<std::string> heard;
  for (int i = 0; i < 40 && (heard.empty() || heard.back() != quiet); ++i) {
    player.Tick();
    const auto& track = player.Snapshot().track;
    if (track && (heard.empty() || heard.back() != track->path)) heard.push_back(track->path);
    std::this_thread::sleep_for(150ms);
  }
  EXPECT_EQ(heard, (std::vector<std::string>{a, b, quiet}));
  EXPECT_LT(player.Snapshot().position, 0.5) << "the position shown is the new track's";
  player.Stop();
  const std::vector<float> rec = pulse.StopRecording();
  player.Shutdown();

  const auto runs = testing::SoundRuns(rec);
  ASSERT_EQ(runs.size(), 1u) << "a silence at the joint";
  const auto [from, to] = runs[0];
  EXPECT_NEAR(static_cast<double>(to - from) / testing::kPulseRate, 1.5, 0.005);
  EXPECT_LT(testing::LargestJump(rec, from, to), 0.04f) << "a jump at the joint";
}

}  // namespace
}  // namespace quillet
