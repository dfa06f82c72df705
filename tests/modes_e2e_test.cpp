// List loop on the real engine (SDL's dummy driver): three generated one-second files play
// through in order and wrap to the first, with the refresh tick called as the timer would.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <chrono>
#include <thread>

#include "audio/AudioEngine.h"
#include "support/PlayRig.h"
#include "support/fixtures/AudioFixtures.h"

namespace quillet::testing {
namespace {

using Clock = std::chrono::steady_clock;

TEST(ModesEndToEnd, ListLoopPlaysThreeFilesInOrderAndWraps) {
  audio::AudioEngine engine;
  PlayRig rig(&engine);
  TfrmMain& w = rig.main();
  for (const char* name : {"one.wav", "two.wav", "three.wav"}) {
    WriteSineWave(rig.File(name), 1.0);
    w.List->AddTrackRow(rig.File(name));
  }
  rig.Select({0}, 0);
  w.Modes->ItemLoopLstClick();

  // Every start shows up as a new stream; the selected row tells which.
  std::vector<int> started;
  audio::Handle last = 0;
  const auto end = Clock::now() + std::chrono::seconds(12);
  while (started.size() < 4 && Clock::now() < end) {
    QCoreApplication::processEvents();
    rig.Tick();
    if (rig.session().Snapshot().state == psPlaying && rig.Current() != last) {
      last = rig.Current();
      started.push_back(w.Player.List().FirstSelected());
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_EQ(started, (std::vector<int>{0, 1, 2, 0}));
  EXPECT_TRUE(rig.dialogs.messages.empty());
  w.Transport->btnStopClick();
}

}  // namespace
}  // namespace quillet::testing
