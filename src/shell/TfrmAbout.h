// The About box: the version text, a short description and the author's lines.
#pragma once

#include <QDialog>

#include "common/PlayerState.h"

class QGroupBox;
class QLabel;
class QPushButton;

namespace quillet {

class TfrmAbout : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 316;
  static constexpr int kClientHeight = 172;
  // The description's two parts, joined by two carriage returns as the caption holds them.
  static constexpr const char* kDescription =
      "本软件是一款基于BASS.DLL的简易方便的音频播放\r\r软件，完全免费使用，不受任何限制！";

  TfrmAbout(PlayerShared& state, QWidget* mainWindow);

  PlayerShared& State;

  QGroupBox* AboutBox;
  QLabel* VersionLabel;
  QLabel* Label2;
  QLabel* Label3;
  QLabel* Label6;
  QLabel* Label4;
  QLabel* Label7;
  QLabel* Label5;
  QLabel* Image1;
  QPushButton* btnOk;

  void FormCreate();
  void btnOkClick();
  // Shows the box modal to the main window (and so to the lyric editor, its child window), without
  // a nested event loop; the tray icon and its menu keep working.
  void ShowModal();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;
};

}  // namespace quillet
