// Hiding to the notification area and coming back from it, and ending with the desktop session.
#include <QCoreApplication>

#include "shell/TfrmAbout.h"
#include "shell/TfrmConfig.h"
#include "shell/TfrmLyric.h"
#include "shell/TfrmMain.h"

namespace quillet {

void TfrmMain::WireTray() {
  connect(AppTrayIcon, &TRzTrayIcon::EnabledChanged, this,
          [this](bool present) { AppTrayIconEnabledChanged(present); });
  connect(AppTrayIcon, &TRzTrayIcon::OnEndSession, this, [this] { AppTrayIconEndSession(); });
}

void TfrmMain::btnHideAppClick() { HideProgram(); }

// A minimised window is still visible, so the toggle hides it rather than restoring it.
void TfrmMain::AppTrayIconLButtonDblClick() {
  if (isVisible()) {
    HideProgram();
  } else {
    ShowProgram();
  }
}

void TfrmMain::HideProgram() {
  if (!isVisible()) return;
  // The editor goes first, also when the window is only minimised: it is not shown again.
  if (frmLyric != nullptr && frmLyric->isVisible()) frmLyric->hide();
  if (!AppTrayIcon->Enabled()) {
    // No notification area: hidden, the program could not be reached again.
    showMinimized();
    return;
  }
  // The tray menu can hide the window while a box is open over it (the box does not block the
  // menu): the box is closed as its own close button would close it, so that nothing of it stays
  // on screen without its window.
  if (frmAbout != nullptr && frmAbout->isVisible()) frmAbout->btnOkClick();
  if (frmConfig != nullptr && frmConfig->isVisible()) frmConfig->btnPathCloseClick();
  // A hidden window has no taskbar entry; the window keeps its place for the way back.
  hide();
  hiddenToTray_ = true;
}

void TfrmMain::ShowProgram() {
  hiddenToTray_ = false;
  // Hidden while minimised, it comes back in its normal state: the user asked to see it.
  if (isMinimized()) setWindowState(windowState() & ~Qt::WindowMinimized);
  show();
  raise();
  activateWindow();
}

void TfrmMain::AppTrayIconEnabledChanged(bool present) {
  if (present || !hiddenToTray_ || isVisible()) return;
  // The notification area went away with the program hidden in it; until it comes back the
  // taskbar is the way back.
  hiddenToTray_ = false;
  showMinimized();
}

void TfrmMain::AppTrayIconEndSession() {
  // The exit command's own request to quit comes through here too, once it has begun (and the
  // state is no longer ready); its steps are not run twice.
  if (State.Ready) btnExitAppClick();
  // The close query refuses every close, and the application's own quit, which asks the windows
  // to close first, would be refused with it.
  QCoreApplication::exit(0);
}

}  // namespace quillet
