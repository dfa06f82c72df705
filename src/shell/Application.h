// Program start: the application object, the shared state, the playback layer over the engine
// the program hands in, and the four windows, created in their order; then the message loop.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "common/PlayerState.h"
#include "platform/Dialogs.h"
#include "player/PlaySession.h"

namespace quillet {

namespace audio {
class Engine;
}

class TfrmMain;
class TfrmAbout;
class TfrmLyric;
class TfrmConfig;

// The four windows. The main window owns the other three (they are its child windows).
struct Windows {
  std::unique_ptr<TfrmMain> main;
  TfrmAbout* about = nullptr;
  TfrmLyric* lyric = nullptr;
  TfrmConfig* config = nullptr;
};

// What the start-up step calls to test the back end and to end the process when the test
// fails; empty members keep the program's own.
struct StartHooks {
  std::function<bool(std::string*)> backEndCheck;
  std::function<void()> endProcess;
};

// Creates the main window (running its creation step), then the About box, the lyric editor and
// the settings dialog, which take their captions from the version text the first one has set.
// When the back-end test fails, only the main window exists (and the process was told to end).
Windows CreateWindows(PlayerShared& state, PlaySession& session, Dialogs& dialogs,
                      const StartHooks& hooks = {});

// Runs the program on `engine` until the exit command.
int RunApplication(int argc, char** argv, audio::Engine& engine);

}  // namespace quillet
