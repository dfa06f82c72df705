// The main window's lyric editor command.
#include "shell/TfrmMain.h"

namespace quillet {

// Comes next: open the lyric editor docked beside the window, or close it.
void TfrmMain::btnEditLyricClick() {}

}  // namespace quillet
