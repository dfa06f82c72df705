// The main window's lyric editor command.
#include "shell/TfrmLyric.h"
#include "shell/TfrmMain.h"

namespace quillet {

void TfrmMain::btnEditLyricClick() {
  if (frmLyric == nullptr) return;
  if (frmLyric->isVisible()) {
    frmLyric->frmLyricTimer->stop();
    frmLyric->close();
    return;
  }
  // Sized before it shows; placed again once shown, when its frame is known, and from then on
  // by every tick of its timer.
  frmLyric->DockLyricEditor();
  frmLyric->frmLyricTimer->start();
  frmLyric->show();
  frmLyric->DockLyricEditor();
}

}  // namespace quillet
