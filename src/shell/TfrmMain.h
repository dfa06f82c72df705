// The main window: the command strip, the lyric strip, the playlist, the seek bar and the
// transport row with the volume bar; the context menu shared with the tray icon, the refresh
// timer and the tray icon. It is the form only: every component is a public member under its own
// name, and the event handlers live in the window's seams, each a part of its own (the list, the
// transport, the modes, the files and dialogs, the tray), which read the player and call it.
#pragma once

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/Dialogs.h"
#include "player/PlaySession.h"
#include "shell/PlaylistView.h"
#include "shell/TRzTrayIcon.h"
#include "shell/TfcGroupBox.h"
#include "shell/TsTrackBar.h"

class QGroupBox;
class QMimeData;

namespace quillet {

class TfrmAbout;
class TfrmLyric;
class TfrmConfig;
class TfrmOptions;
class MainList;
class MainTransport;
class MainModes;
class MainFiles;
class MainTray;
class MainDesktopLyrics;

// The local files of a drop, each as the locale's bytes, whole (however long), in drop order;
// a folder without its trailing separator. Links that are not local files are left out.
std::vector<std::string> DroppedFilePaths(const QMimeData* mime);

// What the start-up step calls to test the back end and to end the process when the test fails;
// empty members keep the program's own.
struct StartHooks {
  std::function<bool(std::string*)> backEndCheck;
  // Opens the sound device; the engine's error code when it did not open.
  std::function<std::optional<int>()> openDevice;
  std::function<void()> endProcess;
};

// The main window's three companion windows; set right after they are created.
struct CompanionWindows {
  TfrmAbout* about = nullptr;
  TfrmLyric* lyric = nullptr;
  TfrmConfig* config = nullptr;
  TfrmOptions* options = nullptr;
};

class TfrmMain : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kShowTimerInterval = 150;

  TfrmMain(PlaySession& player, Dialogs& dialogs, QWidget* parent = nullptr);
  ~TfrmMain() override;

  PlaySession& Player;
  Dialogs& Dlg;
  CompanionWindows Windows;

  // ---- Seams: the handlers, by what they handle -----------------------------------------------
  MainList* List;
  MainTransport* Transport;
  MainModes* Modes;
  MainFiles* Files;
  MainTray* Tray;
  MainDesktopLyrics* DesktopLyrics;

  // ---- Components ------------------------------------------------------------------------------
  TfcGroupBox* GroupBoxAppContrls;
  QPushButton* btnHideApp;
  QPushButton* btnAddLst;
  QPushButton* btnDelLst;
  QPushButton* btnEditLyric;
  QPushButton* btnConfigure;
  QPushButton* btnAboutApp;
  QPushButton* btnExitApp;

  QLabel* PanelLyric;

  QGroupBox* GBList;
  TListView* ListViewLst;
  PlaylistModel* ListModel;

  QGroupBox* GBPlayProgress;
  TsTrackBar* tbPlayProgress;

  QGroupBox* GBPlayControl;
  QLabel* SpeakerImage;
  TsTrackBar* tbSetVolume;
  QPushButton* btnPrev;
  QPushButton* btnPlay;
  QPushButton* btnPause;
  QPushButton* btnStop;
  QPushButton* btnNext;

  QMenu* PopupMenuContrls;
  QAction* ItemAddLst;
  QAction* ItemDelLst;
  QAction* N1;
  QAction* ItemSaveLst;
  QAction* ItemClearLst;
  QAction* ItemLoadLst;
  QAction* N2;
  QAction* ItemPause;
  QAction* ItemPlay;
  QAction* ItemStop;
  QAction* ItemPrev;
  QAction* ItemNext;
  QAction* N9;
  QAction* ItemHide;
  QAction* N12;
  QAction* ItemLoopLst;
  QAction* ItemLoopSel;
  QAction* ItemLoopSingle;
  QAction* N3;
  // Our own items, one group above the About item.
  QAction* ItemOptions;
  QAction* ItemDesktopLyrics;
  QAction* ItemLockDesktopLyrics;
  QAction* N13;
  QAction* ItemAbout;
  QAction* ItemExit;

  QTimer* ShowTimer;
  TRzTrayIcon* AppTrayIcon;

  // The creation step; false when the back-end test failed and the process was told to end.
  bool FormCreate(const StartHooks& hooks = {});

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void BuildCommandStrip();
  void BuildLyricStrip();
  void BuildPlaylist();
  void BuildProgress();
  void BuildTransport();
  void BuildMenu();
  void BuildTabOrder();
  void Wire();
  // Opens the context menu with its right edge at the global point.
  void PopupContextMenu(const QPoint& globalPos);
  QAction* MenuItem(const char* name, const char* caption);
  QAction* MenuSeparator(const char* name);

  std::vector<QIcon> MenuImgLst;  // add, delete, save, load, about, exit
  bool shownOnce_ = false;
};

}  // namespace quillet
