#include "shell/TfrmMain.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMimeData>
#include <QScreen>
#include <QUrl>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "common/DisplayText.h"
#include "common/StartTrace.h"
#include "playlist/Settings.h"
#include "shell/Look.h"
#include "shell/MainDesktopLyrics.h"
#include "shell/MainFiles.h"
#include "shell/MainList.h"
#include "shell/MainModes.h"
#include "shell/MainTransport.h"
#include "shell/MainTray.h"

namespace quillet {

namespace {

constexpr int kButtonTop = 16;
constexpr int kClientWidth = 584;
constexpr int kClientHeight = 298;

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption, int x,
                        const QIcon& glyph = QIcon()) {
  return MakeCommandButton(parent, name, caption, x, kButtonTop, glyph);
}

TsTrackBar* MakeTrackBar(QWidget* parent, const char* name, const QRect& geometry, int max) {
  auto* t = new TsTrackBar(parent);
  t->setObjectName(QLatin1String(name));
  t->setGeometry(geometry);
  t->SetMax(max);
  t->SetPageSize(1);
  t->SetThumbLength(10);
  t->setFocusPolicy(Qt::ClickFocus);
  return t;
}

QGroupBox* MakeGroupBox(QWidget* parent, const char* name, const char* caption, int top,
                        int height) {
  auto* g = new TGroupBox(QString::fromUtf8(caption), parent);
  g->setObjectName(QLatin1String(name));
  g->setGeometry(0, top, kClientWidth, height);
  return g;
}

}  // namespace

TfrmMain::TfrmMain(PlaySession& player, Dialogs& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      Player(player),
      Dlg(dialogs) {
  setObjectName(QStringLiteral("frmMain"));
  setWindowTitle(QStringLiteral("Quillet"));
  setWindowIcon(ApplicationIcon());
  setFont(KaiFont(12));
  setFixedSize(kClientWidth, kClientHeight);
  setAutoFillBackground(true);

  MenuImgLst = {PictureIcon(Picture::Add),   PictureIcon(Picture::Delete),
                PictureIcon(Picture::Save),  PictureIcon(Picture::Load),
                PictureIcon(Picture::About), PictureIcon(Picture::Exit)};

  StartMark("main window: pictures");
  BuildCommandStrip();
  StartMark("main window: command strip");
  BuildLyricStrip();
  BuildPlaylist();
  BuildProgress();
  BuildTransport();
  StartMark("main window: controls");
  BuildMenu();
  BuildTabOrder();
  StartMark("main window: menu");

  ShowTimer = new QTimer(this);
  ShowTimer->setObjectName(QStringLiteral("ShowTimer"));
  ShowTimer->setInterval(kShowTimerInterval);

  AppTrayIcon = new TRzTrayIcon(this);
  AppTrayIcon->setObjectName(QStringLiteral("AppTrayIcon"));
  AppTrayIcon->SetIcon(ApplicationIcon());
  AppTrayIcon->PopupMenu = PopupMenuContrls;
  AppTrayIcon->RestoreOn = ticNone;
  AppTrayIcon->HideOnMinimize = false;

  List = new MainList(*this);
  Transport = new MainTransport(*this);
  Modes = new MainModes(*this);
  Files = new MainFiles(*this);
  Tray = new MainTray(*this);
  DesktopLyrics = new MainDesktopLyrics(*this);
  Wire();
  // Armed from creation; ticks do nothing until the creation step has set the state up.
  ShowTimer->start();
  AppTrayIcon->SetEnabled(true);
  StartMark("main window: tray and seams");
}

TfrmMain::~TfrmMain() {
  ShowTimer->stop();
  // The seams stop watching the player while the window they show is still whole.
  delete DesktopLyrics;
  delete Tray;
  delete Files;
  delete Modes;
  delete Transport;
  delete List;
}

void TfrmMain::BuildCommandStrip() {
  GroupBoxAppContrls = new TfcGroupBox(QString::fromUtf8("=·=Quillet=·="), this);
  GroupBoxAppContrls->setObjectName(QStringLiteral("GroupBoxAppContrls"));
  GroupBoxAppContrls->setGeometry(0, 0, kClientWidth, 40);
  GroupBoxAppContrls->SetCaptionIndent(235);

  QWidget* g = GroupBoxAppContrls;
  btnHideApp = MakeButton(g, "btnHideApp", "隐藏程序", 2);
  btnAddLst = MakeButton(g, "btnAddLst", "添加...", 86, PictureIcon(Picture::Add));
  btnDelLst = MakeButton(g, "btnDelLst", "删除...", 170, PictureIcon(Picture::Delete));
  btnEditLyric = MakeButton(g, "btnEditLyric", "编辑歌词", 254);
  btnConfigure = MakeButton(g, "btnConfigure", "设置...", 338);
  btnAboutApp = MakeButton(g, "btnAboutApp", "关于...", 422, PictureIcon(Picture::About));
  btnExitApp = MakeButton(g, "btnExitApp", "退出...", 506, PictureIcon(Picture::Exit));
  btnHideApp->setDefault(true);
}

void TfrmMain::BuildLyricStrip() {
  PanelLyric = new QLabel(QString::fromUtf8(PlaySession::kLyricPlaceholder), this);
  PanelLyric->setObjectName(QStringLiteral("PanelLyric"));
  PanelLyric->setGeometry(0, 40, kClientWidth, 15);
  PanelLyric->setTextFormat(Qt::PlainText);
  PanelLyric->setAlignment(Qt::AlignCenter);
  PanelLyric->setWordWrap(false);
  PanelLyric->setFont(KaiFont(12, true));
  SetTextColour(PanelLyric, kMaroon);
}

void TfrmMain::BuildPlaylist() {
  GBList = MakeGroupBox(this, "GBList", "=·=播放列表=·=", 55, 168);
  ListModel = new PlaylistModel(Player.List(), this);
  ListModel->setObjectName(QStringLiteral("ListModel"));
  ListViewLst = new TListView(GBList);
  ListViewLst->setObjectName(QStringLiteral("ListViewLst"));
  ListViewLst->setGeometry(2, 14, 580, 152);
  ListViewLst->setModel(ListModel);
  for (int c = 0; c < PlaylistModel::kColumns; ++c) {
    ListViewLst->header()->resizeSection(c, PlaylistModel::Columns()[c].width);
  }
  ListViewLst->setContextMenuPolicy(Qt::CustomContextMenu);
}

void TfrmMain::BuildProgress() {
  GBPlayProgress = MakeGroupBox(this, "GBPlayProgress", "=·=播放进度=·=", 223, 35);
  tbPlayProgress = MakeTrackBar(GBPlayProgress, "tbPlayProgress", QRect(2, 14, 580, 12), 100);
}

void TfrmMain::BuildTransport() {
  GBPlayControl = MakeGroupBox(this, "GBPlayControl", "=·=播放控制=·=", 258, 40);
  SpeakerImage = new QLabel(GBPlayControl);
  SpeakerImage->setObjectName(QStringLiteral("SpeakerImage"));
  SpeakerImage->setGeometry(6, 19, 16, 16);
  SpeakerImage->setAlignment(Qt::AlignCenter);
  SpeakerImage->setPixmap(PicturePixmap(Picture::Speaker, 16));
  SpeakerImage->setAccessibleName(QString::fromUtf8("音量"));

  tbSetVolume = MakeTrackBar(GBPlayControl, "tbSetVolume", QRect(21, 20, 140, 12), 65535);
  tbSetVolume->setAccessibleName(QString::fromUtf8("音量"));
  tbPlayProgress->setAccessibleName(QString::fromUtf8("播放进度"));

  QWidget* g = GBPlayControl;
  btnPrev = MakeButton(g, "btnPrev", "上一首", 170, PictureIcon(Picture::Previous));
  btnPlay = MakeButton(g, "btnPlay", "播放", 254, PictureIcon(Picture::Play));
  btnPause = MakeButton(g, "btnPause", "暂停", 338, PictureIcon(Picture::Pause));
  btnStop = MakeButton(g, "btnStop", "停止", 422, PictureIcon(Picture::Stop));
  btnNext = MakeButton(g, "btnNext", "下一首", 506, PictureIcon(Picture::Next));
}

QAction* TfrmMain::MenuItem(const char* name, const char* caption) {
  return AddMenuItem(PopupMenuContrls, name, caption);
}

QAction* TfrmMain::MenuSeparator(const char* name) {
  return AddMenuSeparator(PopupMenuContrls, name);
}

void TfrmMain::BuildMenu() {
  PopupMenuContrls = new QMenu(this);
  PopupMenuContrls->setObjectName(QStringLiteral("PopupMenuContrls"));
  ItemAddLst = MenuItem("ItemAddLst", "添加文件...");
  ItemDelLst = MenuItem("ItemDelLst", "删除文件...");
  N1 = MenuSeparator("N1");
  ItemSaveLst = MenuItem("ItemSaveLst", "保存列表...");
  ItemClearLst = MenuItem("ItemClearLst", "清    空");
  ItemLoadLst = MenuItem("ItemLoadLst", "载入列表...");
  N2 = MenuSeparator("N2");
  ItemPause = MenuItem("ItemPause", "暂    停");
  ItemPlay = MenuItem("ItemPlay", "播    放");
  ItemStop = MenuItem("ItemStop", "停    止");
  ItemPrev = MenuItem("ItemPrev", "上 一 首");
  ItemNext = MenuItem("ItemNext", "下 一 首");
  N9 = MenuSeparator("N9");
  ItemHide = MenuItem("ItemHide", "隐藏程序");
  N12 = MenuSeparator("N12");
  ItemLoopLst = MenuItem("ItemLoopLst", "播放列表");
  ItemLoopSel = MenuItem("ItemLoopSel", "选择播放");
  ItemLoopSingle = MenuItem("ItemLoopSingle", "单首循环");
  N3 = MenuSeparator("N3");
  ItemOptions = MenuItem("ItemOptions", "选    项...");
  ItemDesktopLyrics = MenuItem("ItemDesktopLyrics", "桌面歌词");
  ItemLockDesktopLyrics = MenuItem("ItemLockDesktopLyrics", "锁定桌面歌词");
  N13 = MenuSeparator("N13");
  ItemAbout = MenuItem("ItemAbout", "关    于...");
  ItemExit = MenuItem("ItemExit", "退    出");

  ItemAddLst->setIcon(MenuImgLst[0]);
  ItemDelLst->setIcon(MenuImgLst[1]);
  ItemSaveLst->setIcon(MenuImgLst[2]);
  ItemLoadLst->setIcon(MenuImgLst[3]);
  ItemAbout->setIcon(MenuImgLst[4]);
  ItemExit->setIcon(MenuImgLst[5]);
  for (QAction* mode :
       {ItemLoopLst, ItemLoopSel, ItemLoopSingle, ItemDesktopLyrics, ItemLockDesktopLyrics}) {
    mode->setCheckable(true);
    mode->setChecked(false);
  }
}

void TfrmMain::BuildTabOrder() {
  // Bands: the command strip, the playlist, the progress band, the transport band, the lyric
  // strip; within each band its own order. The two track bars are no tab stops.
  const std::vector<QWidget*> chain = {
      btnHideApp,  btnAddLst, btnDelLst, btnAboutApp, btnExitApp, btnEditLyric, btnConfigure,
      ListViewLst, btnPrev,   btnPlay,   btnPause,    btnStop,    btnNext};
  for (std::size_t i = 0; i + 1 < chain.size(); ++i) setTabOrder(chain[i], chain[i + 1]);
}

void TfrmMain::Wire() {
  connect(btnHideApp, &QPushButton::clicked, Tray, [this] { Tray->btnHideAppClick(); });
  connect(btnAddLst, &QPushButton::clicked, List, [this] { List->btnAddLstClick(); });
  connect(btnDelLst, &QPushButton::clicked, List, [this] { List->btnDelLstClick(); });
  connect(btnEditLyric, &QPushButton::clicked, Files, [this] { Files->btnEditLyricClick(); });
  connect(btnConfigure, &QPushButton::clicked, Files, [this] { Files->btnConfigureClick(); });
  connect(btnAboutApp, &QPushButton::clicked, Files, [this] { Files->btnAboutAppClick(); });
  connect(btnExitApp, &QPushButton::clicked, Tray, [this] { Tray->btnExitAppClick(); });

  MainTransport* t = Transport;
  connect(btnPrev, &QPushButton::clicked, t, [t] { t->btnPrevClick(); });
  connect(btnPlay, &QPushButton::clicked, t, [t] { t->btnPlayClick(); });
  connect(btnPause, &QPushButton::clicked, t, [t] { t->btnPauseClick(); });
  connect(btnStop, &QPushButton::clicked, t, [t] { t->btnStopClick(); });
  connect(btnNext, &QPushButton::clicked, t, [t] { t->btnNextClick(); });
  connect(tbPlayProgress, &TsTrackBar::OnEnter, t, [t] { t->tbPlayProgressEnter(); });
  connect(tbPlayProgress, &TsTrackBar::OnMouseDown, t, [t] { t->tbPlayProgressMouseDown(); });
  connect(tbPlayProgress, &TsTrackBar::OnChange, t, [t] { t->tbPlayProgressChange(); });
  connect(tbPlayProgress, &TsTrackBar::OnMouseUp, t, [t] { t->tbPlayProgressMouseUp(); });
  connect(tbSetVolume, &TsTrackBar::OnEnter, t, [t] { t->tbSetVolumeEnter(); });
  connect(tbSetVolume, &TsTrackBar::OnUserChange, t, [t] { t->tbSetVolumeUserChange(); });
  connect(ShowTimer, &QTimer::timeout, t, [t] { t->ShowTimerTimer(); });

  connect(ListViewLst, &TListView::OnClick, List, [this] { List->ListViewLstClick(); });
  connect(ListViewLst, &TListView::OnDblClick, List, [this] { List->ListViewLstDblClick(); });
  connect(ListViewLst, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    PopupContextMenu(ListViewLst->viewport()->mapToGlobal(pos));
  });

  connect(PopupMenuContrls, &QMenu::aboutToShow, Modes, [this] { Modes->PopupMenuContrlsPopup(); });
  connect(ItemAddLst, &QAction::triggered, List, [this] { List->btnAddLstClick(); });
  connect(ItemDelLst, &QAction::triggered, List, [this] { List->btnDelLstClick(); });
  connect(ItemSaveLst, &QAction::triggered, Files, [this] { Files->ItemSaveLstClick(); });
  connect(ItemClearLst, &QAction::triggered, List, [this] { List->ItemClearLstClick(); });
  connect(ItemLoadLst, &QAction::triggered, Files, [this] { Files->ItemLoadLstClick(); });
  connect(ItemPause, &QAction::triggered, t, [t] { t->btnPauseClick(); });
  connect(ItemPlay, &QAction::triggered, t, [t] { t->btnPlayClick(); });
  connect(ItemStop, &QAction::triggered, t, [t] { t->btnStopClick(); });
  connect(ItemPrev, &QAction::triggered, t, [t] { t->btnPrevClick(); });
  connect(ItemNext, &QAction::triggered, t, [t] { t->btnNextClick(); });
  connect(ItemHide, &QAction::triggered, Tray, [this] { Tray->AppTrayIconLButtonDblClick(); });
  ConnectCheckItem(ItemLoopLst, Modes, [this] { Modes->ItemLoopLstClick(); });
  ConnectCheckItem(ItemLoopSel, Modes, [this] { Modes->ItemLoopSelClick(); });
  ConnectCheckItem(ItemLoopSingle, Modes, [this] { Modes->ItemLoopSingleClick(); });
  connect(ItemOptions, &QAction::triggered, Files, [this] { Files->ItemOptionsClick(); });
  ConnectCheckItem(ItemDesktopLyrics, DesktopLyrics,
                   [this] { DesktopLyrics->ItemDesktopLyricsClick(); });
  ConnectCheckItem(ItemLockDesktopLyrics, DesktopLyrics,
                   [this] { DesktopLyrics->ItemLockDesktopLyricsClick(); });
  connect(ItemAbout, &QAction::triggered, Files, [this] { Files->btnAboutAppClick(); });
  connect(ItemExit, &QAction::triggered, Tray, [this] { Tray->btnExitAppClick(); });
}

void TfrmMain::PopupContextMenu(const QPoint& globalPos) {
  PopupMenuContrls->popup(globalPos - QPoint(PopupMenuContrls->sizeHint().width(), 0));
}

bool TfrmMain::FormCreate(const StartHooks& hooks) {
  PlayerShared& shared = Player.Shared;
  // 1. Files dropped from the desktop or a file manager are accepted.
  setAcceptDrops(true);
  // 2-3. The version text and the captions that carry it.
  shared.VersionText = kVersionText;
  setWindowTitle(DisplayText(shared.VersionText));
  QCoreApplication::setApplicationName(DisplayText(shared.VersionText));
  AppTrayIcon->SetHint(shared.VersionText);
  // 4. The decoding and output libraries must be the ones the program was built for.
  std::string why;
  const bool backEndOk = hooks.backEndCheck ? hooks.backEndCheck(&why) : Player.BackEndOk(&why);
  if (!backEndOk) {
    if (!why.empty()) std::fprintf(stderr, "quillet: %s\n", why.c_str());
    ShowNotice(Dlg, this, "加载“BASS.DLL”时出现错误！");
    if (hooks.endProcess) {
      hooks.endProcess();
    } else {
      std::fflush(nullptr);
      std::_Exit(EXIT_FAILURE);
    }
    return false;
  }
  StartMark("back end checked");
  // 5. The sound device; without it the program runs on silently.
  if (const std::optional<int> code = hooks.openDevice ? hooks.openDevice() : Player.OpenDevice()) {
    ShowAudioError(Dlg, this, "初始化音频错误！", *code);
  }
  StartMark("device open");
  // 6-7. The player's state and cursors.
  Player.Reset();
  // 8. The lyric directory from the settings file.
  std::string dir;
  const IoResult io = ReadLyricDir(&dir);
  shared.LyricDir = dir;
  if (!io.ok) ShowErrorBox(Dlg, this, shared.VersionText, io.error);
  // Our own options; a file that cannot be read leaves every option at its default and is said
  // on the error output (the Options window writes it whole again).
  const IoResult options = LoadOptions(&shared.options);
  if (!options.ok) std::fprintf(stderr, "quillet: %s\n", options.error.c_str());
  Player.MarkReady();
  return true;
}

void TfrmMain::showEvent(QShowEvent* event) {
  if (!shownOnce_) {
    shownOnce_ = true;
    CentreOnScreen(this);
  }
  QWidget::showEvent(event);
  ListViewLst->viewport()->update();
}

void TfrmMain::closeEvent(QCloseEvent* event) {
  bool canClose = true;
  Tray->FormCloseQuery(canClose);
  if (canClose) {
    event->accept();
  } else {
    event->ignore();
  }
}

void TfrmMain::keyPressEvent(QKeyEvent* event) {
  // Enter that no focused control took activates the default button.
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
      btnHideApp->isEnabled() && btnHideApp->isVisible()) {
    event->accept();
    btnHideApp->click();
    return;
  }
  QWidget::keyPressEvent(event);
}

std::vector<std::string> DroppedFilePaths(const QMimeData* mime) {
  std::vector<std::string> paths;
  if (mime == nullptr || !mime->hasUrls()) return paths;
  for (const QUrl& url : mime->urls()) {
    if (!url.isLocalFile()) continue;
    QString local = url.toLocalFile();
    // A dropped folder comes with a trailing separator; its name is the part before it.
    while (local.size() > 1 && local.endsWith(u'/')) local.chop(1);
    paths.push_back(QFile::encodeName(local).toStdString());
  }
  return paths;
}

void TfrmMain::dragEnterEvent(QDragEnterEvent* event) {
  if (acceptDrops() && !DroppedFilePaths(event->mimeData()).empty()) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void TfrmMain::dragMoveEvent(QDragMoveEvent* event) {
  if (acceptDrops()) event->acceptProposedAction();
}

void TfrmMain::dropEvent(QDropEvent* event) {
  const std::vector<std::string> paths = DroppedFilePaths(event->mimeData());
  if (paths.empty()) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
  List->WMDropFiles(paths);
}

}  // namespace quillet
