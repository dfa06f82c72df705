#include "shell/TfrmLyric.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <algorithm>

#include "common/DisplayText.h"
#include "shell/Look.h"
#include "shell/TfcGroupBox.h"

namespace quillet {

TfrmLyric::TfrmLyric(PlaySession& player, Dialogs& dialogs, QWidget& mainWindow)
    : QWidget(&mainWindow, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                               Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      State(player.Shared),
      Player(player),
      Dlg(dialogs),
      Main(mainWindow) {
  setObjectName(QStringLiteral("frmLyric"));
  setFont(KaiFont(12));
  setWindowIcon(ApplicationIcon());

  LyricImgLst = {PictureIcon(Picture::LyricImport), PictureIcon(Picture::LyricUndo),
                 PictureIcon(Picture::LyricCopy), PictureIcon(Picture::LyricClear),
                 PictureIcon(Picture::LyricClose)};

  gbEditLyric = new TGroupBox(QString::fromUtf8("=·=歌词编辑=·="), this);
  gbEditLyric->setObjectName(QStringLiteral("gbEditLyric"));
  gbEditLyric->setFont(KaiFont(12));

  MOLyric = new QPlainTextEdit(gbEditLyric);
  MOLyric->setObjectName(QStringLiteral("MOLyric"));
  MOLyric->setFont(KaiFont(13));
  MOLyric->setLineWrapMode(QPlainTextEdit::NoWrap);
  MOLyric->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  MOLyric->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  MOLyric->setContextMenuPolicy(Qt::CustomContextMenu);
  MOLyric->setTabChangesFocus(false);

  PanelBox = new QWidget(gbEditLyric);
  PanelBox->setObjectName(QStringLiteral("PanelBox"));
  btnInsertTag = MakeCommandButton(PanelBox, "btnInsertTag", "嵌入时间", 2, 4,
                                   PictureIcon(Picture::LyricStamp));
  btnTagPlay =
      MakeCommandButton(PanelBox, "btnTagPlay", "继续播放", 107, 4, PictureIcon(Picture::Play));
  btnClose =
      MakeCommandButton(PanelBox, "btnClose", "关  闭", 211, 4, PictureIcon(Picture::LyricClose));
  btnInsertTag->setDefault(true);
  btnTagPlay->setEnabled(false);

  PMLyric = new QMenu(this);
  PMLyric->setObjectName(QStringLiteral("PMLyric"));
  ItemLoad = MenuItem("ItemLoad", "导入歌词...");
  N1 = MenuSeparator("N1");
  ItemSave = MenuItem("ItemSave", "存 储 为...");
  N2 = MenuSeparator("N2");
  ItemUndo = MenuItem("ItemUndo", "撤消操作");
  ItemPaste = MenuItem("ItemPaste", "粘    贴");
  ItemCopy = MenuItem("ItemCopy", "复    制");
  ItemDel = MenuItem("ItemDel", "删    除");
  ItemClear = MenuItem("ItemClear", "清    空");
  N3 = MenuSeparator("N3");
  ItemLeft = MenuItem("ItemLeft", "位于左端...");
  ItemRight = MenuItem("ItemRight", "位于右端...");
  ItemTop = MenuItem("ItemTop", "位于顶部...");
  ItemBottom = MenuItem("ItemBottom", "位于底部...");
  N4 = MenuSeparator("N4");
  ItemClose = MenuItem("ItemClose", "关    闭");
  ItemLoad->setIcon(LyricImgLst[0]);
  ItemUndo->setIcon(LyricImgLst[1]);
  ItemCopy->setIcon(LyricImgLst[2]);
  ItemClear->setIcon(LyricImgLst[3]);
  ItemClose->setIcon(LyricImgLst[4]);
  for (QAction* side : {ItemLeft, ItemRight, ItemTop, ItemBottom}) side->setCheckable(true);
  ItemTop->setChecked(true);

  frmLyricTimer = new QTimer(this);
  frmLyricTimer->setObjectName(QStringLiteral("frmLyricTimer"));
  frmLyricTimer->setInterval(kTimerInterval);

  setTabOrder(MOLyric, btnInsertTag);
  setTabOrder(btnInsertTag, btnTagPlay);
  setTabOrder(btnTagPlay, btnClose);

  connect(btnInsertTag, &QPushButton::clicked, this, [this] { btnInsertTagClick(); });
  connect(btnTagPlay, &QPushButton::clicked, this, [this] { btnTagPlayClick(); });
  connect(btnClose, &QPushButton::clicked, this, [this] { btnCloseClick(); });
  connect(MOLyric, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) { PMLyric->popup(MOLyric->viewport()->mapToGlobal(pos)); });
  connect(PMLyric, &QMenu::aboutToShow, this, [this] { PMLyricPopup(); });
  connect(ItemLoad, &QAction::triggered, this, [this] { ItemLoadClick(); });
  connect(ItemSave, &QAction::triggered, this, [this] { ItemSaveClick(); });
  connect(ItemUndo, &QAction::triggered, this, [this] { ItemUndoClick(); });
  connect(ItemPaste, &QAction::triggered, this, [this] { ItemPasteClick(); });
  connect(ItemCopy, &QAction::triggered, this, [this] { ItemCopyClick(); });
  connect(ItemDel, &QAction::triggered, this, [this] { ItemDelClick(); });
  connect(ItemClear, &QAction::triggered, this, [this] { ItemClearClick(); });
  ConnectCheckItem(ItemLeft, this, [this] { ItemLeftClick(); });
  ConnectCheckItem(ItemRight, this, [this] { ItemRightClick(); });
  ConnectCheckItem(ItemTop, this, [this] { ItemTopClick(); });
  ConnectCheckItem(ItemBottom, this, [this] { ItemBottomClick(); });
  connect(ItemClose, &QAction::triggered, this, [this] { btnCloseClick(); });
  connect(frmLyricTimer, &QTimer::timeout, this, [this] { frmLyricTimerTimer(); });
  // "继续播放" can be pressed while the track is paused.
  listening_ = Player.Subscribe([this](unsigned changes) {
    if (changes & kChangedState) btnTagPlay->setEnabled(Player.Snapshot().state == psPaused);
  });

  SetClientSize(kClientWidth, kClientHeight);
  FormCreate();
}

TfrmLyric::~TfrmLyric() { Player.Unsubscribe(listening_); }

QAction* TfrmLyric::MenuItem(const char* name, const char* caption) {
  return AddMenuItem(PMLyric, name, caption);
}

QAction* TfrmLyric::MenuSeparator(const char* name) { return AddMenuSeparator(PMLyric, name); }

void TfrmLyric::FormCreate() { setWindowTitle(DisplayText(State.VersionText)); }

void TfrmLyric::SetClientSize(int width, int height) {
  setFixedSize(width, height);
  LayOut();
}

void TfrmLyric::LayOut() {
  const int w = width();
  const int h = height();
  gbEditLyric->setGeometry(0, 0, w, h);
  const int inner = std::max(0, w - 4);
  PanelBox->setGeometry(2, std::max(0, h - 2 - kPanelHeight), inner, kPanelHeight);
  MOLyric->setGeometry(2, 14, inner, std::max(0, h - 14 - 2 - kPanelHeight));
}

void TfrmLyric::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  LayOut();
}

void TfrmLyric::keyPressEvent(QKeyEvent* event) {
  // Enter that no focused control took stamps the line: the window's default button.
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
      btnInsertTag->isEnabled()) {
    event->accept();
    btnInsertTag->click();
    return;
  }
  QWidget::keyPressEvent(event);
}

}  // namespace quillet
