// The main window's playback, refresh, seek, volume and playlist handlers, and closing and exit.
#include <QCoreApplication>

#include "player/audio/AudioEngine.h"
#include "shell/TfrmMain.h"

namespace quillet {

// Comes next: the lyric file of a fresh track, its header or the song, artist and album line.
void TfrmMain::AnnounceTrack(const std::string&, const std::string&, const std::string&,
                             const std::string&) {}

// Comes next: play or resume the selected row.
void TfrmMain::btnPlayClick() {}

// Comes next: pause the current stream.
void TfrmMain::btnPauseClick() {}

// Comes next: stop and free the current stream, clear the lyric and the play mode.
void TfrmMain::btnStopClick() {}

// Comes next: the 150 ms main loop (volume, play modes, progress, lyric, end of track, buttons).
void TfrmMain::ShowTimerTimer() {}

// Comes next: hand the focus on to GBPlayProgress.
void TfrmMain::tbPlayProgressEnter() {}

// Comes next: stop the refresh timer, pause, seeking state.
void TfrmMain::tbPlayProgressMouseDown(Qt::MouseButton, Qt::KeyboardModifiers, int, int) {}

// Comes next: preview the target time and its lyric line while seeking.
void TfrmMain::tbPlayProgressChange() {}

// Comes next: seek to the bar's second, play, restart the refresh timer.
void TfrmMain::tbPlayProgressMouseUp(Qt::MouseButton, Qt::KeyboardModifiers, int, int) {}

// Comes next: hand the focus on to GBPlayControl.
void TfrmMain::tbSetVolumeEnter() {}

// Comes next: set the output volume of both channels to the bar's position.
void TfrmMain::tbSetVolumeUserChange() {}

// Comes next: the lyric strip's text for a time text or the header summary.
void TfrmMain::ShowLyric(const std::string&) {}

// Comes next: probe the file and append its row.
void TfrmMain::AddTrackRow(const std::string&) {}

// Comes next: add files chosen in the open dialog.
void TfrmMain::btnAddLstClick() {}

// Comes next: add every dropped file.
void TfrmMain::WMDropFiles(const std::vector<std::string>&) {}

// Comes next: delete the selected rows after a question.
void TfrmMain::btnDelLstClick() {}

// Comes next: clear the list after a question.
void TfrmMain::ItemClearLstClick() {}

// Comes next: keep the focused row selected.
void TfrmMain::ListViewLstClick() {}

// Comes next: scroll the row into view.
void TfrmMain::ListViewLstSelectItem(int, bool) {}

// Comes next: the menu items' enabled states and the hide item's caption.
void TfrmMain::PopupMenuContrlsPopup() {}

// The window never closes; hiding to the notification area comes next.
void TfrmMain::FormCloseQuery(bool& CanClose) { CanClose = false; }

void TfrmMain::btnExitAppClick() {
  ShowTimer->stop();
  State.engine.StreamFree(State.CurrentStream);
  State.CurrentStream = 0;
  State.engine.Free();
  LyricLines.clear();
  SelPaths.clear();
  AppTrayIcon->SetEnabled(false);
  QCoreApplication::quit();
}

}  // namespace quillet
