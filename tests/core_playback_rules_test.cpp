#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <utility>
#include <vector>

#include "player/PlaybackRules.h"

namespace quillet {
namespace {

TEST(ProgressCaption, JoinsPositionAndLengthWithEitherEmpty) {
  EXPECT_EQ(ProgressCaption("01:05", "03:07"), "=·=播放进度=·=01:05=·=03:07");
  // Position 0 gives an empty position text; an unknown length an empty length text.
  EXPECT_EQ(ProgressCaption("", "03:07"), "=·=播放进度=·==·=03:07");
  EXPECT_EQ(ProgressCaption("00:05", ""), "=·=播放进度=·=00:05=·=");
}

TEST(ProgressCaption, StoppedShowsTheSelectedRowsLengthOrNothing) {
  EXPECT_EQ(StoppedProgressCaption(false, "03:07"), "=·=播放进度=·=");
  EXPECT_EQ(StoppedProgressCaption(true, "03:07"), "=·=播放进度=·=00:00=·=03:07");
  EXPECT_EQ(StoppedProgressCaption(true, ""), "=·=播放进度=·=00:00=·=");
}

TEST(WholeSeconds, RoundsHalvesToEvenAndStaysInRange) {
  EXPECT_EQ(WholeSeconds(2.5), 2);
  EXPECT_EQ(WholeSeconds(3.5), 4);
  EXPECT_EQ(WholeSeconds(3.49), 3);
  EXPECT_EQ(WholeSeconds(187.6), 188);
  EXPECT_EQ(WholeSeconds(0.5), 0);
  EXPECT_EQ(WholeSeconds(1.0), 1);  // the fallback length of a stream without one
  EXPECT_EQ(WholeSeconds(-3), 0);
  EXPECT_EQ(WholeSeconds(std::nan("")), 0);
  EXPECT_EQ(WholeSeconds(1e300), INT_MAX);
}

TEST(TransportButtons, PlayingFollowsTheSelectedRowsPlaceInTheList) {
  TransportStates s = TransportButtonStates(psPlaying, 1, 3);
  EXPECT_EQ(s.play, false);
  EXPECT_EQ(s.pause, true);
  EXPECT_EQ(s.stop, true);
  EXPECT_EQ(s.prev, true);
  EXPECT_EQ(s.next, true);

  s = TransportButtonStates(psPlaying, 0, 3);
  EXPECT_EQ(s.prev, false);
  EXPECT_EQ(s.next, true);
  s = TransportButtonStates(psPlaying, 2, 3);
  EXPECT_EQ(s.prev, true);
  EXPECT_EQ(s.next, false);
  s = TransportButtonStates(psPlaying, 0, 1);
  EXPECT_EQ(s.prev, false);
  EXPECT_EQ(s.next, false);
  s = TransportButtonStates(psPlaying, -1, 3);
  EXPECT_EQ(s.prev, false);
  EXPECT_EQ(s.next, false);
}

TEST(TransportButtons, PausedStoppedAndSeeking) {
  TransportStates s = TransportButtonStates(psPaused, 1, 3);
  EXPECT_EQ(s.play, true);
  EXPECT_EQ(s.pause, false);
  EXPECT_EQ(s.stop, true);
  EXPECT_EQ(s.prev, false);
  EXPECT_EQ(s.next, false);

  s = TransportButtonStates(psStopped, 1, 3);
  EXPECT_EQ(s.play, true);
  EXPECT_EQ(s.pause, false);
  EXPECT_EQ(s.stop, false);
  EXPECT_EQ(TransportButtonStates(psStopped, -1, 3).play, false);

  // Seeking: the neighbours go off, the other three stay as they are.
  s = TransportButtonStates(psSeeking, 1, 3);
  EXPECT_EQ(s.prev, false);
  EXPECT_EQ(s.next, false);
  EXPECT_FALSE(s.play.has_value());
  EXPECT_FALSE(s.pause.has_value());
  EXPECT_FALSE(s.stop.has_value());
}

TEST(Volume, BarFollowsTheLouderChannelOnlyWhenItDiffers) {
  const std::uint32_t leftLowRightHigh = 20000u | (30000u << 16);
  EXPECT_EQ(VolumeBarFollow(leftLowRightHigh, 0), 30000);
  // Already at the louder channel, but the other differs: set again (to the same value).
  EXPECT_EQ(VolumeBarFollow(leftLowRightHigh, 30000), 30000);
  EXPECT_EQ(VolumeBarFollow(30000u | (20000u << 16), 0), 30000);
  EXPECT_EQ(VolumeBarFollow(0xFFFFFFFFu, 65535), std::nullopt);
  EXPECT_EQ(VolumeBarFollow(0, 0), std::nullopt);
  EXPECT_EQ(VolumeBarFollow(0, 10), 0);
}

TEST(Volume, PackedPutsTheSameValueInBothChannels) {
  EXPECT_EQ(PackedVolume(0), 0u);
  EXPECT_EQ(PackedVolume(65535), 0xFFFFFFFFu);
  EXPECT_EQ(PackedVolume(1), 0x00010001u);
  EXPECT_EQ(PackedVolume(70000), 0xFFFFFFFFu);
  EXPECT_EQ(PackedVolume(-4), 0u);
}

// What the desktop's media controls read and set: full volume is exactly 1, and the steps
// between are rounded to the nearest, never scaled by 65536.
TEST(Volume, FractionAndPositionMeetAtTheEndsAndRoundBetween) {
  EXPECT_EQ(VolumeFraction(65535), 1.0);
  EXPECT_EQ(VolumeFraction(0), 0.0);
  EXPECT_EQ(VolumeFraction(70000), 1.0);
  for (const auto& [fraction, position] : std::vector<std::pair<double, int>>{
           {1.0, 65535}, {0.0, 0}, {0.5, 32768}, {2.0, 65535}, {-0.5, 0}, {std::nan(""), 0}}) {
    EXPECT_EQ(VolumePosition(fraction), position) << fraction;
  }
  for (int p : {0, 1, 32767, 32768, 65534, 65535}) EXPECT_EQ(VolumePosition(VolumeFraction(p)), p);
}

TEST(WrapCursor, AboveTheLastGoesToTheFirstBelowZeroToTheLast) {
  EXPECT_EQ(WrapCursor(0, 3), 0);
  EXPECT_EQ(WrapCursor(2, 3), 2);
  EXPECT_EQ(WrapCursor(3, 3), 0);
  EXPECT_EQ(WrapCursor(99, 3), 0);
  EXPECT_EQ(WrapCursor(-1, 3), 2);
  EXPECT_EQ(WrapCursor(-2, 3), 2);  // previous from the first row in list loop
  EXPECT_EQ(WrapCursor(-1, 1), 0);
}

TEST(PopupMenu, ItemsFollowRowsSelectionAndStream) {
  MenuStates m = PopupMenuStates(0, false, 0);
  EXPECT_FALSE(m.delLst || m.saveLst || m.clearLst || m.loopLst || m.loopSel || m.loopSingle);
  m = PopupMenuStates(4, false, 0);
  EXPECT_TRUE(m.loopLst);
  EXPECT_FALSE(m.delLst || m.saveLst || m.clearLst || m.loopSel || m.loopSingle);
  m = PopupMenuStates(4, true, 7);
  EXPECT_TRUE(m.delLst && m.saveLst && m.clearLst && m.loopLst && m.loopSel && m.loopSingle);
}

}  // namespace
}  // namespace quillet
