// The settings dialog: the lyric directory and the two association flags of the settings file.
#pragma once

#include <QDialog>
#include <string>

#include "common/PlayerState.h"
#include "platform/Dialogs.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace quillet {

class TfrmConfig : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 382;
  static constexpr int kClientHeight = 126;

  TfrmConfig(PlayerShared& state, Dialogs& dialogs, QWidget* mainWindow);

  PlayerShared& State;
  Dialogs& Dlg;

  QGroupBox* GBPath;
  QLabel* LBLyricPath;
  QLineEdit* EditLyricPath;
  QPushButton* btnLyricPath;
  QGroupBox* GBRelate;
  QCheckBox* CBMp3;
  QCheckBox* CBWave;
  QPushButton* btnPathOk;
  QPushButton* btnPathClose;

  void FormCreate();
  // Bodies in ConfigDialog.cpp.
  void FormShow();
  void btnLyricPathClick();
  void btnPathOkClick();
  void btnPathCloseClick();
  // Shows the dialog modal to the main window (and so to the lyric editor, its child window),
  // without a nested event loop; the tray icon and its menu keep working.
  void ShowModal();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  // The directory text as read from the file or chosen in the browser, as bytes: an edit box
  // still showing it unchanged writes these bytes back, not a re-encoding of what it shows.
  std::string shownPathBytes_;
};

}  // namespace quillet
