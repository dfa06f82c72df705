// Double-click, previous and next, and the three play modes, driven through the main window on
// a scripted engine with ticks called by the test.
#include <gtest/gtest.h>

#include "support/PlayRig.h"

namespace quillet::testing {
namespace {

const char* const kPlaceholder = "歌词显示区...";

class ModesTest : public ::testing::Test {
 protected:
  PlayRig rig;
  TfrmMain& w = rig.main();
  ScriptedEngine& eng = rig.engine();
  const PlayerSnapshot& s = rig.session().Snapshot();

  void Tracks(int n) {
    for (int i = 0; i < n; ++i) rig.AddTrack(rig.File("t" + std::to_string(i) + ".mp3"));
  }
  std::string T(int i) { return rig.File("t" + std::to_string(i) + ".mp3"); }
  std::string Playing() {
    ScriptedEngine::Stream* st = eng.Find(rig.Current());
    return st == nullptr ? std::string() : st->path;
  }
  // The playing track ends; the first tick notices, the second starts what follows.
  void EndAndAdvance() {
    eng.End(rig.Current());
    rig.Tick();
    ASSERT_EQ(s.state, psStopped);
    rig.Tick();
  }
  std::string Marks() {
    return std::string() + (w.ItemLoopLst->isChecked() ? "L" : "-") +
           (w.ItemLoopSel->isChecked() ? "S" : "-") + (w.ItemLoopSingle->isChecked() ? "1" : "-");
  }
};

TEST_F(ModesTest, ListLoopPlaysOnAndWrapsFromTheLastRowToTheFirst) {
  Tracks(3);
  rig.Select({1}, 1);
  w.Modes->ItemLoopLstClick();
  EXPECT_EQ(s.mode, pmLoopLst);
  EXPECT_EQ(w.Player.ListCursor(), 1);
  EXPECT_EQ(Marks(), "L--");
  rig.Tick();  // stopped: the very next tick starts row 1
  EXPECT_EQ(Playing(), T(1));
  EXPECT_EQ(w.Player.ListCursor(), 2);
  EndAndAdvance();
  EXPECT_EQ(Playing(), T(2));
  EXPECT_EQ(w.Player.List().Selected(), std::vector<int>{2});
  EndAndAdvance();
  EXPECT_EQ(Playing(), T(0));
  EXPECT_EQ(w.Player.List().Selected(), std::vector<int>{0});
  EXPECT_EQ(w.List->FocusedRow(), 0);
  EXPECT_EQ(s.state, psPlaying);
}

TEST_F(ModesTest, TheMenuItemsSwitchModesOnAndOffAsTheHandlersDo) {
  // Through the menu's own actions: a checkable item flips its mark before it signals, which
  // must not turn a switch-on into a switch-off.
  Tracks(2);
  rig.Select({0}, 0);
  w.ItemLoopLst->trigger();
  EXPECT_EQ(s.mode, pmLoopLst);
  EXPECT_EQ(Marks(), "L--");
  rig.Tick();  // a track plays: single loop can be chosen
  w.ItemLoopSingle->trigger();
  EXPECT_EQ(s.mode, pmLoopSingle);
  EXPECT_EQ(Marks(), "--1");
  w.ItemLoopSel->trigger();
  EXPECT_EQ(s.mode, pmLoopSel);
  EXPECT_EQ(Marks(), "-S-");
  w.ItemLoopSel->trigger();
  EXPECT_EQ(s.mode, pmNone);
  EXPECT_EQ(Marks(), "---");
}

TEST_F(ModesTest, ListLoopPreviousAndNextWrapBothWays) {
  Tracks(3);
  rig.Select({0}, 0);
  w.Modes->ItemLoopLstClick();
  rig.Tick();
  ASSERT_EQ(Playing(), T(0));  // LstIndex 1
  const audio::Handle h = rig.Current();
  // Previous is on once another row than the first is selected.
  rig.Select({1}, 1);
  rig.Tick();
  w.Transport->btnPrevClick();
  EXPECT_EQ(w.Player.ListCursor(), -1);
  EXPECT_EQ(s.state, psStopped);
  EXPECT_EQ(eng.Find(h), nullptr);  // freed at once
  EXPECT_EQ(rig.Panel(), "");
  rig.Tick();
  EXPECT_EQ(Playing(), T(2));

  // Next is on once another row than the last is selected.
  rig.Select({0}, 0);
  rig.Tick();
  w.Transport->btnNextClick();  // from the last row to the first
  rig.Tick();
  EXPECT_EQ(Playing(), T(0));
  rig.Tick();
  w.Transport->btnNextClick();
  rig.Tick();
  EXPECT_EQ(Playing(), T(1));
}

TEST_F(ModesTest, ListLoopSwitchedOnOverThePlayingFirstRowThenPreviousGoesToTheLast) {
  Tracks(3);
  rig.Select({0}, 0);
  w.Transport->btnPlayClick();
  w.Modes->ItemLoopLstClick();
  EXPECT_EQ(w.Player.ListCursor(), 0);
  EXPECT_EQ(Playing(), T(0));  // switching on neither stops nor starts
  w.Transport->btnPrevClick();
  EXPECT_EQ(w.Player.ListCursor(), -2);
  rig.Tick();
  EXPECT_EQ(Playing(), T(2));
  EXPECT_EQ(w.Player.ListCursor(), 3);
}

TEST_F(ModesTest, ListLoopOverFilesThatAllFailPassesOneRowPerTickSilently) {
  for (int i = 0; i < 3; ++i) rig.AddRow(rig.File("gone" + std::to_string(i) + ".mp3"));
  rig.Select({0}, 0);
  w.Modes->ItemLoopLstClick();
  for (int i = 0; i < 4; ++i) {
    rig.Tick();
    EXPECT_EQ(w.Player.List().Selected(), std::vector<int>{i % 3});
    EXPECT_EQ(s.state, psStopped);
    EXPECT_EQ(rig.Current(), 0u);
    EXPECT_EQ(rig.Panel(), kPlaceholder);
  }
  EXPECT_EQ(eng.Count("create"), 4);
  EXPECT_TRUE(rig.dialogs.messages.empty());
  w.Transport->btnStopClick();  // nothing to stop: the mode stays
  EXPECT_EQ(s.mode, pmLoopLst);
  w.Modes->ItemLoopLstClick();  // switched off
  rig.Tick(2);
  EXPECT_EQ(eng.Count("create"), 4);
}

TEST_F(ModesTest, ListLoopOverAStreamThatWillNotPlaySkipsIt) {
  Tracks(2);
  eng.files[T(0)].playFails = true;
  rig.Select({0}, 0);
  w.Modes->ItemLoopLstClick();
  rig.Tick();
  EXPECT_EQ(rig.Current(), 0u);
  EXPECT_TRUE(eng.streams.empty());  // the stream that did not play was freed
  rig.Tick();
  EXPECT_EQ(Playing(), T(1));
}

TEST_F(ModesTest, DeletingRowsInListLoopAppliesTheIndexToTheShortenedList) {
  Tracks(4);
  rig.Select({1}, 1);
  w.Modes->ItemLoopLstClick();
  rig.Tick();  // row 1 plays, LstIndex 2
  rig.Select({0}, 0);
  w.List->btnDelLstClick();
  EndAndAdvance();
  EXPECT_EQ(Playing(), T(3));  // row 2 of the shortened list
}

TEST_F(ModesTest, LoopSelectionPlaysTheSnapshotInOrderAndSurvivesDeletion) {
  Tracks(8);
  rig.Select({2, 5, 7}, 7);
  w.Modes->ItemLoopSelClick();
  EXPECT_EQ(w.Player.LoopSelectionPaths(), (std::vector<std::string>{T(2), T(5), T(7)}));
  EXPECT_EQ(w.Player.SelectionCursor(), 0);
  EXPECT_EQ(Marks(), "-S-");
  rig.Tick();
  EXPECT_EQ(Playing(), T(2));
  EXPECT_EQ(w.Player.List().Selected(), (std::vector<int>{2, 5, 7}));  // selection untouched
  EndAndAdvance();
  EXPECT_EQ(Playing(), T(5));
  rig.Select({2, 5, 7}, 7);
  w.List->btnDelLstClick();
  ASSERT_EQ(w.Player.List().Count(), 5);
  EndAndAdvance();
  EXPECT_EQ(Playing(), T(7));
  EndAndAdvance();
  EXPECT_EQ(Playing(), T(2));
  // Previous and next move through the snapshot too (on while a middle row is selected).
  rig.Select({1}, 1);
  rig.Tick();
  w.Transport->btnPrevClick();
  rig.Tick();
  EXPECT_EQ(Playing(), T(7));
  rig.Tick();
  w.Transport->btnNextClick();
  rig.Tick();
  EXPECT_EQ(Playing(), T(2));
}

TEST_F(ModesTest, LoopSelectionTakesTheTagOfAFileThatExistsForItsTrackLine) {
  const std::string path = rig.File("tagged.mp3");
  std::string tag(128, '\0');
  tag.replace(0, 3, "TAG");
  tag.replace(33, 3, "Ann");
  tag.replace(63, 4, "Blue");
  WriteBytes(path, std::string(500, 'x') + tag);
  eng.AddFile(path);
  rig.AddRow(path, "03:00", "stale", "stale");
  rig.Select({0}, 0);
  w.Modes->ItemLoopSelClick();
  rig.Tick();
  EXPECT_EQ(rig.Panel(), "歌曲：tagged.mp3    歌手：Ann    专辑：Blue");
}

TEST_F(ModesTest, LoopSelectionSwitchedOffClearsTheSnapshotAndStops) {
  Tracks(3);
  rig.Select({0, 1}, 1);
  w.Modes->ItemLoopSelClick();
  rig.Tick();
  const audio::Handle h = rig.Current();
  w.Modes->ItemLoopSelClick();
  EXPECT_EQ(s.mode, pmNone);
  EXPECT_EQ(s.state, psStopped);
  EXPECT_EQ(rig.Current(), 0u);
  EXPECT_EQ(eng.Find(h), nullptr);
  EXPECT_TRUE(w.Player.LoopSelectionPaths().empty());
  EXPECT_EQ(Marks(), "---");
  rig.Tick();
  EXPECT_EQ(rig.Panel(), kPlaceholder);

  // Switched on again over other rows, it starts from the first of them, wherever the cursor
  // of the last round had got to.
  ASSERT_EQ(w.Player.SelectionCursor(), 1);
  rig.Select({1, 2}, 2);
  w.Modes->ItemLoopSelClick();
  rig.Tick();
  EXPECT_EQ(Playing(), T(1));
}

TEST_F(ModesTest, SingleLoopReplaysTheSameStreamWithTheHeaderAgain) {
  WriteBytes(rig.File("t0.lrc"), "[ti:Again]\n[00:02]line\n");
  Tracks(2);
  rig.Select({0}, 0);
  w.Transport->btnPlayClick();
  const audio::Handle h = rig.Current();
  w.Modes->ItemLoopSingleClick();
  EXPECT_EQ(Marks(), "--1");
  eng.At(h, 2.5);
  rig.Tick();
  ASSERT_EQ(rig.Panel(), "line");
  EndAndAdvance();
  EXPECT_EQ(rig.Current(), h);
  EXPECT_EQ(s.state, psPlaying);
  EXPECT_EQ(eng.Find(h)->pos, 0);
  EXPECT_EQ(rig.Panel(), "标题：Again    ");
  EXPECT_EQ(eng.Count("create"), 1);  // the lyric is not read again either: same lines
  EXPECT_EQ(w.Player.Lyric().size(), 2u);
}

TEST_F(ModesTest, SingleLoopOnAHeldEndedTrackPlaysItAgain) {
  Tracks(1);
  rig.Select({0}, 0);
  w.Transport->btnPlayClick();
  eng.End(rig.Current());
  rig.Tick();
  w.Modes->ItemLoopSingleClick();
  rig.Tick();
  EXPECT_EQ(s.state, psPlaying);
}

TEST_F(ModesTest, SingleLoopThatCannotReplayEndsTheModeAndItsMark) {
  Tracks(1);
  rig.Select({0}, 0);
  w.Transport->btnPlayClick();
  const audio::Handle h = rig.Current();
  w.Modes->ItemLoopSingleClick();
  eng.Find(h)->file.playFails = true;
  EndAndAdvance();
  EXPECT_EQ(s.mode, pmNone);
  EXPECT_EQ(rig.Current(), 0u);
  EXPECT_EQ(eng.Find(h), nullptr);
  EXPECT_EQ(rig.Panel(), kPlaceholder);
  // The marks are the mode's only display: none is left standing for a mode that is off.
  EXPECT_EQ(Marks(), "---");
  EXPECT_TRUE(rig.dialogs.messages.empty());
}

TEST_F(ModesTest, PreviousAndNextDoNothingInSingleLoop) {
  WriteBytes(rig.File("t1.lrc"), "[ti:Kept]\n");
  Tracks(3);
  rig.Select({1}, 1);
  w.Transport->btnPlayClick();
  w.Modes->ItemLoopSingleClick();
  const std::size_t calls = eng.calls.size();
  w.Transport->btnPrevClick();
  w.Transport->btnNextClick();
  EXPECT_EQ(eng.calls.size(), calls);
  EXPECT_EQ(rig.Panel(), "标题：Kept    ");
  EXPECT_EQ(w.Player.Lyric().size(), 1u);
  EXPECT_EQ(s.state, psPlaying);
}

TEST_F(ModesTest, SwitchingAModeOffStopsAtOnce) {
  Tracks(2);
  rig.Select({0}, 0);
  w.Modes->ItemLoopLstClick();
  rig.Tick();
  const audio::Handle h = rig.Current();
  w.Modes->ItemLoopLstClick();
  EXPECT_EQ(s.mode, pmNone);
  EXPECT_EQ(s.state, psStopped);
  EXPECT_EQ(eng.Find(h), nullptr);
  EXPECT_EQ(Marks(), "---");
  rig.Tick(2);
  EXPECT_EQ(rig.Current(), 0u);
}

TEST_F(ModesTest, SwitchingFromSingleLoopToListLoopKeepsTheTrackPlaying) {
  Tracks(3);
  rig.Select({1}, 1);
  w.Transport->btnPlayClick();
  const audio::Handle h = rig.Current();
  w.Modes->ItemLoopSingleClick();
  w.Modes->ItemLoopLstClick();
  EXPECT_EQ(Marks(), "L--");
  EXPECT_EQ(s.mode, pmLoopLst);
  rig.Tick();
  EXPECT_EQ(rig.Current(), h);
  EndAndAdvance();
  EXPECT_EQ(Playing(), T(1));  // LstIndex was the selected row
}

TEST_F(ModesTest, NextAndPreviousWithoutAModeMoveTheSelection) {
  Tracks(3);
  rig.Select({0}, 0);
  w.Transport->btnPrevClick();  // not playing: only the strip is cleared
  EXPECT_EQ(rig.Current(), 0u);
  w.Transport->btnPlayClick();
  w.Transport->btnNextClick();
  EXPECT_EQ(Playing(), T(1));
  EXPECT_EQ(w.Player.List().Selected(), std::vector<int>{1});
  EXPECT_EQ(w.List->FocusedRow(), 1);
  w.Transport->btnNextClick();
  EXPECT_EQ(Playing(), T(2));
  const audio::Handle last = rig.Current();
  w.Transport->btnNextClick();  // the last row has no next
  EXPECT_EQ(rig.Current(), last);
  w.Transport->btnPrevClick();
  EXPECT_EQ(Playing(), T(1));
  // The selected row counts, not the playing one.
  rig.Select({0}, 0);
  w.Transport->btnNextClick();
  EXPECT_EQ(Playing(), T(1));
  EXPECT_EQ(eng.streams.size(), 1u);
  EXPECT_TRUE(rig.dialogs.messages.empty());
}

TEST_F(ModesTest, NextFromTheTrayMenuWhileHiddenMovesSelectionWithoutFocus) {
  Tracks(2);
  rig.Select({0}, 0);
  w.Transport->btnPlayClick();
  ASSERT_FALSE(w.isVisible());
  w.ItemNext->trigger();
  EXPECT_EQ(Playing(), T(1));
  EXPECT_EQ(w.Player.List().Selected(), std::vector<int>{1});
  EXPECT_EQ(w.List->FocusedRow(), 1);
  EXPECT_FALSE(w.ListViewLst->hasFocus());
  EXPECT_TRUE(rig.dialogs.messages.empty());
}

TEST_F(ModesTest, PreviousOntoAMissingFileWithoutAModeReportsAndStopsWithinATick) {
  rig.AddRow(rig.File("gone.mp3"));
  rig.AddTrack(rig.File("here.mp3"));
  rig.Select({1}, 1);
  w.Transport->btnPlayClick();
  const audio::Handle h = rig.Current();
  w.Transport->btnPrevClick();
  ASSERT_EQ(rig.dialogs.messages.size(), 1u);
  EXPECT_EQ(rig.dialogs.messages[0].text.toStdString(),
            "不支持的文件格式：创建数据流时出现错误！\r\n（错误码： 2）");
  EXPECT_EQ(eng.Find(h), nullptr);  // the old track was freed
  EXPECT_EQ(rig.Current(), 0u);
  EXPECT_EQ(w.Player.List().Selected(), std::vector<int>{1});
  rig.Tick();
  EXPECT_EQ(s.state, psStopped);
  EXPECT_EQ(rig.Panel(), kPlaceholder);
}

TEST_F(ModesTest, DoubleClickStartsTheRowAfreshAlsoOverAPausedTrack) {
  Tracks(3);
  rig.Select({0}, 0);
  w.Transport->btnPlayClick();
  const audio::Handle paused = rig.Current();
  eng.At(paused, 30);
  w.Transport->btnPauseClick();
  w.Modes->ItemLoopLstClick();
  const int lst = w.Player.ListCursor();
  rig.Select({2}, 2);
  w.List->ListViewLstDblClick();
  EXPECT_EQ(eng.Find(paused), nullptr);
  EXPECT_EQ(Playing(), T(2));
  EXPECT_EQ(eng.Find(rig.Current())->pos, 0);
  EXPECT_EQ(s.state, psPlaying);
  EXPECT_EQ(w.Player.ListCursor(), lst);  // the cursor is not moved
  EXPECT_EQ(s.mode, pmLoopLst);
}

TEST_F(ModesTest, DoubleClickKeepsThePlaceholderForAnEmptyLyricAndReportsAFailure) {
  WriteBytes(rig.File("t0.lrc"), "");
  Tracks(1);
  rig.AddRow(rig.File("gone.mp3"));
  rig.Select({0}, 0);
  w.List->ListViewLstDblClick();
  EXPECT_EQ(rig.Panel(), kPlaceholder);
  rig.Select({1}, 1);
  w.List->ListViewLstDblClick();
  EXPECT_EQ(s.state, psStopped);
  EXPECT_EQ(rig.dialogs.messages.size(), 1u);
  rig.Select({});
  w.List->ListViewLstDblClick();  // no row: nothing
  EXPECT_EQ(rig.dialogs.messages.size(), 1u);
}

TEST_F(ModesTest, TheMarksAlwaysMatchTheMode) {
  Tracks(2);
  rig.Select({0}, 0);
  rig.Tick();
  w.Transport->btnPlayClick();
  w.Modes->ItemLoopSelClick();
  w.Modes->ItemLoopSingleClick();
  EXPECT_EQ(Marks(), "--1");
  EXPECT_EQ(s.mode, pmLoopSingle);
  w.Modes->ItemLoopLstClick();
  EXPECT_EQ(Marks(), "L--");
  w.Modes->ItemLoopSelClick();
  EXPECT_EQ(Marks(), "-S-");
  EXPECT_EQ(s.mode, pmLoopSel);
}

}  // namespace
}  // namespace quillet::testing
