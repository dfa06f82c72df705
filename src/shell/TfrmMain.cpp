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
#include "playlist/Settings.h"
#include "shell/Look.h"
#include "shell/TfrmAbout.h"

namespace quillet {

namespace {

constexpr int kButtonTop = 16;

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
  g->setGeometry(0, top, TfrmMain::kClientWidth, height);
  return g;
}

}  // namespace

TfrmMain::TfrmMain(PlayerShared& state, PlaySession& session, Dialogs& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      State(state),
      Session(session),
      Dlg(dialogs),
      BackEndCheck([&session](std::string* why) { return session.BackEndOk(why); }),
      EndProcess([] {
        std::fflush(nullptr);
        std::_Exit(EXIT_FAILURE);
      }),
      LyricLines(session.LyricLines),
      SelPaths(session.SelPaths),
      LstIndex(session.LstIndex),
      SelIndex(session.SelIndex) {
  setObjectName(QStringLiteral("frmMain"));
  setWindowTitle(QStringLiteral("Quillet"));
  setWindowIcon(ApplicationIcon());
  setFont(KaiFont(12));
  setFixedSize(kClientWidth, kClientHeight);
  setAutoFillBackground(true);

  MenuImgLst = {PictureIcon(Picture::Add),   PictureIcon(Picture::Delete),
                PictureIcon(Picture::Save),  PictureIcon(Picture::Load),
                PictureIcon(Picture::About), PictureIcon(Picture::Exit)};

  BuildCommandStrip();
  BuildLyricStrip();
  BuildPlaylist();
  BuildProgress();
  BuildTransport();
  BuildMenu();
  BuildTabOrder();

  ShowTimer = new QTimer(this);
  ShowTimer->setObjectName(QStringLiteral("ShowTimer"));
  ShowTimer->setInterval(kShowTimerInterval);

  ODAddFile.multiple = true;

  AppTrayIcon = new TRzTrayIcon(this);
  AppTrayIcon->setObjectName(QStringLiteral("AppTrayIcon"));
  AppTrayIcon->SetIcon(ApplicationIcon());
  AppTrayIcon->PopupMenu = PopupMenuContrls;
  AppTrayIcon->RestoreOn = ticNone;
  AppTrayIcon->HideOnMinimize = false;

  Wire();
  WireTray();
  // Armed from creation; ticks do nothing until the creation step has set the state up.
  ShowTimer->start();
  AppTrayIcon->SetEnabled(true);
}

TfrmMain::~TfrmMain() { ShowTimer->stop(); }

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
  PanelLyric = new QLabel(QString::fromUtf8(kLyricPlaceholder), this);
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
  ListModel = new PlaylistModel(this);
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
  ItemAbout = MenuItem("ItemAbout", "关    于...");
  ItemExit = MenuItem("ItemExit", "退    出");

  ItemAddLst->setIcon(MenuImgLst[0]);
  ItemDelLst->setIcon(MenuImgLst[1]);
  ItemSaveLst->setIcon(MenuImgLst[2]);
  ItemLoadLst->setIcon(MenuImgLst[3]);
  ItemAbout->setIcon(MenuImgLst[4]);
  ItemExit->setIcon(MenuImgLst[5]);
  for (QAction* mode : {ItemLoopLst, ItemLoopSel, ItemLoopSingle}) {
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
  connect(btnHideApp, &QPushButton::clicked, this, [this] { btnHideAppClick(); });
  connect(btnAddLst, &QPushButton::clicked, this, [this] { btnAddLstClick(); });
  connect(btnDelLst, &QPushButton::clicked, this, [this] { btnDelLstClick(); });
  connect(btnEditLyric, &QPushButton::clicked, this, [this] { btnEditLyricClick(); });
  connect(btnConfigure, &QPushButton::clicked, this, [this] { btnConfigureClick(); });
  connect(btnAboutApp, &QPushButton::clicked, this, [this] { btnAboutAppClick(); });
  connect(btnExitApp, &QPushButton::clicked, this, [this] { btnExitAppClick(); });

  connect(btnPrev, &QPushButton::clicked, this, [this] { btnPrevClick(); });
  connect(btnPlay, &QPushButton::clicked, this, [this] { btnPlayClick(); });
  connect(btnPause, &QPushButton::clicked, this, [this] { btnPauseClick(); });
  connect(btnStop, &QPushButton::clicked, this, [this] { btnStopClick(); });
  connect(btnNext, &QPushButton::clicked, this, [this] { btnNextClick(); });

  connect(tbPlayProgress, &TsTrackBar::OnEnter, this, [this] { tbPlayProgressEnter(); });
  connect(tbPlayProgress, &TsTrackBar::OnMouseDown, this,
          [this](Qt::MouseButton b, Qt::KeyboardModifiers s, int x, int y) {
            tbPlayProgressMouseDown(b, s, x, y);
          });
  connect(tbPlayProgress, &TsTrackBar::OnChange, this, [this] { tbPlayProgressChange(); });
  connect(tbPlayProgress, &TsTrackBar::OnMouseUp, this,
          [this](Qt::MouseButton b, Qt::KeyboardModifiers s, int x, int y) {
            tbPlayProgressMouseUp(b, s, x, y);
          });
  connect(tbSetVolume, &TsTrackBar::OnEnter, this, [this] { tbSetVolumeEnter(); });
  connect(tbSetVolume, &TsTrackBar::OnUserChange, this, [this] { tbSetVolumeUserChange(); });

  connect(ListViewLst, &TListView::OnClick, this, [this] { ListViewLstClick(); });
  connect(ListViewLst, &TListView::OnDblClick, this, [this] { ListViewLstDblClick(); });
  connect(ListViewLst->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this](const QItemSelection& selected, const QItemSelection& deselected) {
            auto rowsOf = [](const QItemSelection& s) {
              std::vector<int> rows;
              for (const QItemSelectionRange& r : s) {
                for (int row = r.top(); row <= r.bottom(); ++row) rows.push_back(row);
              }
              std::sort(rows.begin(), rows.end());
              rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
              return rows;
            };
            // The view goes to the row that became selected (the focused one, when a range
            // did), never back to one that lost the selection in the same change: that would
            // move the list away from the row just clicked or moved to.
            const std::vector<int> on = rowsOf(selected);
            const std::vector<int> off = rowsOf(deselected);
            if (!on.empty()) {
              const int focused = FocusedRow();
              ListViewLstSelectItem(
                  std::binary_search(on.begin(), on.end(), focused) ? focused : on.front(), true);
            } else if (off.size() == 1) {
              ListViewLstSelectItem(off.front(), false);
            } else if (off.size() > 1) {
              ListViewLstSelectItem(-1, false);
            }
          });
  connect(ListViewLst, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    PopupContextMenu(ListViewLst->viewport()->mapToGlobal(pos));
  });

  connect(PopupMenuContrls, &QMenu::aboutToShow, this, [this] { PopupMenuContrlsPopup(); });
  connect(ItemAddLst, &QAction::triggered, this, [this] { btnAddLstClick(); });
  connect(ItemDelLst, &QAction::triggered, this, [this] { btnDelLstClick(); });
  connect(ItemSaveLst, &QAction::triggered, this, [this] { ItemSaveLstClick(); });
  connect(ItemClearLst, &QAction::triggered, this, [this] { ItemClearLstClick(); });
  connect(ItemLoadLst, &QAction::triggered, this, [this] { ItemLoadLstClick(); });
  connect(ItemPause, &QAction::triggered, this, [this] { btnPauseClick(); });
  connect(ItemPlay, &QAction::triggered, this, [this] { btnPlayClick(); });
  connect(ItemStop, &QAction::triggered, this, [this] { btnStopClick(); });
  connect(ItemPrev, &QAction::triggered, this, [this] { btnPrevClick(); });
  connect(ItemNext, &QAction::triggered, this, [this] { btnNextClick(); });
  connect(ItemHide, &QAction::triggered, this, [this] { AppTrayIconLButtonDblClick(); });
  ConnectCheckItem(ItemLoopLst, this, [this] { ItemLoopLstClick(); });
  ConnectCheckItem(ItemLoopSel, this, [this] { ItemLoopSelClick(); });
  ConnectCheckItem(ItemLoopSingle, this, [this] { ItemLoopSingleClick(); });
  connect(ItemAbout, &QAction::triggered, this, [this] { btnAboutAppClick(); });
  connect(ItemExit, &QAction::triggered, this, [this] { btnExitAppClick(); });

  connect(ShowTimer, &QTimer::timeout, this, [this] { ShowTimerTimer(); });
  connect(AppTrayIcon, &TRzTrayIcon::OnLButtonDblClick, this,
          [this] { AppTrayIconLButtonDblClick(); });
}

int TfrmMain::SelectedRow() const {
  const std::vector<int> rows = SelectedRows();
  return rows.empty() ? -1 : rows.front();
}

std::vector<int> TfrmMain::SelectedRows() const {
  std::vector<int> rows;
  for (const QModelIndex& index : ListViewLst->selectionModel()->selectedRows()) {
    rows.push_back(index.row());
  }
  std::sort(rows.begin(), rows.end());
  return rows;
}

int TfrmMain::FocusedRow() const {
  const QModelIndex current = ListViewLst->selectionModel()->currentIndex();
  return current.isValid() ? current.row() : -1;
}

void TfrmMain::PopupContextMenu(const QPoint& globalPos) {
  PopupMenuContrls->popup(globalPos - QPoint(PopupMenuContrls->sizeHint().width(), 0));
}

void TfrmMain::CentreOnScreen() {
  const QScreen* s = screen();
  if (s == nullptr) return;
  QRect frame = frameGeometry();
  frame.moveCenter(s->geometry().center());
  move(frame.topLeft());
}

bool TfrmMain::FormCreate() {
  // 1. Files dropped from the desktop or a file manager are accepted.
  setAcceptDrops(true);
  // 2-3. The version text and the captions that carry it.
  State.VersionText = kVersionText;
  setWindowTitle(DisplayText(State.VersionText));
  QCoreApplication::setApplicationName(DisplayText(State.VersionText));
  AppTrayIcon->SetHint(State.VersionText);
  // 4. The decoding and output libraries must be the ones the program was built for.
  std::string why;
  if (!BackEndCheck(&why)) {
    if (!why.empty()) std::fprintf(stderr, "quillet: %s\n", why.c_str());
    ShowNotice(Dlg, this, "加载“BASS.DLL”时出现错误！");
    EndProcess();
    return false;
  }
  // 5. The sound device; without it the program runs on silently.
  if (const std::optional<int> code = Session.OpenDevice()) {
    ShowAudioError(Dlg, this, "初始化音频错误！", *code);
  }
  // 6-7. The player state and the main window's own fields.
  Session.Reset();
  // 8. The lyric directory from the settings file.
  std::string dir;
  const IoResult io = ReadLyricDir(&dir);
  State.LyricDir = dir;
  if (!io.ok) ShowErrorBox(Dlg, this, State.VersionText, io.error);
  State.Ready = true;
  return true;
}

void TfrmMain::FormShow() { ListViewLst->viewport()->update(); }

void TfrmMain::btnAboutAppClick() {
  if (frmAbout != nullptr) frmAbout->ShowModal();
}

void TfrmMain::showEvent(QShowEvent* event) {
  if (!shownOnce_) {
    shownOnce_ = true;
    CentreOnScreen();
  }
  QWidget::showEvent(event);
  FormShow();
}

void TfrmMain::closeEvent(QCloseEvent* event) {
  bool canClose = true;
  FormCloseQuery(canClose);
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
  WMDropFiles(paths);
}

}  // namespace quillet
