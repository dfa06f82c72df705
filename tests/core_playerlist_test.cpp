// The playlist under the player, with no window: the row a file becomes, what deleting and
// clearing rows do to the track that plays and to the list loop's cursor, and which list and
// mode items can be chosen.
#include <gtest/gtest.h>

#include <string>

#include "support/PlayerRig.h"
#include "support/fixtures/AudioFixtures.h"

namespace quillet::testing {
namespace {

TEST(PlayerList, ChangingRowsUnderTheTrackThatPlays) {
  const struct {
    const char* what;
    int tracks;
    const char* script;
  } cases[] = {
      {"deleting the playing row leaves the track playing", 2,
       "select:0 play mark delete:0 tick state=playing marked=current row=-1"},
      {"list loop goes on at its cursor in the shortened list", 4,
       "select:1 loop-list tick plays=1 row=1 delete:0 tick row=0 advance plays=3"},
      {"list loop over an emptied list waits for rows", 1,
       "select:0 loop-list clear tick:3 mode=list state=stopped creates=0 box=- append:0 tick "
       "state=playing"},
  };
  for (const auto& c : cases) {
    PlayerRig rig;
    rig.Tracks(c.tracks);
    rig.Run(c.what, c.script);
  }
}

TEST(PlayerList, WhichListAndModeItemsCanBeChosen) {
  PlayerRig rig;
  rig.Run("no rows", "menu=------");
  rig.Tracks(2);
  // Single loop while a stream is open, also paused, not after stop.
  rig.Run("rows",
          "select: menu=---L-- select:1 menu=dscLS- play pause menu=dscLS1 stop "
          "menu=dscLS-");
}

TEST(PlayerList, TheRowAFileBecomes) {
  PlayerRig rig;
  const std::string wav = rig.dir.File("tune.wav");
  WriteSineWave(wav, 1.5);
  AppendId3v1(wav, "Title", "Ann", "Blue");
  MakeDir(rig.dir.File("folder"));
  const struct {
    std::string path;
    PlaylistRow row;
  } cases[] = {
      {wav,
       {"tune.wav", std::string("Ann") + std::string(27, '\0'),
        std::string("Blue") + std::string(26, '\0'), "00:01", wav}},
      {rig.dir.File("gone.mp3"), {"gone.mp3", "", "", "", rig.dir.File("gone.mp3")}},
      {rig.dir.File("folder"), {"folder", "", "", "", rig.dir.File("folder")}},
  };
  for (const auto& c : cases) {
    const PlaylistRow r = rig.list().Probe(c.path);
    EXPECT_EQ(r.name, c.row.name) << c.path;
    EXPECT_EQ(r.singer, c.row.singer) << c.path;
    EXPECT_EQ(r.album, c.row.album) << c.path;
    EXPECT_EQ(r.length, c.row.length) << c.path;
    EXPECT_EQ(r.path, c.row.path) << c.path;
    rig.list().Append(r);
  }
  EXPECT_TRUE(rig.list().Selected().empty());  // added rows are not selected
}

}  // namespace
}  // namespace quillet::testing
