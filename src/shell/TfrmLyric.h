// The lyric editor: a text editor docked beside the main window, with a stamp button that puts
// the play time in front of the caret line, a resume button, and its context menu PMLyric.
#pragma once

#include <QAction>
#include <QIcon>
#include <QMenu>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <vector>

#include "common/PlayerState.h"
#include "platform/Dialogs.h"
#include "player/PlaySession.h"

class QGroupBox;
class QPlainTextEdit;
class QPushButton;

namespace quillet {

class TfrmLyric : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 290;
  static constexpr int kClientHeight = 298;
  static constexpr int kPanelHeight = 24;
  static constexpr int kTimerInterval = 150;

  // `mainWindow` is the window the editor docks to and belongs to.
  TfrmLyric(PlaySession& player, Dialogs& dialogs, QWidget& mainWindow);
  ~TfrmLyric() override;

  PlayerShared& State;
  PlaySession& Player;
  Dialogs& Dlg;
  QWidget& Main;
  // What closing the editor with its button does to the main window (centres it, repaints its
  // list); set by whoever creates the two.
  std::function<void()> RestoreMain;

  QGroupBox* gbEditLyric;
  QPlainTextEdit* MOLyric;
  QWidget* PanelBox;
  QPushButton* btnInsertTag;
  QPushButton* btnTagPlay;
  QPushButton* btnClose;
  Dialogs::FileRequest ODLoadLyric;
  Dialogs::FileRequest SDSaveLyric;
  QTimer* frmLyricTimer;

  QMenu* PMLyric;
  QAction* ItemLoad;
  QAction* N1;
  QAction* ItemSave;
  QAction* N2;
  QAction* ItemUndo;
  QAction* ItemPaste;
  QAction* ItemCopy;
  QAction* ItemDel;
  QAction* ItemClear;
  QAction* N3;
  QAction* ItemLeft;
  QAction* ItemRight;
  QAction* ItemTop;
  QAction* ItemBottom;
  QAction* N4;
  QAction* ItemClose;
  std::vector<QIcon> LyricImgLst;  // import, undo, copy, clear, close

  void FormCreate();
  // Sets the window's client size (the controls follow).
  void SetClientSize(int width, int height);

  // Bodies in LyricEditor.cpp.
  void btnInsertTagClick();
  void btnTagPlayClick();
  void btnCloseClick();
  void ItemLoadClick();
  void ItemSaveClick();
  void ItemUndoClick();
  void ItemPasteClick();
  void ItemCopyClick();
  void ItemDelClick();
  void ItemClearClick();
  void frmLyricTimerTimer();
  void DockLyricEditor();
  void ItemLeftClick();
  void ItemRightClick();
  void ItemTopClick();
  void ItemBottomClick();
  void PMLyricPopup();
  // Zero-based line of MOLyric that holds the start of the selection (the caret without one).
  int CaretLine() const;
  void InsertExactStamp(int line);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QAction* MenuItem(const char* name, const char* caption);
  QAction* MenuSeparator(const char* name);
  void LayOut();

  int listening_ = 0;
};

}  // namespace quillet
