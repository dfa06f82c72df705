// The main window's tray seam: hiding to the notification area and coming back from it, closing
// (which hides), the exit command, and ending with the desktop session.
#pragma once

#include <QObject>

#include "shell/MainMpris.h"

namespace quillet {

class TfrmMain;

class MainTray : public QObject, public ProgramWindow {
 public:
  explicit MainTray(TfrmMain& main);

  void btnHideAppClick();
  void AppTrayIconLButtonDblClick();
  // The hide sequence (the close query hides with it too) and the show sequence. Without a
  // notification area hiding minimises the window instead, so the way back stays in the taskbar.
  void HideProgram();
  void ShowProgram() override;
  // The notification area appeared or went away; a program hidden in it comes back minimised.
  void AppTrayIconEnabledChanged(bool present);
  // The desktop session ends: the program ends as the exit command ends it.
  void AppTrayIconEndSession();
  void FormCloseQuery(bool& CanClose);
  void btnExitAppClick();
  void Exit() override { btnExitAppClick(); }

 private:
  TfrmMain& w_;
  bool hiddenToTray_ = false;
};

}  // namespace quillet
