// The Options window (选项): exact lyric timing, translations, the output delay, how tags are
// read, what dropping a folder does, and the desktop lyric bar's font size and colours. It edits
// an Options value; OK saves it to the options file and hands it to whoever holds the player's
// options.
#pragma once

#include <QDialog>
#include <functional>

#include "common/Options.h"
#include "common/PlayerState.h"
#include "platform/Dialogs.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace quillet {

class TfrmOptions : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 300;
  static constexpr int kClientHeight = 326;

  TfrmOptions(PlayerShared& state, Dialogs& dialogs, QWidget* mainWindow);

  PlayerShared& State;
  Dialogs& Dlg;
  // Called once OK has saved the options, with what was saved; set by whoever holds them.
  std::function<void(const Options&)> Accepted;

  QGroupBox* GBLyrics;
  QCheckBox* CBExactLyrics;
  QCheckBox* CBShowTranslation;
  QLabel* LBLyricDelay;
  QSpinBox* SELyricDelay;
  QGroupBox* GBFiles;
  QCheckBox* CBFullTags;
  QCheckBox* CBEmbeddedLyrics;
  QLabel* LBTagEncoding;
  QComboBox* CMBTagEncoding;
  QCheckBox* CBAddFolders;
  QGroupBox* GBDesktopLyrics;
  QLabel* LBDesktopFontSize;
  QSpinBox* SEDesktopFontSize;  // 0: the bar's own size
  QLabel* LBDesktopTextColour;
  QLineEdit* EDDesktopTextColour;  // "#rrggbb"; empty: the bar's own colour
  QPushButton* btnDesktopTextColour;
  QLabel* LBDesktopHighlightColour;
  QLineEdit* EDDesktopHighlightColour;
  QPushButton* btnDesktopHighlightColour;
  QPushButton* btnOptionsOk;
  QPushButton* btnOptionsCancel;

  // Shows `current` in the controls and the window modal to the main window, without a nested
  // event loop.
  void ShowModal(const Options& current);
  // `current` as last shown, with what the controls show now; options without a control in
  // this window keep their values.
  Options Chosen() const;

  // Saves Chosen() (an error box on failure, and the window stays open), calls Accepted, closes.
  // The desktop lyric bar's state (shown, locked, its place), which its menu items and the bar
  // itself change while this window may be open, is taken as it is now, not as it was shown.
  void btnOptionsOkClick();
  // Closes; nothing is kept.
  void btnOptionsCancelClick();
  // 显示翻译 only means something with exact timing.
  void CBExactLyricsClick();

 private:
  void ShowOptions(const Options& options);
  // A colour dialog for a colour field, opened without a nested event loop.
  void ChooseColour(QLineEdit* field);
  Options shown_;
};

}  // namespace quillet
