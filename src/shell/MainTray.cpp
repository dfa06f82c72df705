// Hiding to the notification area and coming back from it.
#include "shell/TfrmMain.h"

namespace quillet {

// Comes next: hide the lyric editor, the taskbar entry and the window.
void TfrmMain::btnHideAppClick() {}

// Comes next: hide when shown, show when hidden.
void TfrmMain::AppTrayIconLButtonDblClick() {}

}  // namespace quillet
