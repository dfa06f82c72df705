// The play modes and the track steps as the main window gives and shows them, on a scripted
// engine with ticks called by the test: what its buttons, menu items and double-click call, its
// check marks, and the list view following the player's selection. What the player decides is
// tested on the player alone (core_playermodes_test).
#include <gtest/gtest.h>

#include "support/PlayRig.h"

namespace quillet::testing {
namespace {

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
  std::string Marks() {
    return std::string() + (w.ItemLoopLst->isChecked() ? "L" : "-") +
           (w.ItemLoopSel->isChecked() ? "S" : "-") + (w.ItemLoopSingle->isChecked() ? "1" : "-");
  }
};

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

TEST_F(ModesTest, TheClicksCallTheTransportCommands) {
  Tracks(3);
  rig.Select({1}, 1);
  const struct {
    const char* click;
    void (MainTransport::*handler)();
    TPlayerState state;
    int track;  // -1: none
  } clicks[] = {
      {"play", &MainTransport::btnPlayClick, psPlaying, 1},
      {"next", &MainTransport::btnNextClick, psPlaying, 2},
      {"previous", &MainTransport::btnPrevClick, psPlaying, 1},
      {"pause", &MainTransport::btnPauseClick, psPaused, 1},
      {"play again", &MainTransport::btnPlayClick, psPlaying, 1},
      {"stop", &MainTransport::btnStopClick, psStopped, -1},
  };
  MainTransport& transport = *w.Transport;
  for (const auto& c : clicks) {
    rig.Tick();
    (transport.*c.handler)();
    EXPECT_EQ(s.state, c.state) << c.click;
    EXPECT_EQ(Playing(), c.track < 0 ? std::string() : T(c.track)) << c.click;
  }
  rig.Select({0}, 0);
  w.List->ListViewLstDblClick();
  EXPECT_EQ(Playing(), T(0));
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
  w.Modes->ItemLoopSelClick();
  EXPECT_EQ(Marks(), "---");
  rig.Tick();
  w.Transport->btnPlayClick();
  w.Modes->ItemLoopLstClick();
  rig.Tick();
  ASSERT_EQ(Marks(), "L--");
  w.Transport->btnStopClick();
  EXPECT_EQ(Marks(), "---");

  // A mode the player ends in a tick takes its mark with it: the marks are its only display.
  // (The file no longer opens, so no second stream of it is queued; its own cannot replay.)
  rig.Tick();
  w.Transport->btnPlayClick();
  eng.files.erase(eng.Find(rig.Current())->path);
  w.Modes->ItemLoopSingleClick();
  ASSERT_EQ(Marks(), "--1");
  eng.Find(rig.Current())->file.playFails = true;
  eng.End(rig.Current());
  rig.Tick(2);
  EXPECT_EQ(s.mode, pmNone);
  EXPECT_EQ(Marks(), "---");
  EXPECT_TRUE(rig.dialogs.messages.empty());
}

}  // namespace
}  // namespace quillet::testing
