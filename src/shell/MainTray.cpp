#include "shell/MainTray.h"

#include <QCoreApplication>

#include "shell/TfrmAbout.h"
#include "shell/TfrmConfig.h"
#include "shell/TfrmLyric.h"
#include "shell/TfrmMain.h"

namespace quillet {

MainTray::MainTray(TfrmMain& main) : QObject(&main), w_(main) {
  setObjectName(QStringLiteral("MainTray"));
  connect(w_.AppTrayIcon, &TRzTrayIcon::EnabledChanged, this,
          [this](bool present) { AppTrayIconEnabledChanged(present); });
  connect(w_.AppTrayIcon, &TRzTrayIcon::OnEndSession, this, [this] { AppTrayIconEndSession(); });
  connect(w_.AppTrayIcon, &TRzTrayIcon::OnLButtonDblClick, this,
          [this] { AppTrayIconLButtonDblClick(); });
}

void MainTray::btnHideAppClick() { HideProgram(); }

// A minimised window is still visible, so the toggle hides it rather than restoring it.
void MainTray::AppTrayIconLButtonDblClick() {
  if (w_.isVisible()) {
    HideProgram();
  } else {
    ShowProgram();
  }
}

void MainTray::HideProgram() {
  if (!w_.isVisible()) return;
  // The editor goes first, also when the window is only minimised: it is not shown again.
  TfrmLyric* lyric = w_.Windows.lyric;
  if (lyric != nullptr && lyric->isVisible()) lyric->hide();
  if (!w_.AppTrayIcon->Enabled()) {
    // No notification area: hidden, the program could not be reached again.
    w_.showMinimized();
    return;
  }
  // The tray menu can hide the window while a box is open over it (the box does not block the
  // menu): the box is closed as its own close button would close it, so that nothing of it stays
  // on screen without its window.
  if (w_.Windows.about != nullptr && w_.Windows.about->isVisible()) w_.Windows.about->btnOkClick();
  if (w_.Windows.config != nullptr && w_.Windows.config->isVisible()) {
    w_.Windows.config->btnPathCloseClick();
  }
  // A hidden window has no taskbar entry; the window keeps its place for the way back.
  w_.hide();
  hiddenToTray_ = true;
}

void MainTray::ShowProgram() {
  hiddenToTray_ = false;
  // Hidden while minimised, it comes back in its normal state: the user asked to see it.
  if (w_.isMinimized()) w_.setWindowState(w_.windowState() & ~Qt::WindowMinimized);
  w_.show();
  w_.raise();
  w_.activateWindow();
}

void MainTray::AppTrayIconEnabledChanged(bool present) {
  if (present || !hiddenToTray_ || w_.isVisible()) return;
  // The notification area went away with the program hidden in it; until it comes back the
  // taskbar is the way back.
  hiddenToTray_ = false;
  w_.showMinimized();
}

void MainTray::AppTrayIconEndSession() {
  // The exit command's own request to quit comes through here too, once it has begun (and the
  // player is no longer ready); its steps are not run twice.
  if (w_.Player.Snapshot().ready) btnExitAppClick();
  // The close query refuses every close, and the application's own quit, which asks the windows
  // to close first, would be refused with it.
  QCoreApplication::exit(0);
}

void MainTray::FormCloseQuery(bool& CanClose) {
  CanClose = false;
  // To the notification area, playing on.
  if (w_.isVisible()) btnHideAppClick();
}

void MainTray::btnExitAppClick() {
  // No tick acts from here on, also one that would come from a box still open.
  w_.ShowTimer->stop();
  w_.Player.Shutdown();
  w_.AppTrayIcon->SetEnabled(false);
  // quit() would first ask the windows to close, and the close query refuses every close.
  QCoreApplication::exit(0);
}

}  // namespace quillet
