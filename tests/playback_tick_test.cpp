// Playing, the refresh tick, the seek bar and the volume bar as the main window shows and
// drives them, on a scripted engine with ticks called by the test: the boxes, the progress
// display, the buttons, the timer and what the bars call. What the player decides is tested on
// the player alone (core_playertick_test).
#include <gtest/gtest.h>

#include "support/PlayRig.h"

namespace quillet::testing {
namespace {

class PlaybackTest : public ::testing::Test {
 protected:
  PlayRig rig;
  TfrmMain& w = rig.main();
  ScriptedEngine& eng = rig.engine();
  const PlayerSnapshot& s = rig.session().Snapshot();

  // Three tracks in the list, the first selected.
  void ThreeTracks() {
    rig.AddTrack(rig.File("a.mp3"));
    rig.AddTrack(rig.File("b.mp3"));
    rig.AddTrack(rig.File("c.mp3"));
    rig.Select({0}, 0);
  }
};

TEST_F(PlaybackTest, AFileThatCannotBeOpenedShowsTheStreamBoxWithTheCode) {
  rig.AddRow(rig.File("missing.mp3"));
  rig.Select({0}, 0);
  w.Transport->btnPlayClick();
  ASSERT_EQ(rig.dialogs.messages.size(), 1u);
  const auto& m = rig.dialogs.messages[0];
  EXPECT_EQ(m.title.toStdString(), "Quillet");
  EXPECT_EQ(m.text.toStdString(), "不支持的文件格式：创建数据流时出现错误！\r\n（错误码： 2）");
  EXPECT_EQ(m.icon, Dialogs::Icon::Information);
}

// The caption and the seek bar show what the tick read; a stopped player leaves the bar's range.
TEST_F(PlaybackTest, TheProgressDisplayShowsTheTick) {
  rig.AddTrack(rig.File("d.mp3"), 187.5);
  rig.Select({0}, 0);
  w.Transport->btnPlayClick();
  eng.At(rig.Current(), 65.5);
  rig.Tick();
  EXPECT_EQ(rig.Progress(), "=·=播放进度=·=01:05=·=03:07");
  EXPECT_EQ(w.tbPlayProgress->Max(), 188);
  EXPECT_EQ(w.tbPlayProgress->Position(), 66);
  w.Transport->btnStopClick();
  rig.Tick();
  EXPECT_EQ(rig.Progress(), "=·=播放进度=·=00:00=·=03:00");
  EXPECT_EQ(w.tbPlayProgress->Position(), 0);
  EXPECT_EQ(w.tbPlayProgress->Max(), 188);
}

TEST_F(PlaybackTest, TheButtonsAndTheContextMenuShowTheTransportCommands) {
  ThreeTracks();
  auto buttons = [&] {
    return std::string() + (w.btnPrev->isEnabled() ? "P" : "-") +
           (w.btnPlay->isEnabled() ? "p" : "-") + (w.btnPause->isEnabled() ? "z" : "-") +
           (w.btnStop->isEnabled() ? "s" : "-") + (w.btnNext->isEnabled() ? "N" : "-");
  };
  rig.Tick();
  EXPECT_EQ(buttons(), "-p---");
  rig.Select({1}, 1);
  w.Transport->btnPlayClick();
  rig.Tick();
  EXPECT_EQ(buttons(), "P-zsN");
  w.Modes->PopupMenuContrlsPopup();
  EXPECT_TRUE(w.ItemPrev->isEnabled());
  EXPECT_FALSE(w.ItemPlay->isEnabled());
  EXPECT_TRUE(w.ItemPause->isEnabled());
  EXPECT_TRUE(w.ItemStop->isEnabled());
  EXPECT_TRUE(w.ItemNext->isEnabled());
  w.Transport->btnPauseClick();
  rig.Tick();
  EXPECT_EQ(buttons(), "-p-s-");
}

TEST_F(PlaybackTest, TheSeekBarHoldsTheTimerPreviewsAndSeeksOnRelease) {
  WriteBytes(rig.File("song.lrc"), "[00:12.00]Twelve\n");
  rig.AddTrack(rig.File("song.mp3"), 30);
  rig.Select({0}, 0);
  w.Transport->btnPlayClick();
  const audio::Handle h = rig.Current();
  rig.Tick();
  w.ShowTimer->start();

  w.Transport->tbPlayProgressMouseDown();
  EXPECT_EQ(s.state, psSeeking);
  EXPECT_FALSE(w.ShowTimer->isActive());
  w.tbPlayProgress->SetPosition(12);  // the drag: previewed in caption and strip
  EXPECT_EQ(rig.Progress(), "=·=播放进度=·=00:12=·=00:30");
  EXPECT_EQ(rig.Panel(), "Twelve");
  w.tbPlayProgress->SetPosition(17);
  w.Transport->tbPlayProgressMouseUp();
  EXPECT_EQ(s.state, psPlaying);
  EXPECT_TRUE(w.ShowTimer->isActive());
  EXPECT_EQ(eng.Find(h)->pos, 17);
  w.ShowTimer->stop();
}

TEST_F(PlaybackTest, TheTicksOwnBarUpdatesNeverSeek) {
  rig.AddTrack(rig.File("song.mp3"), 30);
  rig.Select({0}, 0);
  w.Transport->btnPlayClick();
  eng.At(rig.Current(), 7);
  rig.Tick();
  EXPECT_EQ(w.tbPlayProgress->Position(), 7);
  EXPECT_EQ(eng.Count("seek"), 0);
  EXPECT_EQ(rig.Progress(), "=·=播放进度=·=00:07=·=00:30");
}

TEST_F(PlaybackTest, VolumeBarFollowsTheOutputAndOnlyTheUserWritesIt) {
  eng.volume = 20000u | (30000u << 16);
  rig.Tick();
  EXPECT_EQ(w.tbSetVolume->Position(), 30000);
  rig.Tick();
  w.tbSetVolume->SetPosition(12345);
  EXPECT_EQ(eng.setVolumeCalls, 0);  // neither a tick nor a change from code writes it
  EXPECT_EQ(eng.volume, 20000u | (30000u << 16));
  w.Transport->tbSetVolumeUserChange();
  EXPECT_EQ(eng.volume, 12345u | (12345u << 16));
}

TEST_F(PlaybackTest, ATickThatFailsIsReportedAndStillReArmsTheTimer) {
  eng.throwOnVolume = true;
  w.Transport->ShowTimerTimer();
  EXPECT_TRUE(w.ShowTimer->isActive());
  ASSERT_EQ(rig.dialogs.messages.size(), 1u);
  EXPECT_EQ(rig.dialogs.messages[0].title.toStdString(), "Quillet 06.12.15");
  EXPECT_EQ(rig.dialogs.messages[0].icon, Dialogs::Icon::Error);
  EXPECT_NE(rig.dialogs.messages[0].text.indexOf("scripted volume failure"), -1);
  w.ShowTimer->stop();
  eng.throwOnVolume = false;
  w.Transport->ShowTimerTimer();
  EXPECT_TRUE(w.ShowTimer->isActive());
  EXPECT_EQ(rig.dialogs.messages.size(), 1u);
  w.ShowTimer->stop();
}

TEST_F(PlaybackTest, AFailureTheTrackReportsShowsTheErrorBoxAndTheTimerRunsOn) {
  rig.AddTrack(rig.File("song.mp3"));
  rig.Select({0}, 0);
  WriteBytes(rig.File("cfrMsg"), "short");  // an unreadable settings file
  w.Modes->ItemLoopLstClick();
  w.Transport->ShowTimerTimer();
  EXPECT_TRUE(w.ShowTimer->isActive());
  EXPECT_EQ(s.state, psPlaying);
  ASSERT_EQ(rig.dialogs.messages.size(), 1u);
  EXPECT_EQ(rig.dialogs.messages[0].icon, Dialogs::Icon::Error);
  EXPECT_EQ(rig.dialogs.messages[0].title.toStdString(), "Quillet 06.12.15");
  w.ShowTimer->stop();
}

TEST_F(PlaybackTest, ExitFreesTheStreamAndTheEngineAndNoTickActsAfterIt) {
  ThreeTracks();
  w.Transport->btnPlayClick();
  const audio::Handle h = rig.Current();
  w.Tray->btnExitAppClick();
  EXPECT_EQ(eng.Find(h), nullptr);
  EXPECT_EQ(eng.calls.back(), "free-engine");
  EXPECT_FALSE(w.ShowTimer->isActive());
  eng.calls.clear();
  eng.volume = 1000;
  w.Transport->ShowTimerTimer();
  EXPECT_TRUE(eng.calls.empty());
  EXPECT_NE(w.tbSetVolume->Position(), 1000);
  EXPECT_FALSE(w.ShowTimer->isActive());
}

}  // namespace
}  // namespace quillet::testing
