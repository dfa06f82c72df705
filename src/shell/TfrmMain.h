// The main window: the command strip, the lyric strip, the playlist, the seek bar and the
// transport row with the volume bar; the context menu shared with the tray icon, the refresh
// timer, the file dialogs' settings and the tray icon.
//
// Every component is a public member under its own name, and every event handler a public method
// named after its component and event, so the playback, play-mode, lyric and tray code (in
// MainPlayback.cpp, MainModes.cpp, MainLyric.cpp, MainTray.cpp) and the tests reach them all.
#pragma once

#include <QAction>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/PlayerState.h"
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

// The local files of a drop, each as the locale's bytes, whole (however long), in drop order;
// a folder without its trailing separator. Links that are not local files are left out.
std::vector<std::string> DroppedFilePaths(const QMimeData* mime);

class TfrmMain : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 584;
  static constexpr int kClientHeight = 298;
  static constexpr int kShowTimerInterval = 150;
  // The lyric strip's text when no line is shown.
  static constexpr const char* kLyricPlaceholder = PlaySession::kLyricPlaceholder;

  TfrmMain(PlayerShared& state, PlaySession& session, Dialogs& dialogs, QWidget* parent = nullptr);
  ~TfrmMain() override;

  // ---- Shared state and services -------------------------------------------------------------
  PlayerShared& State;
  // The playback layer: every command on the stream goes through it.
  PlaySession& Session;
  Dialogs& Dlg;
  // The other three windows; set right after they are created.
  TfrmAbout* frmAbout = nullptr;
  TfrmLyric* frmLyric = nullptr;
  TfrmConfig* frmConfig = nullptr;

  // The start-up back-end check and what ends the process when it fails; tests replace them.
  std::function<bool(std::string*)> BackEndCheck;
  std::function<void()> EndProcess;
  // Runs at the end of every refresh tick, once the displays show it: the desktop's media
  // controls announce their changes from here.
  std::function<void()> AfterTick;
  // How long adding many files runs before its progress dialog appears; tests shorten it.
  int AddProgressDelayMs = kAddProgressDelayMs;

  // ---- Fields (kept by the playback layer, named here as the handlers know them) -------------
  std::vector<std::string>& LyricLines;  // lines of the playing track's lyric file, raw bytes
  std::vector<std::string>& SelPaths;    // the loop-selection snapshot of full paths
  std::int32_t& LstIndex;
  std::int32_t& SelIndex;

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
  QAction* ItemAbout;
  QAction* ItemExit;

  QTimer* ShowTimer;
  // The file dialogs' settings; set up just before each use and kept between uses.
  Dialogs::FileRequest ODAddFile;
  Dialogs::FileRequest SDLst;
  Dialogs::FileRequest ODLoadLst;
  TRzTrayIcon* AppTrayIcon;
  std::vector<QIcon> MenuImgLst;  // add, delete, save, load, about, exit

  // ---- Playlist helpers ----------------------------------------------------------------------
  int RowCount() const { return ListModel->Count(); }
  // The first selected row (lowest index), or -1.
  int SelectedRow() const;
  // Every selected row, ascending.
  std::vector<int> SelectedRows() const;
  // The row with the focus mark, or -1.
  int FocusedRow() const;
  // Opens the context menu with its right edge at the global point.
  void PopupContextMenu(const QPoint& globalPos);
  // Puts the window in the middle of the screen it is on.
  void CentreOnScreen();

  // ---- Start, show, close, exit (start-up here; the rest in MainPlayback.cpp) ---------------
  // The creation step; false when the back-end test failed and the process was told to end.
  bool FormCreate();
  void FormShow();
  void FormCloseQuery(bool& CanClose);
  void btnExitAppClick();

  // ---- Playback (MainPlayback.cpp) -----------------------------------------------------------
  void AnnounceTrack(const std::string& path, const std::string& name, const std::string& artist,
                     const std::string& album);
  // Shows what the playback layer returned: the lyric strip, the selection, the mode's check
  // marks, then the boxes.
  void ShowResult(const Shown& shown);
  // The check marks of the three mode items: the play mode's only display.
  void ShowPlayMode();
  void btnPlayClick();
  void btnPauseClick();
  void btnStopClick();
  void ShowTimerTimer();
  void tbPlayProgressEnter();
  void tbPlayProgressMouseDown(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y);
  void tbPlayProgressChange();
  void tbPlayProgressMouseUp(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y);
  void tbSetVolumeEnter();
  void tbSetVolumeUserChange();
  void ShowLyric(const std::string& key);

  // ---- Playlist (MainPlayback.cpp) -----------------------------------------------------------
  void AddTrackRow(const std::string& path);
  void btnAddLstClick();
  void WMDropFiles(const std::vector<std::string>& paths);
  void btnDelLstClick();
  void ItemClearLstClick();
  void ListViewLstClick();
  // row -1: the view changed the selection of many rows at once without naming one.
  void ListViewLstSelectItem(int row, bool selected);
  void PopupMenuContrlsPopup();

  // ---- Files named on the command line or handed over by a later start (MainOpen.cpp) ------
  // Adds the files as rows, in order, as the add command does, then selects the first new row
  // and starts it as a double-click on it does. Nothing happens before start-up is done or
  // after exit.
  void OpenFiles(const std::vector<std::string>& paths);

  // ---- Play modes and playlist files (MainModes.cpp) ----------------------------------------
  void ListViewLstDblClick();
  void btnPrevClick();
  void btnNextClick();
  void ItemLoopLstClick();
  void ItemLoopSelClick();
  void ItemLoopSingleClick();
  void ItemSaveLstClick();
  void ItemLoadLstClick();
  void btnConfigureClick();

  // ---- Windows (About here; lyric editor in MainLyric.cpp; tray in MainTray.cpp) ------------
  void btnAboutAppClick();
  void btnEditLyricClick();
  void btnHideAppClick();
  void AppTrayIconLButtonDblClick();
  // The hide sequence (the close query hides with it too) and the show sequence. Without a
  // notification area hiding minimises the window instead, so the way back stays in the taskbar.
  void HideProgram();
  void ShowProgram();
  // The notification area appeared or went away; a program hidden in it comes back minimised.
  void AppTrayIconEnabledChanged(bool present);
  // The desktop session ends: the program ends as the exit command ends it.
  void AppTrayIconEndSession();

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
  QAction* MenuItem(const char* name, const char* caption);
  QAction* MenuSeparator(const char* name);
  void WireTray();

  bool shownOnce_ = false;
  bool hiddenToTray_ = false;
};

}  // namespace quillet
