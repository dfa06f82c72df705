// The play modes and the track steps, on the player alone: which track plays next in each mode,
// where the cursors and the selection go, what previous, next, a double-click and switching a
// mode on or off do to what plays, and the files that will not open or play on the way.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "support/PlayerRig.h"

namespace quillet::testing {
namespace {

struct Case {
  const char* what;
  int tracks;  // t0.mp3 .. of three minutes
  std::string script;
  std::vector<std::pair<int, std::string>> lyrics = {};  // lyric files beside tracks
};

void RunAll(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    PlayerRig rig;
    rig.Tracks(c.tracks);
    for (const auto& [track, text] : c.lyrics) {
      rig.Write("t" + std::to_string(track) + ".lrc", text);
    }
    rig.Run(c.what, c.script);
  }
}

TEST(PlayerModes, ListLoop) {
  RunAll({
      {"plays on from the selected row and wraps from the last row to the first", 3,
       "select:1 loop-list mode=list lst=1 tick plays=1 lst=2 advance plays=2 selected=2 "
       "advance plays=0 selected=0 focused=0 state=playing"},
      {"previous and next wrap both ways; previous frees the track at once", 3,
       "select:0 loop-list tick plays=0 mark select:1 tick prev lst=-1 state=stopped "
       "marked=freed lyric= tick plays=2 select:0 tick next tick plays=0 tick next tick plays=1"},
      {"switched on over the playing first row, previous goes to the last", 3,
       "select:0 play loop-list lst=0 plays=0 prev lst=-2 tick plays=2 lst=3"},
      {"files that all fail are passed one row per tick, silently", 3,
       "missing:0 missing:1 missing:2 select:0 loop-list "
       "tick selected=0 state=stopped plays=- lyric=- tick selected=1 state=stopped plays=- "
       "lyric=- tick selected=2 state=stopped plays=- lyric=- tick selected=0 state=stopped "
       "plays=- lyric=- creates=4 box=- stop mode=list loop-list tick:2 creates=4"},
      {"a stream that will not play is freed and passed over", 2,
       "unplayable:0 select:0 loop-list tick plays=- tick plays=1"},
      {"switching it off stops at once", 2,
       "select:0 loop-list tick mark loop-list mode=none state=stopped marked=freed tick:2 "
       "plays=-"},
      {"switched on from single loop, the track plays on and the selected row follows", 3,
       "select:1 play mark loop-one loop-list mode=list tick marked=current advance plays=1"},
  });
}

TEST(PlayerModes, LoopSelection) {
  RunAll({
      {"plays its snapshot in order, leaves the selection alone and survives deletion", 8,
       "select:2,5,7 loop-sel snapshot=2,5,7 seli=0 tick plays=2 selected=2,5,7 advance plays=5 "
       "delete:2,5,7 advance plays=7 advance plays=2 "
       // Previous and next move through the snapshot too (on while a middle row is selected).
       "select:1 tick prev tick plays=7 tick next tick plays=2"},
      {"switched off it forgets the snapshot and stops; on again it starts the new first", 3,
       "select:0,1 loop-sel tick mark loop-sel mode=none state=stopped plays=- marked=freed "
       "snapshot= tick lyric=- seli=1 select:1,2 loop-sel tick plays=1"},
  });
}

TEST(PlayerModes, SingleLoop) {
  RunAll({
      {"replays the track from its start with the header again, its lyric not read again",
       2,
       "select:0 play loop-one mode=one at:2.5 tick lyric=line advance state=playing plays=0 "
       "pos=0 lyric=标题：Again____ lines=2",
       {{0, "[ti:Again]\n[00:02]line\n"}}},
      {"switched on over a track that has ended, plays it again", 1,
       "select:0 play end tick loop-one tick state=playing"},
      {"a track that cannot replay (no second stream of it opens) ends the mode with it, freed "
       "and silently",
       1,
       "select:0 play mark unplayable:0 missing:0 loop-one advance mode=none plays=- "
       "marked=freed lyric=- box=-"},
      {"previous and next do nothing",
       3,
       "select:1 play loop-one mark at:30 prev next marked=current stream=playing pos=30 "
       "state=playing lyric=标题：Kept____ lines=1",
       {{1, "[ti:Kept]\n"}}},
  });
}

TEST(PlayerModes, StepsWithoutAMode) {
  RunAll({
      {"previous and next move from the selected row, which follows", 3,
       "select:0 prev plays=- play next plays=1 selected=1 focused=1 focus-list=yes "
       "next plays=2 mark next marked=current prev plays=1 "
       // The selected row counts, not the playing one.
       "select:0 next plays=1 box=-"},
      {"previous onto a file that does not open reports it and stops within a tick", 2,
       "missing:0 select:1 play mark prev box=stream:2 marked=freed plays=- selected=1 tick "
       "state=stopped lyric=-"},
  });
}

TEST(PlayerModes, DoubleClick) {
  RunAll({
      {"starts the row afresh over a paused track, the mode and its cursor kept", 3,
       "select:0 play mark at:30 pause loop-list select:2 afresh marked=freed plays=2 pos=0 "
       "state=playing lst=0 mode=list"},
      {"keeps the placeholder for an empty lyric, reports a failed start, and with no row "
       "does nothing",
       2,
       "missing:1 select:0 afresh lyric=- select:1 afresh state=stopped box=stream:2 select: "
       "afresh box=-",
       {{0, ""}}},
      {"a track a tick starts behind the failed start's box is kept", 4,
       "missing:3 select:0 loop-list tick state=playing select:3 tick-in-box afresh "
       "box=stream:2 plays=1 state=playing mark tick:2 marked=current stream=playing"},
  });
}

}  // namespace
}  // namespace quillet::testing
