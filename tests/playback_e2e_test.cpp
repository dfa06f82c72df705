// The main window on the real engine (SDL's dummy driver): generated files are added, played,
// paused, sought and stopped, with the refresh tick called as the timer would.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <chrono>
#include <thread>

#include "audio/AudioEngine.h"
#include "player/TimeTexts.h"
#include "support/PlayRig.h"
#include "support/fixtures/AudioFixtures.h"

namespace quillet::testing {
namespace {

using Clock = std::chrono::steady_clock;

class EndToEnd : public ::testing::Test {
 protected:
  audio::AudioEngine engine;
  PlayRig rig{&engine};
  TfrmMain& w = rig.main();
  const PlayerSnapshot& s = rig.session().Snapshot();

  // Ticks every 50 ms for `ms`, or until `done` holds.
  template <typename Pred>
  bool TickUntil(int ms, Pred done) {
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < end) {
      QCoreApplication::processEvents();
      rig.Tick();
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return done();
  }
  double Position() { return StreamPositionInfo(engine, s.stream).seconds; }
};

TEST_F(EndToEnd, AddPlayPauseSeekStop) {
  QUILLET_SKIP_WITHOUT_LAME();
  const std::string mp3 = rig.File("first.mp3");
  const std::string wav = rig.File("second.wav");
  MakeMp3(mp3, Mp3Spec{.seconds = 4.0, .id3v1 = true, .artist = "Ann", .album = "Blue"});
  WriteSineWave(wav, 1.5);
  WriteBytes(rig.File("first.lrc"), "[ti:First]\n[00:01.00]one\n[00:02]two\n");
  w.List->AddTrackRow(mp3);
  w.List->AddTrackRow(wav);
  ASSERT_EQ(w.Player.List().Count(), 2);
  EXPECT_EQ(w.Player.List().Row(0).length, "00:04");
  EXPECT_EQ(w.Player.List().Row(1).length, "00:01");

  rig.Select({0}, 0);
  w.Transport->btnPlayClick();
  ASSERT_TRUE(rig.dialogs.messages.empty()) << rig.dialogs.messages[0].text.toStdString();
  EXPECT_EQ(s.state, psPlaying);
  EXPECT_EQ(rig.Panel(), "标题：First    ");
  ASSERT_TRUE(TickUntil(4000, [&] { return Position() >= 1.1; }));
  // The last tick showed a position of at least a second and the length.
  EXPECT_EQ(rig.Progress().rfind("=·=播放进度=·=00:0", 0), 0u) << rig.Progress();
  EXPECT_NE(rig.Progress(), "=·=播放进度=·==·=00:04");
  const std::string tail = "=·=00:04";
  EXPECT_EQ(rig.Progress().substr(rig.Progress().size() - tail.size()), tail);
  EXPECT_TRUE(rig.Panel() == "one" || rig.Panel() == "two") << rig.Panel();

  w.Transport->btnPauseClick();
  const double paused = Position();
  TickUntil(300, [] { return false; });
  EXPECT_EQ(s.state, psPaused);
  EXPECT_NEAR(Position(), paused, 0.05);

  // Seek back to second 0 while paused: playback resumes from there.
  w.Transport->tbPlayProgressMouseDown();
  w.tbPlayProgress->SetPosition(0);
  EXPECT_EQ(rig.Progress(), "=·=播放进度=·=00:00=·=00:04");
  w.Transport->tbPlayProgressMouseUp();
  EXPECT_EQ(s.state, psPlaying);
  EXPECT_LT(Position(), 0.5);
  ASSERT_TRUE(TickUntil(3000, [&] { return Position() >= 0.3; }));

  w.Transport->btnStopClick();
  EXPECT_EQ(s.state, psStopped);
  EXPECT_EQ(s.stream, 0u);

  // The second file plays to its end; the tick notices and shows the placeholder.
  rig.Select({1}, 1);
  rig.Tick();
  w.Transport->btnPlayClick();
  EXPECT_EQ(rig.Panel(), "歌曲：second.wav    歌手：    专辑：");
  ASSERT_TRUE(TickUntil(6000, [&] { return s.state == psStopped; }));
  EXPECT_EQ(rig.Panel(), "歌词显示区...");
  EXPECT_NE(s.stream, 0u);  // held until the next start
  EXPECT_TRUE(rig.dialogs.messages.empty());
}

}  // namespace
}  // namespace quillet::testing
