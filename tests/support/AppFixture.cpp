#include "support/AppFixture.h"

#include "audio/AudioEngine.h"

namespace quillet::testing {

AppFixture::AppFixture() : AppFixture(Options{}) {}

AppFixture::AppFixture(Options options) {
  if (options.workDir.empty()) {
    tempDir_ = std::make_unique<TempDir>();
    workDir_ = tempDir_->path();
  } else {
    workDir_ = options.workDir;
  }
  cwd_ = std::make_unique<ScopedCurrentDir>(workDir_);
  if (options.beforeStart) options.beforeStart(workDir_);

  if (options.engine != nullptr) {
    engine_ = options.engine;
  } else {
    ownEngine_ = std::make_unique<audio::AudioEngine>();
    engine_ = ownEngine_.get();
  }
  if (options.dialogs != nullptr) dialogs_ = options.dialogs;
  state_ = std::make_unique<PlayerShared>();
  session_ = std::make_unique<PlaySession>(*state_, *engine_);

  StartHooks hooks;
  if (options.backEndOk.has_value()) {
    const bool ok = *options.backEndOk;
    hooks.backEndCheck = [ok](std::string* why) {
      if (!ok && why != nullptr) *why = "scripted back-end failure";
      return ok;
    };
  }
  hooks.endProcess = [this] { processEnded_ = true; };
  windows_ = CreateWindows(*session_, *dialogs_, hooks);
  if (!options.runTimer) windows_.main->ShowTimer->stop();
}

AppFixture::~AppFixture() {
  if (windows_.main) windows_.main->ShowTimer->stop();
  windows_.main.reset();
}

}  // namespace quillet::testing
