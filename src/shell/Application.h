// Program start: the application object, the player over the engine the program hands in, and
// the four windows, created in their order, the faces that show the player; then the message
// loop.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/PlayerState.h"
#include "platform/Dialogs.h"
#include "player/PlaySession.h"
#include "shell/TfrmMain.h"

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

// Creates the main window (running its creation step), then the About box, the lyric editor and
// the settings dialog, which take their captions from the version text the first one has set.
// When the back-end test fails, only the main window exists (and the process was told to end).
Windows CreateWindows(PlaySession& player, Dialogs& dialogs, const StartHooks& hooks = {});

// What the running program does with the files a later start hands over: brings the window to
// the front and adds and starts them, as from the command line; nothing after exit.
std::function<void(const std::vector<std::string>&)> HandedFilesReceiver(TfrmMain& main);

// Runs the program on `engine` until the exit command.
int RunApplication(int argc, char** argv, audio::Engine& engine);

}  // namespace quillet
