// The program-wide player state: one instance, created at start-up and handed to the four
// windows, which read and write it directly. Displays follow it by polling in the refresh tick.
#pragma once

#include <cstdint>
#include <string>

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
  std::uint32_t CurrentStream = 0;
  TPlayerState PlayerState = psStopped;
  // Zero until the main window's creation step sets pmNone, as the raw value would be.
  TPlayMode PlayMode = pmLoopLst;
  std::string LyricDir;  // bytes, as read from the settings record; empty when none

  // Set at the end of the main window's creation step; ticks before it do nothing.
  bool Ready = false;
};

}  // namespace quillet
