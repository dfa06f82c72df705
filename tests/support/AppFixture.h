// The whole program without its message loop, for widget tests: an engine (the real one on the
// dummy audio driver, or the scripted one), the shared state, the playback layer, scripted
// dialogs and the four windows created in their order, in a fresh working directory. Nothing is
// shown. Keep one fixture with a real engine alive at a time: the engine holds the sound device.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "audio/Engine.h"
#include "common/PlayerState.h"
#include "player/PlaySession.h"
#include "shell/Application.h"
#include "shell/MainFiles.h"
#include "shell/MainList.h"
#include "shell/MainModes.h"
#include "shell/MainTransport.h"
#include "shell/MainTray.h"
#include "shell/TfrmAbout.h"
#include "shell/TfrmConfig.h"
#include "shell/TfrmLyric.h"
#include "shell/TfrmMain.h"
#include "support/ScriptedDialogs.h"
#include "support/fixtures/FileFixtures.h"

namespace quillet::testing {

class AppFixture {
 public:
  struct Options {
    // Not owned; must outlive the fixture. Null: a real engine owned by the fixture.
    audio::Engine* engine = nullptr;
    // Not owned; must outlive the fixture. Null: scripted dialogs owned by the fixture.
    ScriptedDialogs* dialogs = nullptr;
    // What the start-up back-end test answers (the real test when empty).
    std::optional<bool> backEndOk = true;
    // The working directory during the test; empty: a fresh temporary one.
    std::string workDir;
    // Runs in the working directory before the windows are created (e.g. to write cfrMsg).
    std::function<void(const std::string& workDir)> beforeStart;
    // Keep the refresh timer running (by default it is stopped, so ticks come only from the test).
    bool runTimer = false;
  };

  AppFixture();
  explicit AppFixture(Options options);
  ~AppFixture();
  AppFixture(const AppFixture&) = delete;
  AppFixture& operator=(const AppFixture&) = delete;

  audio::Engine& engine() { return *engine_; }
  PlayerShared& state() { return *state_; }
  PlaySession& session() { return *session_; }
  ScriptedDialogs& dialogs() { return *dialogs_; }
  const std::string& workDir() const { return workDir_; }

  TfrmMain& main() { return *windows_.main; }
  TfrmAbout& about() { return *windows_.about; }
  TfrmLyric& lyric() { return *windows_.lyric; }
  TfrmConfig& config() { return *windows_.config; }
  // False when the start-up test failed: only the main window exists then.
  bool started() const { return windows_.about != nullptr; }
  // True when the start-up asked for the process to end.
  bool processEnded() const { return processEnded_; }

 private:
  std::unique_ptr<TempDir> tempDir_;
  std::string workDir_;
  std::unique_ptr<ScopedCurrentDir> cwd_;
  std::unique_ptr<audio::Engine> ownEngine_;
  audio::Engine* engine_ = nullptr;
  std::unique_ptr<PlayerShared> state_;
  std::unique_ptr<PlaySession> session_;
  ScriptedDialogs ownDialogs_;
  ScriptedDialogs* dialogs_ = &ownDialogs_;
  bool processEnded_ = false;
  Windows windows_;
};

}  // namespace quillet::testing
