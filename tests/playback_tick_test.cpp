// Playing, pausing and stopping, the refresh tick, the seek bar and the volume bar, driven
// through the main window on a scripted engine with ticks called by the test.
#include <gtest/gtest.h>

#include "playlist/Settings.h"
#include "support/PlayRig.h"

namespace quillet::testing {
namespace {

const char* const kPlaceholder = "歌词显示区...";

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
  void WriteLyric(const std::string& name, const std::string& text) {
    WriteBytes(rig.File(name), text);
  }
};

TEST_F(PlaybackTest, PlayPauseResumeStopFollowTheStateTable) {
  ThreeTracks();
  w.Transport->btnPlayClick();
  EXPECT_EQ(s.state, psPlaying);
  const audio::Handle h = rig.Current();
  ASSERT_NE(h, 0u);
  EXPECT_EQ(eng.Find(h)->path, rig.File("a.mp3"));
  EXPECT_EQ(eng.Find(h)->st, ScriptedEngine::St::Playing);

  eng.At(h, 42);
  w.Transport->btnPauseClick();
  EXPECT_EQ(s.state, psPaused);
  w.Transport->btnPlayClick();  // resumes the same stream where it was
  EXPECT_EQ(s.state, psPlaying);
  EXPECT_EQ(rig.Current(), h);
  EXPECT_EQ(eng.Find(h)->pos, 42);
  EXPECT_EQ(eng.Count("create"), 1);

  // Pause from any state with a stream; play with a paused track but no row selected: nothing.
  w.Transport->btnPauseClick();
  rig.Select({});
  w.Transport->btnPlayClick();
  EXPECT_EQ(s.state, psPaused);

  w.Transport->btnStopClick();
  EXPECT_EQ(s.state, psStopped);
  EXPECT_EQ(rig.Current(), 0u);
  EXPECT_EQ(eng.Find(h), nullptr);  // freed
  EXPECT_TRUE(rig.dialogs.messages.empty());
}

TEST_F(PlaybackTest, PlayAfterATrackHasEndedStartsTheSelectedRowAfresh) {
  ThreeTracks();
  w.Transport->btnPlayClick();
  const audio::Handle first = rig.Current();
  eng.End(first);
  rig.Tick();
  EXPECT_EQ(s.state, psStopped);
  EXPECT_EQ(rig.Current(), first);  // an ended stream is held, not freed
  rig.Select({1}, 1);
  w.Transport->btnPlayClick();
  EXPECT_NE(rig.Current(), first);
  EXPECT_EQ(eng.Find(first), nullptr);
  EXPECT_EQ(eng.Find(rig.Current())->path, rig.File("b.mp3"));
}

TEST_F(PlaybackTest, PlayOnAFileThatCannotBeOpenedShowsTheCodeAndStops) {
  rig.AddRow(rig.File("missing.mp3"));
  rig.Select({0}, 0);
  w.Transport->btnPlayClick();
  EXPECT_EQ(s.state, psStopped);
  EXPECT_EQ(rig.Current(), 0u);
  ASSERT_EQ(rig.dialogs.messages.size(), 1u);
  const auto& m = rig.dialogs.messages[0];
  EXPECT_EQ(m.title.toStdString(), "Quillet");
  EXPECT_EQ(m.text.toStdString(), "不支持的文件格式：创建数据流时出现错误！\r\n（错误码： 2）");
  EXPECT_EQ(m.icon, Dialogs::Icon::Information);
  EXPECT_EQ(rig.Panel(), "");  // empty until the next tick
  rig.Tick();
  EXPECT_EQ(rig.Panel(), kPlaceholder);
}

TEST_F(PlaybackTest, PauseAndStopWithoutAStreamChangeNothing) {
  ThreeTracks();
  w.Modes->ItemLoopLstClick();  // no tick yet: no stream
  w.Transport->btnPauseClick();
  w.Transport->btnStopClick();
  EXPECT_EQ(s.state, psStopped);
  EXPECT_EQ(s.mode, pmLoopLst);  // stop with no stream keeps the mode
  EXPECT_TRUE(w.ItemLoopLst->isChecked());
  EXPECT_TRUE(eng.calls.empty());
}

TEST_F(PlaybackTest, StopInAPlayModeClearsTheModeAndItsMark) {
  ThreeTracks();
  w.Modes->ItemLoopLstClick();
  rig.Tick();  // list loop starts row 0
  ASSERT_EQ(s.state, psPlaying);
  w.Transport->btnStopClick();
  EXPECT_EQ(s.mode, pmNone);
  EXPECT_FALSE(w.ItemLoopLst->isChecked() || w.ItemLoopSel->isChecked() ||
               w.ItemLoopSingle->isChecked());
  // A later play plays one track without automatic advance.
  rig.Tick();
  w.Transport->btnPlayClick();
  const audio::Handle h = rig.Current();
  eng.End(h);
  rig.Tick(3);
  EXPECT_EQ(s.state, psStopped);
  EXPECT_EQ(rig.Current(), h);
  EXPECT_EQ(eng.Count("create"), 2);
}

TEST_F(PlaybackTest, ProgressCaptionAndSeekBarPerState) {
  ThreeTracks();
  rig.Select({});
  rig.Tick();
  EXPECT_EQ(rig.Progress(), "=·=播放进度=·=");
  EXPECT_FALSE(w.btnPlay->isEnabled());

  w.Player.List().Append(PlaylistRow{"d.mp3", "", "", "03:07", rig.File("d.mp3")});
  w.Player.List().Append(PlaylistRow{"e.mp3", "", "", "", rig.File("e.mp3")});
  rig.Select({3}, 3);
  rig.Tick();
  EXPECT_EQ(rig.Progress(), "=·=播放进度=·=00:00=·=03:07");
  EXPECT_TRUE(w.btnPlay->isEnabled());
  rig.Select({4}, 4);
  rig.Tick();
  EXPECT_EQ(rig.Progress(), "=·=播放进度=·=00:00=·=");

  // Playing: position 0 gives an empty position text; the bar counts whole seconds.
  eng.AddFile(rig.File("d.mp3"), 187.5);
  rig.Select({3}, 3);
  w.Transport->btnPlayClick();
  rig.Tick();
  EXPECT_EQ(rig.Progress(), "=·=播放进度=·==·=03:07");
  EXPECT_EQ(w.tbPlayProgress->Max(), 188);
  EXPECT_EQ(w.tbPlayProgress->Position(), 0);
  eng.At(rig.Current(), 65.5);
  rig.Tick();
  EXPECT_EQ(rig.Progress(), "=·=播放进度=·=01:05=·=03:07");
  EXPECT_EQ(w.tbPlayProgress->Position(), 66);

  // Paused: caption and bar stay at the paused position.
  w.Transport->btnPauseClick();
  rig.Tick(2);
  EXPECT_EQ(rig.Progress(), "=·=播放进度=·=01:05=·=03:07");
  EXPECT_EQ(w.tbPlayProgress->Position(), 66);

  // Stopped: back to 00:00 and the selected row's length; the bar to 0, its maximum kept.
  w.Transport->btnStopClick();
  rig.Tick();
  EXPECT_EQ(rig.Progress(), "=·=播放进度=·=00:00=·=03:07");
  EXPECT_EQ(w.tbPlayProgress->Position(), 0);
  EXPECT_EQ(w.tbPlayProgress->Max(), 188);

  // Played out: the tick that finds the end still shows the last position; the next one shows
  // the stopped caption and the bar at 0.
  w.Transport->btnPlayClick();
  eng.End(rig.Current());
  rig.Tick();
  EXPECT_EQ(s.state, psStopped);
  EXPECT_EQ(rig.Progress(), "=·=播放进度=·=03:07=·=03:07");
  EXPECT_EQ(w.tbPlayProgress->Position(), 188);
  rig.Tick();
  EXPECT_EQ(rig.Progress(), "=·=播放进度=·=00:00=·=03:07");
  EXPECT_EQ(w.tbPlayProgress->Position(), 0);
}

TEST_F(PlaybackTest, AStreamWithoutALengthShowsNoLengthAndABarOfOneSecond) {
  eng.files[rig.File("live.mp3")].lengthKnown = false;
  rig.AddRow(rig.File("live.mp3"));
  rig.Select({0}, 0);
  w.Transport->btnPlayClick();
  eng.At(rig.Current(), 5.2);
  rig.Tick();
  EXPECT_EQ(rig.Progress(), "=·=播放进度=·=00:05=·=");
  EXPECT_EQ(w.tbPlayProgress->Max(), 1);
}

TEST_F(PlaybackTest, ButtonsPerState) {
  ThreeTracks();
  auto states = [&] {
    return std::string() + (w.btnPrev->isEnabled() ? "P" : "-") +
           (w.btnPlay->isEnabled() ? "p" : "-") + (w.btnPause->isEnabled() ? "z" : "-") +
           (w.btnStop->isEnabled() ? "s" : "-") + (w.btnNext->isEnabled() ? "N" : "-");
  };
  rig.Tick();
  EXPECT_EQ(states(), "-p---");
  rig.Select({1}, 1);
  w.Transport->btnPlayClick();
  rig.Tick();
  EXPECT_EQ(states(), "P-zsN");
  rig.Select({0}, 0);
  rig.Tick();
  EXPECT_EQ(states(), "--zsN");
  rig.Select({2}, 2);
  rig.Tick();
  EXPECT_EQ(states(), "P-zs-");
  rig.Select({});
  rig.Tick();
  EXPECT_EQ(states(), "--zs-");
  w.Transport->btnPauseClick();
  rig.Tick();
  EXPECT_EQ(states(), "-p-s-");
  w.Transport->btnStopClick();
  rig.Tick();
  EXPECT_EQ(states(), "-----");

  // The context menu copies the five states when it opens.
  rig.Select({1}, 1);
  rig.Tick();
  w.Transport->btnPlayClick();
  rig.Tick();
  w.Modes->PopupMenuContrlsPopup();
  EXPECT_EQ(w.ItemPrev->isEnabled(), w.btnPrev->isEnabled());
  EXPECT_FALSE(w.ItemPlay->isEnabled());
  EXPECT_TRUE(w.ItemPause->isEnabled());
  EXPECT_TRUE(w.ItemStop->isEnabled());
  EXPECT_TRUE(w.ItemNext->isEnabled());
}

TEST_F(PlaybackTest, LyricWorkedExampleAcrossTicks) {
  WriteLyric("song.lrc",
             "[ti:Song]\r\n[00:05.50]Alpha\r\n[00:09.00]Beta\r\n[00:09.80]Gamma\r\n"
             "[00:15.00]\r\n[00:20.00]Delta\r\n");
  rig.AddTrack(rig.File("song.mp3"), 30);
  rig.Select({0}, 0);
  w.Transport->btnPlayClick();
  EXPECT_EQ(rig.Panel(), "标题：Song    ");
  EXPECT_EQ(w.Player.Lyric().size(), 6u);
  const audio::Handle h = rig.Current();
  rig.Tick();  // position 0: nothing changes
  EXPECT_EQ(rig.Panel(), "标题：Song    ");

  const std::pair<double, const char*> steps[] = {
      {4.9, "标题：Song    "}, {5.0, "Alpha"}, {8.99, "Alpha"}, {9.0, "Beta"},  {9.8, "Beta"},
      {15.0, "Beta"},          {19.5, "Beta"}, {20.0, "Delta"}, {29.9, "Delta"}};
  for (const auto& [at, shown] : steps) {
    eng.At(h, at);
    rig.Tick();
    EXPECT_EQ(rig.Panel(), shown) << "at " << at;
  }
  // The end of the track puts the placeholder back; the lines stay with the stream.
  eng.End(h);
  rig.Tick();
  EXPECT_EQ(rig.Panel(), kPlaceholder);
  EXPECT_EQ(w.Player.Lyric().size(), 6u);
}

TEST_F(PlaybackTest, PauseThenPlayKeepsTheLyricLineAndGoesOnFollowing) {
  WriteLyric("song.lrc", "[00:09.00]Beta\n[00:20.00]Delta\n");
  rig.AddTrack(rig.File("song.mp3"), 30);
  rig.Select({0}, 0);
  w.Transport->btnPlayClick();
  const audio::Handle h = rig.Current();
  eng.At(h, 9.4);
  rig.Tick();
  ASSERT_EQ(rig.Panel(), "Beta");
  w.Transport->btnPauseClick();
  rig.Tick(3);
  w.Transport->btnPlayClick();
  EXPECT_EQ(rig.Panel(), "Beta");
  EXPECT_EQ(w.Player.Lyric().size(), 2u);
  eng.At(h, 20.1);
  rig.Tick();
  EXPECT_EQ(rig.Panel(), "Delta");
}

TEST_F(PlaybackTest, WithoutALyricFileTheStripShowsTheTrackLine) {
  std::string artist(30, '\0'), album(30, ' ');
  artist.replace(0, 3, "Ann");
  album.replace(0, 4, "Blue");
  eng.AddFile(rig.File("tune.wav"));
  rig.AddRow(rig.File("tune.wav"), "00:10", artist, album);
  rig.Select({0}, 0);
  w.Transport->btnPlayClick();
  EXPECT_EQ(rig.Panel(), "歌曲：tune.wav    歌手：Ann    专辑：Blue");
}

TEST_F(PlaybackTest, AnEmptyLyricFileLeavesTheStripEmptyAfterPlay) {
  WriteLyric("quiet.lrc", "");
  rig.AddTrack(rig.File("quiet.mp3"));
  rig.Select({0}, 0);
  w.Transport->btnPlayClick();
  EXPECT_EQ(rig.Panel(), "");
  EXPECT_TRUE(w.Player.Lyric().empty());
}

TEST_F(PlaybackTest, GbkLyricTextIsShownDecoded) {
  // "[00:01]" then 你好 in GBK.
  WriteLyric("gbk.lrc", std::string("[00:01]\xC4\xE3\xBA\xC3\r\n"));
  rig.AddTrack(rig.File("gbk.mp3"));
  rig.Select({0}, 0);
  w.Transport->btnPlayClick();
  eng.At(rig.Current(), 1.2);
  rig.Tick();
  EXPECT_EQ(rig.Panel(), "你好");
}

TEST_F(PlaybackTest, SeekPressDragRelease) {
  WriteLyric("song.lrc", "[00:12.00]Twelve\n");
  rig.AddTrack(rig.File("song.mp3"), 30);
  rig.Select({0}, 0);
  w.Transport->btnPlayClick();
  const audio::Handle h = rig.Current();
  eng.At(h, 3.2);
  rig.Tick();
  w.ShowTimer->start();

  w.Transport->tbPlayProgressMouseDown();
  EXPECT_EQ(s.state, psSeeking);
  EXPECT_FALSE(w.ShowTimer->isActive());
  EXPECT_EQ(eng.Find(h)->st, ScriptedEngine::St::Paused);

  w.tbPlayProgress->SetPosition(12);  // the drag: previewed in caption and strip
  EXPECT_EQ(rig.Progress(), "=·=播放进度=·=00:12=·=00:30");
  EXPECT_EQ(rig.Panel(), "Twelve");
  w.tbPlayProgress->SetPosition(0);  // the start shows 00:00, not an empty text
  EXPECT_EQ(rig.Progress(), "=·=播放进度=·=00:00=·=00:30");
  w.tbPlayProgress->SetPosition(17);

  w.Transport->tbPlayProgressMouseUp();
  EXPECT_EQ(s.state, psPlaying);
  EXPECT_TRUE(w.ShowTimer->isActive());
  EXPECT_EQ(eng.Find(h)->pos, 17);
  EXPECT_EQ(eng.Find(h)->st, ScriptedEngine::St::Playing);
  EXPECT_EQ(rig.Panel(), "Twelve");  // stays until another stamped second
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

TEST_F(PlaybackTest, SeekingWhilePausedOrAfterTheEndPlaysFromTheChosenSecond) {
  rig.AddTrack(rig.File("song.mp3"), 30);
  rig.Select({0}, 0);
  w.Transport->btnPlayClick();
  const audio::Handle h = rig.Current();
  w.Transport->btnPauseClick();
  w.Transport->tbPlayProgressMouseDown();
  w.tbPlayProgress->SetPosition(20);
  w.Transport->tbPlayProgressMouseUp();
  EXPECT_EQ(eng.Find(h)->st, ScriptedEngine::St::Playing);
  EXPECT_EQ(eng.Find(h)->pos, 20);

  eng.End(h);
  rig.Tick();
  ASSERT_EQ(s.state, psStopped);
  w.Transport->tbPlayProgressMouseDown();
  w.tbPlayProgress->SetPosition(4);
  w.Transport->tbPlayProgressMouseUp();
  EXPECT_EQ(eng.Find(h)->st, ScriptedEngine::St::Playing);
  EXPECT_EQ(eng.Find(h)->pos, 4);
  w.ShowTimer->stop();
}

TEST_F(PlaybackTest, SeekingToTheRoundedUpLastSecondGoesToTheEnd) {
  rig.AddTrack(rig.File("song.mp3"), 29.6);
  rig.Select({0}, 0);
  w.Transport->btnPlayClick();
  const audio::Handle h = rig.Current();
  eng.At(h, 3);
  rig.Tick();
  ASSERT_EQ(w.tbPlayProgress->Max(), 30);
  w.Transport->tbPlayProgressMouseDown();
  w.tbPlayProgress->SetPosition(30);
  w.Transport->tbPlayProgressMouseUp();
  EXPECT_NEAR(eng.Find(h)->pos, 29.6, 0.001);
  w.ShowTimer->stop();
}

TEST_F(PlaybackTest, SeekingWithNothingOpenedEndsStoppedOneTickLater) {
  w.Transport->tbPlayProgressMouseDown();
  w.tbPlayProgress->SetPosition(5);
  EXPECT_EQ(rig.Progress(), "=·=播放进度=·=");  // no preview without a stream
  w.Transport->tbPlayProgressMouseUp();
  EXPECT_EQ(s.state, psPlaying);
  rig.Tick();
  EXPECT_EQ(s.state, psStopped);
}

TEST_F(PlaybackTest, VolumeBarFollowsTheOutputWithoutWritingItBack) {
  eng.volume = 20000u | (30000u << 16);
  rig.Tick();
  EXPECT_EQ(w.tbSetVolume->Position(), 30000);
  rig.Tick();
  EXPECT_EQ(eng.setVolumeCalls, 0);
  EXPECT_EQ(eng.volume, 20000u | (30000u << 16));

  // A move by the user sets both channels to the bar's value.
  w.tbSetVolume->SetPosition(12345);
  EXPECT_EQ(eng.setVolumeCalls, 0);  // a change from code is not the user's
  w.Transport->tbSetVolumeUserChange();
  EXPECT_EQ(eng.volume, 12345u | (12345u << 16));
  w.tbSetVolume->SetPosition(0);
  w.Transport->tbSetVolumeUserChange();
  EXPECT_EQ(eng.volume, 0u);
  w.tbSetVolume->SetPosition(65535);
  w.Transport->tbSetVolumeUserChange();
  EXPECT_EQ(eng.volume, 0xFFFFFFFFu);
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

TEST_F(PlaybackTest, NoTickActsBeforeTheStateIsSetUp) {
  ThreeTracks();
  // As after exit (and before the creation step): nothing is set up to act.
  w.Player.Shutdown();
  eng.calls.clear();
  eng.volume = 1000;
  w.Transport->ShowTimerTimer();
  EXPECT_TRUE(eng.calls.empty());
  EXPECT_NE(w.tbSetVolume->Position(), 1000);
  EXPECT_EQ(s.state, psStopped);
}

TEST_F(PlaybackTest, ListLoopWithAnEmptyPlaylistDoesNothing) {
  rig.AddTrack(rig.File("a.mp3"));
  rig.Select({0}, 0);
  w.Modes->ItemLoopLstClick();
  w.Player.List().Clear();
  rig.Tick(3);
  EXPECT_EQ(s.mode, pmLoopLst);
  EXPECT_EQ(s.state, psStopped);
  EXPECT_EQ(eng.Count("create"), 0);
  EXPECT_TRUE(rig.dialogs.messages.empty());
  // Rows added later are played.
  rig.AddTrack(rig.File("b.mp3"));
  rig.Tick();
  EXPECT_EQ(s.state, psPlaying);
}

TEST_F(PlaybackTest, ATrackATickStartsBehindAFailedStartsBoxIsKept) {
  ThreeTracks();
  rig.AddRow(rig.File("broken.mp3"));
  w.Modes->ItemLoopLstClick();
  rig.Tick();  // row 0 plays in list loop
  ASSERT_EQ(s.state, psPlaying);

  rig.Select({3}, 3);
  audio::Handle startedMeanwhile = 0;
  rig.dialogs.whileOpen = [&] {
    // The box of the failed start is open; the timer goes on ticking.
    rig.Tick();
    startedMeanwhile = rig.Current();
  };
  w.List->ListViewLstDblClick();  // the play button is off while a track plays
  ASSERT_EQ(rig.dialogs.messages.size(), 1u);
  ASSERT_NE(startedMeanwhile, 0u);
  EXPECT_EQ(rig.Current(), startedMeanwhile);
  EXPECT_EQ(s.state, psPlaying);
  rig.Tick(2);
  EXPECT_EQ(rig.Current(), startedMeanwhile);  // not replaced by the one after it
  EXPECT_EQ(eng.Find(startedMeanwhile)->st, ScriptedEngine::St::Playing);
}

TEST_F(PlaybackTest, AnUnreadableSettingsFileIsReportedAndTheTrackPlaysOn) {
  WriteLyric("song.lrc", "[ti:Beside]\n");
  rig.AddTrack(rig.File("song.mp3"));
  rig.Select({0}, 0);
  WriteBytes(rig.File("cfrMsg"), "short");  // fewer than 123 bytes
  w.Transport->btnPlayClick();
  EXPECT_EQ(s.state, psPlaying);
  EXPECT_EQ(eng.Find(rig.Current())->st, ScriptedEngine::St::Playing);
  ASSERT_EQ(rig.dialogs.messages.size(), 1u);
  EXPECT_EQ(rig.dialogs.messages[0].icon, Dialogs::Icon::Error);
  EXPECT_EQ(rig.dialogs.messages[0].title.toStdString(), "Quillet 06.12.15");
  // The lookup went on beside the audio file.
  EXPECT_EQ(rig.Panel(), "标题：Beside    ");

  // The same in list loop, inside a tick: reported, and the timer runs on.
  w.Transport->btnStopClick();
  w.Modes->ItemLoopLstClick();
  w.Transport->ShowTimerTimer();
  EXPECT_TRUE(w.ShowTimer->isActive());
  EXPECT_EQ(s.state, psPlaying);
  EXPECT_EQ(rig.dialogs.messages.size(), 2u);
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
  const std::size_t calls = eng.calls.size();
  w.Transport->ShowTimerTimer();
  EXPECT_EQ(eng.calls.size(), calls);
  EXPECT_FALSE(w.ShowTimer->isActive());
}

}  // namespace
}  // namespace quillet::testing
