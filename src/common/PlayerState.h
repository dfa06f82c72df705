// The player's state values, and the little that all the windows share: the version text, the
// lyric directory and the options of our own settings file. The play state itself is the
// player's own (player/PlaySession.h).
#pragma once

#include <cstdint>
#include <string>

#include "common/Options.h"

namespace quillet {

enum TPlayerState : std::uint8_t {
  psStopped = 0,
  psPaused = 1,
  psPlaying = 2,
  psSeeking = 3,  // the user holds the seek bar
};

enum TPlayMode : std::uint8_t {
  pmLoopLst = 0,     // loop the playlist
  pmLoopSingle = 1,  // repeat the current track
  pmLoopSel = 2,     // loop the rows selected when the mode was switched on
  pmNone = 3,        // no automatic advance
};

inline constexpr const char* kVersionText = "Quillet 06.12.15";

struct PlayerShared {
  std::string VersionText;  // set early in the main window's creation step
  std::string LyricDir;     // bytes, as read from the settings record; empty when none
  Options options;          // read at start; the Options window changes them
};

}  // namespace quillet
