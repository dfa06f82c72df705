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

TEST(EarlyDevice, OutcomesComeInTheCreationsOrder) {
  struct Case {
    const char* what;
    bool backEndOk;
    std::optional<int> initFails;
    std::optional<int> deviceError;
    int initDevice;  // what Init was asked for; 0 when it was not called
  };
  const Case cases[] = {
      {"all well", true, std::nullopt, std::nullopt, -1},
      {"no device", true, audio::kErrDriver, audio::kErrDriver, -1},
      {"wrong libraries", false, std::nullopt, std::nullopt, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testing::ScriptedEngine engine;
    engine.backEndOk = c.backEndOk;
    engine.initFails = c.initFails;
    EarlyDevice early(engine);
    std::string why;
    EXPECT_EQ(early.BackEndOk(&why), c.backEndOk);
    EXPECT_EQ(why.empty(), c.backEndOk);
    EXPECT_EQ(early.DeviceError(), c.deviceError);
    EXPECT_EQ(engine.initDevice, c.initDevice);
  }
}

TEST(EarlyDevice, TheErrorCodeIsReadOnTheWorker) {
  // The engine keeps its error code per thread: read on the caller, it would say "no error".
  audio::AudioEngine engine([](int, std::uint32_t, int* error) {
    *error = audio::kErrDriver;
    return std::shared_ptr<audio::OutputDevice>();
  });
  EarlyDevice early(engine);
  std::string why;
  ASSERT_TRUE(early.BackEndOk(&why)) << why;
  EXPECT_EQ(early.DeviceError(), audio::kErrDriver);
}

}  // namespace
}  // namespace quillet
