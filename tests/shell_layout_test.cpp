// The four windows as the user sees them at start: every named control with its place, size,
// caption and enabled state; the menus item by item; the playlist's columns.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "support/AppFixture.h"

namespace quillet {
namespace {

using testing::AppFixture;

struct Control {
  const char* name;
  const char* parent;
  QRect geometry;  // an empty rect: not checked
  const char* caption;
  bool enabled;
};

QString CaptionOf(QWidget* w) {
  if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
  if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
  if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
  return {};
}

void ExpectControls(QWidget* window, const std::vector<Control>& controls) {
  for (const Control& c : controls) {
    SCOPED_TRACE(c.name);
    auto* w = window->findChild<QWidget*>(QLatin1String(c.name));
    ASSERT_NE(w, nullptr);
    ASSERT_NE(w->parentWidget(), nullptr);
    EXPECT_EQ(w->parentWidget()->objectName(), QLatin1String(c.parent));
    if (!c.geometry.isEmpty()) {
      EXPECT_EQ(w->geometry(), c.geometry);
    }
    if (c.caption != nullptr) {
      EXPECT_EQ(CaptionOf(w), QString::fromUtf8(c.caption));
    }
    EXPECT_EQ(w->isEnabled(), c.enabled);
  }
}

class Layout : public ::testing::Test {
 protected:
  AppFixture app;
};

TEST_F(Layout, MainWindowControls) {
  TfrmMain& m = app.main();
  EXPECT_EQ(m.size(), QSize(584, 298));
  EXPECT_EQ(m.minimumSize(), m.maximumSize());  // cannot be resized
  EXPECT_FALSE(m.windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(m.windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_EQ(m.windowTitle(), QStringLiteral("Quillet 06.12.15"));
  const std::vector<Control> controls = {
      {"GroupBoxAppContrls", "frmMain", {0, 0, 584, 40}, "=·=Quillet=·=", true},
      {"btnHideApp", "GroupBoxAppContrls", {2, 16, 75, 20}, "隐藏程序", true},
      {"btnAddLst", "GroupBoxAppContrls", {86, 16, 75, 20}, "添加...", true},
      {"btnDelLst", "GroupBoxAppContrls", {170, 16, 75, 20}, "删除...", true},
      {"btnEditLyric", "GroupBoxAppContrls", {254, 16, 75, 20}, "编辑歌词", true},
      {"btnConfigure", "GroupBoxAppContrls", {338, 16, 75, 20}, "设置...", true},
      {"btnAboutApp", "GroupBoxAppContrls", {422, 16, 75, 20}, "关于...", true},
      {"btnExitApp", "GroupBoxAppContrls", {506, 16, 75, 20}, "退出...", true},
      {"PanelLyric", "frmMain", {0, 40, 584, 15}, "歌词显示区...", true},
      {"GBList", "frmMain", {0, 55, 584, 168}, "=·=播放列表=·=", true},
      {"ListViewLst", "GBList", {2, 14, 580, 152}, nullptr, true},
      {"GBPlayProgress", "frmMain", {0, 223, 584, 35}, "=·=播放进度=·=", true},
      {"tbPlayProgress", "GBPlayProgress", {2, 14, 580, 12}, nullptr, true},
      {"GBPlayControl", "frmMain", {0, 258, 584, 40}, "=·=播放控制=·=", true},
      {"SpeakerImage", "GBPlayControl", {6, 19, 16, 16}, nullptr, true},
      {"tbSetVolume", "GBPlayControl", {21, 20, 140, 12}, nullptr, true},
      {"btnPrev", "GBPlayControl", {170, 16, 75, 20}, "上一首", true},
      {"btnPlay", "GBPlayControl", {254, 16, 75, 20}, "播放", true},
      {"btnPause", "GBPlayControl", {338, 16, 75, 20}, "暂停", true},
      {"btnStop", "GBPlayControl", {422, 16, 75, 20}, "停止", true},
      {"btnNext", "GBPlayControl", {506, 16, 75, 20}, "下一首", true},
  };
  ExpectControls(&m, controls);
  EXPECT_EQ(m.GroupBoxAppContrls->CaptionIndent(), 235);
  EXPECT_TRUE(m.btnHideApp->isDefault());
  for (QPushButton* b : {m.btnAddLst, m.btnDelLst, m.btnAboutApp, m.btnExitApp, m.btnPrev,
                         m.btnPlay, m.btnPause, m.btnStop, m.btnNext}) {
    EXPECT_FALSE(b->icon().isNull()) << b->objectName().toStdString();
  }
  for (QPushButton* b : {m.btnHideApp, m.btnEditLyric, m.btnConfigure}) {
    EXPECT_TRUE(b->icon().isNull()) << b->objectName().toStdString();
  }
  EXPECT_FALSE(m.SpeakerImage->pixmap().isNull());
}

TEST_F(Layout, FontsAndColours) {
  TfrmMain& m = app.main();
  EXPECT_EQ(m.font().family(), QString::fromUtf8("楷体_GB2312"));
  EXPECT_EQ(m.font().pixelSize(), 12);
  EXPECT_EQ(m.btnPlay->palette().color(QPalette::ButtonText), QColor(0, 0, 128));
  EXPECT_EQ(m.btnHideApp->palette().color(QPalette::ButtonText), QColor(0, 0, 128));
  EXPECT_TRUE(m.PanelLyric->font().bold());
  EXPECT_EQ(m.PanelLyric->palette().color(QPalette::WindowText), QColor(128, 0, 0));
  EXPECT_EQ(m.PanelLyric->alignment(), Qt::AlignCenter);
  const QPalette list = m.ListViewLst->palette();
  EXPECT_EQ(list.color(QPalette::Base), QColor(166, 202, 240));
  EXPECT_EQ(list.color(QPalette::Text), QColor(0, 0, 128));
  // The selection looks the same with and without the focus.
  EXPECT_EQ(list.color(QPalette::Inactive, QPalette::Highlight),
            list.color(QPalette::Active, QPalette::Highlight));
}

TEST_F(Layout, TrackBarsAtStart) {
  TfrmMain& m = app.main();
  EXPECT_EQ(m.tbPlayProgress->Min(), 0);
  EXPECT_EQ(m.tbPlayProgress->Max(), 100);
  EXPECT_EQ(m.tbSetVolume->Max(), 65535);
  for (TsTrackBar* bar : {m.tbPlayProgress, m.tbSetVolume}) {
    EXPECT_EQ(bar->Position(), 0);
    EXPECT_EQ(bar->PageSize(), 1);
    EXPECT_EQ(bar->ThumbLength(), 10);
    EXPECT_EQ(bar->focusPolicy(), Qt::ClickFocus);  // no tab stop
    EXPECT_EQ(bar->SkinSection, QStringLiteral("TRACKBAR"));
  }
}

TEST_F(Layout, TabOrderRunsBandByBand) {
  TfrmMain& m = app.main();
  const std::vector<QWidget*> expected = {
      m.btnHideApp,   m.btnAddLst,    m.btnDelLst,   m.btnAboutApp, m.btnExitApp,
      m.btnEditLyric, m.btnConfigure, m.ListViewLst, m.btnPrev,     m.btnPlay,
      m.btnPause,     m.btnStop,      m.btnNext};
  QWidget* w = expected.front();
  for (std::size_t i = 1; i < expected.size(); ++i) {
    do {
      w = w->nextInFocusChain();
    } while (!(w->focusPolicy() & Qt::TabFocus));
    EXPECT_EQ(w, expected[i]) << i;
  }
}

TEST_F(Layout, PlaylistColumnsAndTheirLimits) {
  TListView* view = app.main().ListViewLst;
  QHeaderView* header = view->header();
  const char* captions[] = {"歌曲名", "歌手名", "所属专辑", "歌曲长度", "文件路径"};
  const int widths[] = {175, 85, 95, 60, 142};
  ASSERT_EQ(view->model()->columnCount(), 5);
  for (int c = 0; c < 5; ++c) {
    EXPECT_EQ(view->model()->headerData(c, Qt::Horizontal).toString(),
              QString::fromUtf8(captions[c]));
    EXPECT_EQ(header->sectionSize(c), widths[c]);
  }
  EXPECT_EQ(
      view->model()->headerData(3, Qt::Horizontal, Qt::TextAlignmentRole).value<Qt::Alignment>() &
          Qt::AlignHCenter,
      Qt::AlignHCenter);
  // Narrowing works; widening stops at the first width.
  header->resizeSection(0, 100);
  EXPECT_EQ(header->sectionSize(0), 100);
  header->resizeSection(0, 400);
  EXPECT_EQ(header->sectionSize(0), 175);
  header->resizeSection(4, 143);
  EXPECT_EQ(header->sectionSize(4), 142);
  EXPECT_EQ(view->selectionBehavior(), QAbstractItemView::SelectRows);
  EXPECT_EQ(view->selectionMode(), QAbstractItemView::ExtendedSelection);
  EXPECT_EQ(view->editTriggers(), QAbstractItemView::NoEditTriggers);
  EXPECT_EQ(view->model()->rowCount(), 0);
}

struct Item {
  const char* name;
  const char* caption;  // nullptr: a separator
  bool icon;
  bool checkable;
};

void ExpectMenu(QMenu* menu, const std::vector<Item>& items) {
  const QList<QAction*> actions = menu->actions();
  ASSERT_EQ(actions.size(), static_cast<qsizetype>(items.size()));
  for (std::size_t i = 0; i < items.size(); ++i) {
    const Item& it = items[i];
    QAction* a = actions[static_cast<qsizetype>(i)];
    SCOPED_TRACE(it.name);
    EXPECT_EQ(a->objectName(), QLatin1String(it.name));
    if (it.caption == nullptr) {
      EXPECT_TRUE(a->isSeparator());
      continue;
    }
    EXPECT_FALSE(a->isSeparator());
    EXPECT_EQ(a->text(), QString::fromUtf8(it.caption));
    EXPECT_EQ(!a->icon().isNull(), it.icon);
    EXPECT_EQ(a->isCheckable(), it.checkable);
    EXPECT_TRUE(a->isEnabled());
  }
}

TEST_F(Layout, ContextMenuItemsInOrder) {
  TfrmMain& m = app.main();
  ExpectMenu(m.PopupMenuContrls, {
                                     {"ItemAddLst", "添加文件...", true, false},
                                     {"ItemDelLst", "删除文件...", true, false},
                                     {"N1", nullptr, false, false},
                                     {"ItemSaveLst", "保存列表...", true, false},
                                     {"ItemClearLst", "清    空", false, false},
                                     {"ItemLoadLst", "载入列表...", true, false},
                                     {"N2", nullptr, false, false},
                                     {"ItemPause", "暂    停", false, false},
                                     {"ItemPlay", "播    放", false, false},
                                     {"ItemStop", "停    止", false, false},
                                     {"ItemPrev", "上 一 首", false, false},
                                     {"ItemNext", "下 一 首", false, false},
                                     {"N9", nullptr, false, false},
                                     {"ItemHide", "隐藏程序", false, false},
                                     {"N12", nullptr, false, false},
                                     {"ItemLoopLst", "播放列表", false, true},
                                     {"ItemLoopSel", "选择播放", false, true},
                                     {"ItemLoopSingle", "单首循环", false, true},
                                     {"N3", nullptr, false, false},
                                     {"ItemOptions", "选    项...", false, false},
                                     {"ItemDesktopLyrics", "桌面歌词", false, true},
                                     {"ItemLockDesktopLyrics", "锁定桌面歌词", false, true},
                                     {"N13", nullptr, false, false},
                                     {"ItemAbout", "关    于...", true, false},
                                     {"ItemExit", "退    出", true, false},
                                 });
  for (QAction* mode : {m.ItemLoopLst, m.ItemLoopSel, m.ItemLoopSingle}) {
    EXPECT_FALSE(mode->isChecked());
    EXPECT_EQ(mode->actionGroup(), nullptr);  // plain check items
  }
  // Checking one does not clear the others.
  m.ItemLoopLst->setChecked(true);
  m.ItemLoopSel->setChecked(true);
  EXPECT_TRUE(m.ItemLoopLst->isChecked());
  int pictured = 0;
  for (QAction* a : m.PopupMenuContrls->actions()) pictured += a->icon().isNull() ? 0 : 1;
  EXPECT_EQ(pictured, 6);
}

TEST_F(Layout, NonVisualComponents) {
  TfrmMain& m = app.main();
  EXPECT_EQ(m.ShowTimer->interval(), 150);
  EXPECT_TRUE(m.List->ODAddFile.multiple);
  EXPECT_FALSE(m.Files->SDLst.multiple);
  EXPECT_FALSE(m.Files->ODLoadLst.multiple);
  EXPECT_EQ(m.AppTrayIcon->PopupMenu, m.PopupMenuContrls);
  EXPECT_EQ(m.AppTrayIcon->RestoreOn, ticNone);
  EXPECT_FALSE(m.AppTrayIcon->HideOnMinimize);
  EXPECT_EQ(m.AppTrayIcon->Hint(), "Quillet 06.12.15");
  EXPECT_EQ(m.Player.ListCursor(), -1);
  EXPECT_EQ(m.Player.SelectionCursor(), 0);
  EXPECT_TRUE(m.Player.Lyric().empty());
  EXPECT_TRUE(m.Player.LoopSelectionPaths().empty());
}

TEST_F(Layout, AboutBox) {
  TfrmAbout& a = app.about();
  EXPECT_EQ(a.size(), QSize(316, 172));
  EXPECT_EQ(a.minimumSize(), a.maximumSize());
  EXPECT_EQ(a.windowTitle(), QStringLiteral("Quillet"));
  EXPECT_FALSE(a.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
  ExpectControls(&a, {
                         {"AboutBox", "frmAbout", {0, 0, 316, 145}, "=·=Quillet=·=", true},
                         {"VersionLabel", "AboutBox", {100, 17, 112, 12}, "Quillet 06.12.15", true},
                         {"Label2", "AboutBox", {222, 29, 84, 12}, nullptr, true},
                         {"Label3",
                          "AboutBox",
                          {29, 52, 264, 36},
                          "本软件是一款基于BASS.DLL的简易方便的音频播放\n\n软件，完全免费使用，"
                          "不受任何限制！",
                          true},
                         {"Label6", "AboutBox", {28, 99, 55, 12}, "E-Mail：", true},
                         {"Label4", "AboutBox", {92, 99, 102, 12}, nullptr, true},
                         {"Label7", "AboutBox", {27, 124, 65, 12}, "作者网址：", true},
                         {"Label5", "AboutBox", {92, 124, 138, 12}, nullptr, true},
                         {"Image1", "AboutBox", {8, 14, 32, 32}, nullptr, true},
                         {"btnOk", "frmAbout", {121, 148, 81, 20}, "确定", true},
                     });
  EXPECT_TRUE(a.VersionLabel->font().bold());
  EXPECT_EQ(a.VersionLabel->palette().color(QPalette::WindowText), QColor(255, 0, 0));
  EXPECT_EQ(a.Label3->palette().color(QPalette::WindowText), QColor(128, 0, 128));
  EXPECT_EQ(a.Label4->palette().color(QPalette::WindowText), QColor(0, 0, 255));
  EXPECT_TRUE(a.Label7->font().bold());
  EXPECT_TRUE(a.btnOk->font().bold());
  EXPECT_FALSE(a.btnOk->isDefault());
  EXPECT_FALSE(a.Label4->text().isEmpty());
  EXPECT_FALSE(a.Label5->text().isEmpty());
}

TEST_F(Layout, AboutBoxClosesWithOkButNotWithEscape) {
  TfrmAbout& a = app.about();
  a.ShowModal();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&a));
  EXPECT_TRUE(a.isModal());
  QTest::keyClick(&a, Qt::Key_Escape);
  EXPECT_TRUE(a.isVisible());
  a.btnOk->click();
  EXPECT_FALSE(a.isVisible());
  // Shown again, it is the same box with the same text, where it was left.
  a.move(a.pos() + QPoint(37, 21));
  const QPoint moved = a.pos();
  a.ShowModal();
  EXPECT_EQ(a.pos(), moved);
  EXPECT_EQ(a.VersionLabel->text(), QStringLiteral("Quillet 06.12.15"));
  a.close();
}

TEST_F(Layout, SettingsDialog) {
  TfrmConfig& c = app.config();
  EXPECT_EQ(c.size(), QSize(382, 126));
  EXPECT_EQ(c.windowTitle(), QStringLiteral("Quillet 06.12.15"));
  ExpectControls(&c, {
                         {"GBPath", "frmConfig", {0, 0, 382, 55}, "路径设置", true},
                         {"LBLyricPath", "GBPath", {}, "歌词目录：", true},
                         {"EditLyricPath", "GBPath", {}, nullptr, true},
                         {"btnLyricPath", "GBPath", {}, "浏览...", true},
                         {"GBRelate", "frmConfig", {0, 55, 382, 48}, "关联文件", true},
                         {"CBMp3", "GBRelate", {}, "MP3音频文件（*.mp3）", false},
                         {"CBWave", "GBRelate", {}, "WAVE音频文件（*.wav）", false},
                         {"btnPathOk", "frmConfig", {}, "提交", true},
                         {"btnPathClose", "frmConfig", {}, "关闭", true},
                     });
  EXPECT_EQ(c.EditLyricPath->width(), 224);
  EXPECT_TRUE(c.btnPathOk->isDefault());
  EXPECT_TRUE(c.EditLyricPath->text().isEmpty());
  EXPECT_FALSE(c.CBMp3->isChecked());
  // Every control lies inside the dialog.
  for (QWidget* w : c.findChildren<QWidget*>()) {
    if (!w->isWindow() && w->parentWidget() == &c) {
      EXPECT_TRUE(c.rect().contains(w->geometry())) << w->objectName().toStdString();
    }
  }
}

TEST_F(Layout, LyricEditor) {
  TfrmLyric& l = app.lyric();
  EXPECT_EQ(l.size(), QSize(290, 298));
  EXPECT_EQ(l.windowTitle(), QStringLiteral("Quillet 06.12.15"));
  EXPECT_FALSE(l.isVisible());
  ExpectControls(&l, {
                         {"gbEditLyric", "frmLyric", {0, 0, 290, 298}, "=·=歌词编辑=·=", true},
                         {"MOLyric", "gbEditLyric", {}, nullptr, true},
                         {"PanelBox", "gbEditLyric", {}, nullptr, true},
                         {"btnInsertTag", "PanelBox", {2, 4, 75, 20}, "嵌入时间", true},
                         {"btnTagPlay", "PanelBox", {107, 4, 75, 20}, "继续播放", false},
                         {"btnClose", "PanelBox", {211, 4, 75, 20}, "关  闭", true},
                     });
  EXPECT_EQ(l.PanelBox->height(), 24);
  EXPECT_EQ(l.PanelBox->geometry().bottom(), l.height() - 3);
  EXPECT_LT(l.MOLyric->geometry().bottom(), l.PanelBox->geometry().top());
  EXPECT_EQ(l.MOLyric->font().pixelSize(), 13);
  EXPECT_EQ(l.MOLyric->lineWrapMode(), QPlainTextEdit::NoWrap);
  EXPECT_TRUE(l.MOLyric->toPlainText().isEmpty());
  EXPECT_TRUE(l.btnInsertTag->isDefault());
  EXPECT_EQ(l.frmLyricTimer->interval(), 150);
  EXPECT_FALSE(l.frmLyricTimer->isActive());
  EXPECT_EQ(l.LyricImgLst.size(), 5u);
  ExpectMenu(l.PMLyric, {
                            {"ItemLoad", "导入歌词...", true, false},
                            {"N1", nullptr, false, false},
                            {"ItemSave", "存 储 为...", false, false},
                            {"N2", nullptr, false, false},
                            {"ItemUndo", "撤消操作", true, false},
                            {"ItemPaste", "粘    贴", false, false},
                            {"ItemCopy", "复    制", true, false},
                            {"ItemDel", "删    除", false, false},
                            {"ItemClear", "清    空", true, false},
                            {"N3", nullptr, false, false},
                            {"ItemLeft", "位于左端...", false, true},
                            {"ItemRight", "位于右端...", false, true},
                            {"ItemTop", "位于顶部...", false, true},
                            {"ItemBottom", "位于底部...", false, true},
                            {"N4", nullptr, false, false},
                            {"ItemClose", "关    闭", true, false},
                        });
  EXPECT_TRUE(l.ItemTop->isChecked());
  EXPECT_FALSE(l.ItemLeft->isChecked() || l.ItemRight->isChecked() || l.ItemBottom->isChecked());
}

TEST_F(Layout, LyricEditorControlsFollowItsSize) {
  TfrmLyric& l = app.lyric();
  l.SetClientSize(584, 215);
  EXPECT_EQ(l.size(), QSize(584, 215));
  EXPECT_EQ(l.gbEditLyric->geometry(), QRect(0, 0, 584, 215));
  EXPECT_EQ(l.PanelBox->width(), 580);
  EXPECT_EQ(l.PanelBox->geometry().bottom(), 215 - 3);
  EXPECT_EQ(l.MOLyric->width(), 580);
}

TEST_F(Layout, EveryNamedComponentIsDistinct) {
  // No two components of a window share a name, and none is left unnamed.
  for (QWidget* window :
       std::vector<QWidget*>{&app.main(), &app.about(), &app.config(), &app.lyric()}) {
    QSet<QString> names;
    for (QWidget* w : window->findChildren<QWidget*>()) {
      const QString name = w->objectName();
      if (name.isEmpty() || name.startsWith(QLatin1String("qt_"))) continue;
      if (w->window() != window) continue;
      EXPECT_FALSE(names.contains(name)) << name.toStdString();
      names.insert(name);
    }
  }
}

}  // namespace
}  // namespace quillet
