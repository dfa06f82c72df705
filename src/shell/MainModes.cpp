// The main window's track advance, play modes, playlist files and settings command.
#include "shell/TfrmMain.h"

namespace quillet {

// Comes next: play the selected row afresh.
void TfrmMain::ListViewLstDblClick() {}

// Comes next: the previous row, or the previous entry in the loop modes.
void TfrmMain::btnPrevClick() {}

// Comes next: the next row, or the next entry in the loop modes.
void TfrmMain::btnNextClick() {}

// Comes next: switch list loop on or off.
void TfrmMain::ItemLoopLstClick() {}

// Comes next: switch loop selection on or off, taking the selected paths.
void TfrmMain::ItemLoopSelClick() {}

// Comes next: switch single loop on or off.
void TfrmMain::ItemLoopSingleClick() {}

// Comes next: save the rows to a playlist file.
void TfrmMain::ItemSaveLstClick() {}

// Comes next: append the rows of a playlist file.
void TfrmMain::ItemLoadLstClick() {}

// Comes next: show the settings dialog modally.
void TfrmMain::btnConfigureClick() {}

}  // namespace quillet
