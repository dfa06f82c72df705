#include "player/PlaybackRules.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace quillet {

std::string ProgressCaption(std::string_view positionText, std::string_view lengthText) {
  std::string caption = kProgressCaption;
  caption += positionText;
  caption += kProgressSeparator;
  caption += lengthText;
  return caption;
}

std::string StoppedProgressCaption(bool rowSelected, std::string_view rowLengthText) {
  if (!rowSelected) return kProgressCaption;
  return ProgressCaption("00:00", rowLengthText);
}

int WholeSeconds(double seconds) {
  if (!(seconds > 0)) return 0;
  if (seconds >= static_cast<double>(INT_MAX)) return INT_MAX;
  return static_cast<int>(std::nearbyint(seconds));  // the default rounding: half to even
}

TransportStates TransportButtonStates(TPlayerState state, int selectedRow, int rowCount) {
  TransportStates s;
  if (state == psPlaying) {
    s.play = false;
    s.pause = true;
    s.stop = true;
    if (selectedRow >= 0) {
      s.next = selectedRow != rowCount - 1;
      s.prev = selectedRow != 0;
    } else {
      s.prev = false;
      s.next = false;
    }
    return s;
  }
  s.prev = false;
  s.next = false;
  if (state == psPaused) {
    s.play = true;
    s.pause = false;
    s.stop = true;
  } else if (state == psStopped) {
    s.play = selectedRow >= 0;
    s.pause = false;
    s.stop = false;
  }
  return s;
}

std::optional<int> VolumeBarFollow(std::uint32_t packed, int barPosition) {
  const int left = static_cast<int>(packed & 0xFFFFu);
  const int right = static_cast<int>(packed >> 16);
  if (barPosition == left && barPosition == right) return std::nullopt;
  return std::max(left, right);
}

std::uint32_t PackedVolume(int barPosition) {
  const auto v = static_cast<std::uint32_t>(std::clamp(barPosition, 0, 65535));
  return v | (v << 16);
}

double VolumeFraction(int position) {
  return static_cast<double>(std::clamp(position, 0, 65535)) / 65535.0;
}

int VolumePosition(double fraction) {
  if (!(fraction > 0)) return 0;
  if (fraction >= 1) return 65535;
  return static_cast<int>(std::lround(fraction * 65535.0));
}

std::int32_t WrapCursor(std::int32_t index, int count) {
  if (index > count - 1) index = 0;
  if (index < 0) index = count - 1;
  return index;
}

MenuStates PopupMenuStates(int rowCount, bool anySelected, std::uint32_t currentStream) {
  MenuStates m{};
  m.delLst = anySelected;
  m.saveLst = anySelected;
  m.clearLst = anySelected;
  m.loopLst = rowCount > 0;
  m.loopSel = anySelected;
  m.loopSingle = currentStream != 0;
  return m;
}

}  // namespace quillet
