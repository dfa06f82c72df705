// The small rules of playback that the main window applies on every tick and command: the
// progress caption, the whole-second bar values, the transport buttons' enabled states, the
// volume bar's sync with the output volume, the play cursors' wrap-around and the context menu's
// enabled items. Plain functions of the state, no widgets.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/PlayerState.h"

namespace quillet {

// Every progress caption starts with this; stopped with no row selected it is the whole caption.
inline constexpr const char* kProgressCaption = "=·=播放进度=·=";
inline constexpr const char* kProgressSeparator = "=·=";

// "=·=播放进度=·=" position "=·=" length; either text may be empty.
std::string ProgressCaption(std::string_view positionText, std::string_view lengthText);
// Stopped: with a selected row "=·=播放进度=·=00:00=·=" and that row's length text; without
// one just "=·=播放进度=·=".
std::string StoppedProgressCaption(bool rowSelected, std::string_view rowLengthText);

// Seconds to the nearest whole second for the seek bar, a half going to the even neighbour;
// clamped into 0..INT_MAX (a NaN reads as 0).
int WholeSeconds(double seconds);

// The enabled states of the five transport buttons. Empty members are left as they are.
struct TransportStates {
  std::optional<bool> prev, play, pause, stop, next;
};
// selectedRow: the first selected row or -1; rowCount: the rows of the playlist.
TransportStates TransportButtonStates(TPlayerState state, int selectedRow, int rowCount);

// The volume bar's new position for the output volume `packed` (left channel in the low 16
// bits, right in the high 16 bits): the larger channel when the bar differs from either, else
// nothing (the bar already shows it).
std::optional<int> VolumeBarFollow(std::uint32_t packed, int barPosition);
// The output volume for a bar position: the same value in both channels.
std::uint32_t PackedVolume(int barPosition);

// The output volume as a fraction (0 to 1, full volume exactly 1) and back, rounded to the
// nearest step and clamped (a NaN reads as 0).
double VolumeFraction(int position);
int VolumePosition(double fraction);

// A play cursor brought into range for `count` entries (count > 0): above the last index it
// becomes 0, then below 0 it becomes the last index.
std::int32_t WrapCursor(std::int32_t index, int count);

// The context menu's enabled items that depend on the playlist and the stream.
struct MenuStates {
  bool delLst, saveLst, clearLst, loopLst, loopSel, loopSingle;
};
MenuStates PopupMenuStates(int rowCount, bool anySelected, std::uint32_t currentStream);

// From this many files on, adding that is still going after kAddProgressDelayMs shows a progress
// dialog with the count; a quick add shows none, rather than flash one up for an instant.
inline constexpr int kAddProgressThreshold = 40;
inline constexpr int kAddProgressDelayMs = 500;

}  // namespace quillet
