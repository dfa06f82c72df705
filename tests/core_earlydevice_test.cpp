// The engine's start-up work runs on a worker; the main window's creation takes its outcomes in
// order: the back-end check, then the device, which is left alone when the check fails.
#include "player/EarlyDevice.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "audio/AudioEngine.h"
#include "support/ScriptedEngine.h"

namespace quillet {
namespace {

TEST(EarlyDevice, OutcomesComeInTheCreationsOrderWithTheWorkersErrorCode) {
  testing::ScriptedEngine well, noDevice, wrongLibraries;
  noDevice.initFails = audio::kErrDriver;
  wrongLibraries.backEndOk = false;
  // The real engine keeps its error code per thread: read on the caller, it would say "no error".
  audio::AudioEngine real([](int, std::uint32_t, int* error) {
    *error = audio::kErrDriver;
    return std::shared_ptr<audio::OutputDevice>();
  });
  struct Case {
    const char* what;
    audio::Engine* engine;
    bool backEndOk;
    std::optional<int> deviceError;
  };
  const Case cases[] = {
      {"all well", &well, true, std::nullopt},
      {"no device", &noDevice, true, audio::kErrDriver},
      {"no device, real engine", &real, true, audio::kErrDriver},
      {"wrong libraries", &wrongLibraries, false, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EarlyDevice early(*c.engine);
    std::string why;
    EXPECT_EQ(early.BackEndOk(&why), c.backEndOk) << why;
    EXPECT_EQ(why.empty(), c.backEndOk);
    EXPECT_EQ(early.DeviceError(), c.deviceError);
  }
  EXPECT_EQ(well.initDevice, -1);
  EXPECT_EQ(wrongLibraries.initDevice, 0);  // never asked for
}

}  // namespace
}  // namespace quillet
