// Play, pause and stop, the refresh tick, seeking and the volume, on the player alone: the state
// each command leaves, what a tick makes of the end of a track, the progress caption and the
// transport commands per state, the lyric line shown, and the failures reported on the way.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "support/PlayerRig.h"

namespace quillet::testing {
namespace {

struct Case {
  const char* what;
  std::function<void(PlayerRig&)> setup;
  std::string script;
};

void RunAll(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    PlayerRig rig;
    c.setup(rig);
    rig.Run(c.what, c.script);
  }
}

void Three(PlayerRig& rig) { rig.Tracks(3); }
// One track of 30 seconds, with `lyric` beside it unless that is null.
std::function<void(PlayerRig&)> Song(const char* lyric, double seconds = 30) {
  return [=](PlayerRig& rig) {
    rig.AddRow("song.mp3", seconds, "00:30");
    if (lyric != nullptr) rig.Write("song.lrc", lyric);
  };
}

TEST(PlayerTick, CommandsAndTheEndOfATrack) {
  RunAll({
      {"play, pause, resume and stop follow the state table", Three,
       "select:0 play state=playing plays=0 stream=playing mark at:42 pause state=paused "
       "play state=playing marked=current pos=42 "
       // Paused with no row selected, play does nothing; stop frees.
       "pause select: play state=paused stop state=stopped plays=- marked=freed box=-"},
      {"an ended stream is held; play starts the selected row afresh", Three,
       "select:0 play mark end tick state=stopped marked=current select:1 play marked=freed "
       "plays=1"},
      {"a file that cannot be opened is reported with its code and stops",
       [](PlayerRig& rig) { rig.AddRow("missing.mp3", 0); },
       "select:0 play state=stopped plays=- box=stream:2 lyric= tick lyric=-"},
      {"pause and stop without a stream change nothing, the mode stays", Three,
       "select:0 loop-list pause stop state=stopped mode=list calls=0"},
      {"stop in a play mode ends the mode: a later play plays one track", Three,
       "select:0 loop-list tick state=playing stop mode=none tick play mark end tick:3 "
       "state=stopped marked=current"},
  });
}

TEST(PlayerTick, ProgressAndCommandsPerState) {
  RunAll({
      {"the progress caption and bar per state",
       [](PlayerRig& rig) {
         rig.Tracks(3);
         rig.AddRow("d.mp3", 187.5, "03:07");
         rig.AddRow("e.mp3", 0, "");
       },
       "select: tick caption= buttons=----- select:3 tick caption=00:00=·=03:07 buttons=-p--- "
       "select:4 tick caption=00:00=·= "
       // Playing: position 0 gives an empty position text; the bar counts whole seconds.
       "select:3 play tick caption==·=03:07 max=188 bar=0 at:65.5 tick caption=01:05=·=03:07 "
       "bar=66 pause tick:2 caption=01:05=·=03:07 bar=66 "
       // Stopped: the selected row's length, the bar at 0 with its range kept.
       "stop tick caption=00:00=·=03:07 bar=0 max=188 "
       // Played out: the tick that finds the end still shows the last position.
       "play end tick state=stopped caption=03:07=·=03:07 bar=188 tick caption=00:00=·=03:07 "
       "bar=0"},
      {"a stream without a length shows none, and a bar of one second",
       [](PlayerRig& rig) {
         rig.AddRow("live.mp3");
         rig.engine.files[rig.dir.File("live.mp3")].lengthKnown = false;
       },
       "select:0 play at:5.2 tick caption=00:05=·= max=1"},
      {"the transport commands per state and selected row", Three,
       "select:0 tick buttons=-p--- select:1 play tick buttons=P-zsN select:0 tick "
       "buttons=--zsN select:2 tick buttons=P-zs- select: tick buttons=--zs- pause tick "
       "buttons=-p-s- stop tick buttons=-----"},
  });
}

TEST(PlayerTick, LyricLine) {
  const char* const song =
      "[ti:Song]\r\n[00:05.50]Alpha\r\n[00:09.00]Beta\r\n[00:09.80]Gamma\r\n[00:15.00]\r\n"
      "[00:20.00]Delta\r\n";
  RunAll({
      {"the worked example across ticks; the end puts the placeholder back", Song(song),
       "select:0 play lyric=标题：Song____ lines=6 tick lyric=标题：Song____ "
       "at:4.9 tick lyric=标题：Song____ at:5.0 tick lyric=Alpha at:8.99 tick lyric=Alpha "
       "at:9.0 tick lyric=Beta at:9.8 tick lyric=Beta at:15.0 tick lyric=Beta "
       "at:19.5 tick lyric=Beta at:20.0 tick lyric=Delta at:29.9 tick lyric=Delta "
       "end tick lyric=- lines=6"},
      {"pause and play keep the line and go on following",
       Song("[00:09.00]Beta\n[00:20.00]Delta\n"),
       "select:0 play at:9.4 tick lyric=Beta pause tick:3 play lyric=Beta lines=2 at:20.1 tick "
       "lyric=Delta"},
      {"a GBK lyric line is shown decoded", Song("[00:01]\xC4\xE3\xBA\xC3\r\n"),
       "select:0 play at:1.2 tick lyric=你好"},
  });
}

// What the strip shows as a track starts, without a timed line yet.
TEST(PlayerTick, TheLineATrackStartsWith) {
  std::string artist(30, '\0'), album(30, ' '), tag(128, '\0');
  artist.replace(0, 3, "Ann");
  album.replace(0, 4, "Blue");
  tag.replace(0, 3, "TAG");
  tag.replace(33, 3, "Ann");
  tag.replace(63, 4, "Blue");
  RunAll({
      {"without a lyric file, the row's name, singer and album",
       [&](PlayerRig& rig) { rig.AddRow("tune.wav", 10, "00:10", artist, album); },
       "select:0 play lyric=歌曲：tune.wav____歌手：Ann____专辑：Blue"},
      {"loop selection reads the tag of a file that exists, not the row's",
       [&](PlayerRig& rig) {
         rig.AddRow("tagged.mp3", 180, "03:00", "stale", "stale");
         rig.Write("tagged.mp3", std::string(500, 'x') + tag);
       },
       "select:0 loop-sel tick lyric=歌曲：tagged.mp3____歌手：Ann____专辑：Blue"},
      {"an empty lyric file leaves the strip empty after play", Song(""),
       "select:0 play lyric= lines=0"},
      {"a settings file that cannot be read is reported; the lookup goes on beside the file",
       [](PlayerRig& rig) {
         Song("[ti:Beside]\n")(rig);
         rig.Write("cfrMsg", "short");  // fewer than 123 bytes
       },
       "select:0 play state=playing stream=playing box=failure lyric=标题：Beside____ "
       // The same in list loop, inside a tick.
       "stop loop-list tick state=playing box=failure"},
  });
}

TEST(PlayerTick, Seeking) {
  RunAll({
      {"press, drag and release", Song("[00:12.00]Twelve\n"),
       "select:0 play at:3.2 tick seek-begin state=seeking stream=paused seek-preview:12 "
       "caption=00:12=·=00:30 lyric=Twelve seek-preview:0 caption=00:00=·=00:30 seek-end:17 "
       "state=playing stream=playing pos=17 lyric=Twelve"},
      {"while paused, and after the end, plays from the chosen second", Song(nullptr),
       "select:0 play pause seek-begin seek-end:20 stream=playing pos=20 end tick state=stopped "
       "seek-begin seek-end:4 stream=playing pos=4"},
      {"the rounded-up last second goes to the end", Song(nullptr, 29.6),
       "select:0 play at:3 tick max=30 seek-begin seek-end:30 pos=29.6"},
      {"with nothing open: no preview, and stopped one tick later", Song(nullptr),
       "seek-begin seek-preview:5 caption= seek-end:5 state=playing tick state=stopped"},
  });
}

TEST(PlayerTick, VolumeAndTheEndOfTheProgram) {
  PlayerRig rig;
  rig.Tracks(3);
  // A tick reads the output's volume (the louder channel) and writes nothing back.
  rig.engine.volume = 20000u | (30000u << 16);
  rig.Run("read", "tick volume=30000 tick");
  EXPECT_EQ(rig.engine.setVolumeCalls, 0);
  // A volume set goes to both channels.
  for (const auto& [bar, packed] : {std::pair<int, std::uint32_t>{12345, 12345u | (12345u << 16)},
                                    {0, 0u},
                                    {65535, 0xFFFFFFFFu}}) {
    rig.player.SetVolume(bar);
    EXPECT_EQ(rig.engine.volume, packed) << bar;
  }
  // After the end of the program no tick acts.
  rig.player.Shutdown();
  rig.engine.calls.clear();
  rig.engine.volume = 1000;
  rig.Run("after exit", "tick calls=0 state=stopped");
  EXPECT_NE(rig.now().volume, 1000);
}

}  // namespace
}  // namespace quillet::testing
