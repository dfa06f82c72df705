// The playlist commands of the main window: adding by dialog and by dropping, deleting,
// clearing, the selection rules and the context menu's items. What the rows do to the player is
// tested on the player alone (core_playerlist_test).
#include <gtest/gtest.h>

#include <QProgressDialog>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>

#include "support/PlayRig.h"

namespace quillet::testing {
namespace {

// Counts the add progress dialogs as they are shown.
class ProgressShowSpy : public QObject {
 public:
  ProgressShowSpy() { QCoreApplication::instance()->installEventFilter(this); }
  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() == QEvent::Show && o->objectName() == QLatin1String("AddProgress")) ++shown;
    return false;
  }
  int shown = 0;
};

class PlaylistTest : public ::testing::Test {
 protected:
  PlayRig rig;
  TfrmMain& w = rig.main();
  const PlayerSnapshot& s = rig.session().Snapshot();

  std::vector<std::string> Paths() {
    std::vector<std::string> out;
    for (const PlaylistRow& r : w.Player.List().Rows()) out.push_back(r.path);
    return out;
  }
  Dialogs::FileResult Chosen(const std::vector<std::string>& files, int filterIndex = 0) {
    Dialogs::FileResult r;
    r.accepted = true;
    r.filterIndex = filterIndex;
    for (const std::string& f : files) r.files << QString::fromStdString(f);
    return r;
  }
};

TEST_F(PlaylistTest, AddByDialogSetsItUpAndSelectsTheFirstRowOfTheList) {
  for (int i = 0; i < 5; ++i) rig.AddRow(rig.File("r" + std::to_string(i) + ".mp3"));
  rig.Select({3}, 3);
  rig.state().LyricDir = rig.dir();
  rig.dialogs.fileResults.push_back(Chosen({rig.File("x.mp3"), rig.File("x.mp3")}, 2));
  w.List->btnAddLstClick();

  ASSERT_EQ(rig.dialogs.fileRequests.size(), 1u);
  const Dialogs::FileRequest& q = rig.dialogs.fileRequests[0];
  EXPECT_EQ(q.title.toStdString(), "添加歌曲...（可以选择多个！）");
  EXPECT_EQ(q.filter.toStdString(),
            "MP3音频文件（*.mp3）|*.mp3|WAV音频文件（*.wav）|*.wav|"
            "所有音频文件（*.mp3,*.wav）|*.mp3;*.wav|所有文件（*.*）|*.*");
  EXPECT_EQ(q.filterIndex, 0);
  EXPECT_EQ(q.directory.toStdString(), rig.dir());
  EXPECT_TRUE(q.multiple);

  // The same file twice makes two rows, after the old ones.
  ASSERT_EQ(w.Player.List().Count(), 7);
  EXPECT_EQ(w.Player.List().Row(5).path, rig.File("x.mp3"));
  EXPECT_EQ(w.Player.List().Row(6).path, rig.File("x.mp3"));
  EXPECT_EQ(w.Player.List().Selected(), std::vector<int>{0});
  EXPECT_EQ(w.List->FocusedRow(), 0);

  // The entry chosen last time is offered; a cancel changes nothing.
  w.List->btnAddLstClick();
  ASSERT_EQ(rig.dialogs.fileRequests.size(), 2u);
  EXPECT_EQ(rig.dialogs.fileRequests[1].filterIndex, 2);
  EXPECT_EQ(w.Player.List().Count(), 7);
}

TEST_F(PlaylistTest, AddingWhileHiddenAddsAndSelectsWithoutFocus) {
  ASSERT_FALSE(w.isVisible());
  rig.dialogs.fileResults.push_back(Chosen({rig.File("a.mp3")}));
  w.List->btnAddLstClick();
  EXPECT_EQ(w.Player.List().Count(), 1);
  EXPECT_EQ(w.Player.List().Selected(), std::vector<int>{0});
  EXPECT_FALSE(w.ListViewLst->hasFocus());
}

TEST_F(PlaylistTest, DroppedNamesAreAddedWholeWhateverTheyName) {
  rig.AddRow(rig.File("keep.mp3"));
  rig.Select({0}, 0);
  const std::string longName = rig.File(std::string(250, 'n') + ".mp3");
  ASSERT_GT(longName.size(), 254u);
  MakeDir(rig.File("album"));
  WriteBytes(rig.File("song.lrc"), "[00:01]x\n");
  w.List->WMDropFiles({longName, rig.File("album"), rig.File("song.lrc"), rig.File("keep.mp3")});
  EXPECT_EQ(Paths(), (std::vector<std::string>{rig.File("keep.mp3"), longName, rig.File("album"),
                                               rig.File("song.lrc"), rig.File("keep.mp3")}));
  EXPECT_EQ(w.Player.List().Row(1).name, std::string(250, 'n') + ".mp3");
  EXPECT_EQ(w.Player.List().Row(2).name, "album");
  EXPECT_TRUE(w.Player.List().Row(2).length.empty());
  EXPECT_EQ(w.Player.List().Row(3).name, "song.lrc");
  EXPECT_TRUE(w.Player.Lyric().empty());  // a dropped lyric file is just a row
  EXPECT_EQ(w.Player.List().Selected(), std::vector<int>{0});
}

TEST_F(PlaylistTest, ManyFilesShowAProgressDialogWithTheCountAndKeepTheirOrder) {
  std::vector<std::string> files;
  for (int i = 0; i < 60; ++i) files.push_back(rig.File("f" + std::to_string(i) + ".mp3"));
  // A quick add, well inside the delay, goes without one, not even for an instant.
  {
    ProgressShowSpy spy;
    w.List->WMDropFiles(files);
    EXPECT_EQ(spy.shown, 0);
    EXPECT_EQ(w.Player.List().Count(), 60);
  }
  w.Player.List().Clear();

  // One still going when the delay is up shows it.
  w.List->AddProgressDelayMs = 0;
  QString label;
  bool seen = false;
  QTimer::singleShot(0, &w, [&] {
    auto* p = w.findChild<QProgressDialog*>(QStringLiteral("AddProgress"));
    if (p == nullptr) return;
    seen = p->isVisible();
    label = p->labelText();
  });
  w.List->WMDropFiles(files);
  EXPECT_TRUE(seen);
  EXPECT_NE(label.indexOf(QString::fromUtf8("共 60 首")), -1) << label.toStdString();
  EXPECT_EQ(Paths(), files);
  EXPECT_EQ(w.findChild<QProgressDialog*>(QStringLiteral("AddProgress")), nullptr);

  // A few files go without one.
  bool shown = false;
  QTimer::singleShot(0, &w, [&] {
    shown = w.findChild<QProgressDialog*>(QStringLiteral("AddProgress")) != nullptr;
  });
  w.List->WMDropFiles({rig.File("one.mp3"), rig.File("two.mp3")});
  EXPECT_FALSE(shown);
  EXPECT_EQ(w.Player.List().Count(), 62);
}

TEST_F(PlaylistTest, CancellingTheProgressDialogKeepsTheRowsMadeSoFar) {
  w.List->AddProgressDelayMs = 0;
  std::vector<std::string> files;
  for (int i = 0; i < 80; ++i) files.push_back(rig.File("f" + std::to_string(i) + ".mp3"));
  QTimer::singleShot(0, &w, [&] {
    if (auto* p = w.findChild<QProgressDialog*>(QStringLiteral("AddProgress"))) p->cancel();
  });
  w.List->WMDropFiles(files);
  ASSERT_GT(w.Player.List().Count(), 0);
  ASSERT_LT(w.Player.List().Count(), 80);
  const std::vector<std::string> kept(files.begin(), files.begin() + w.Player.List().Count());
  EXPECT_EQ(Paths(), kept);
}

TEST_F(PlaylistTest, DeleteAsksAndRemovesTheSelectedRows) {
  for (int i = 0; i < 5; ++i) rig.AddRow(rig.File("r" + std::to_string(i) + ".mp3"));
  w.List->btnDelLstClick();  // nothing selected: no question
  EXPECT_TRUE(rig.dialogs.messages.empty());

  rig.Select({1, 3}, 3);
  rig.dialogs.answers.push_back(Dialogs::Answer::Cancel);
  w.List->btnDelLstClick();
  ASSERT_EQ(rig.dialogs.messages.size(), 1u);
  EXPECT_EQ(rig.dialogs.messages[0].text.toStdString(), "确定要删除列表中所选择的歌曲吗?");
  EXPECT_EQ(rig.dialogs.messages[0].title.toStdString(), "Quillet");
  EXPECT_EQ(rig.dialogs.messages[0].icon, Dialogs::Icon::Question);
  EXPECT_EQ(rig.dialogs.messages[0].buttons, Dialogs::Buttons::OkCancel);
  EXPECT_EQ(w.Player.List().Count(), 5);

  rig.dialogs.answers.push_back(Dialogs::Answer::Ok);
  w.List->btnDelLstClick();
  EXPECT_EQ(Paths(),
            (std::vector<std::string>{rig.File("r0.mp3"), rig.File("r2.mp3"), rig.File("r4.mp3")}));
}

TEST_F(PlaylistTest, DeleteRemovesTheRowsSelectedWhenAskedEvenIfATickMovesTheSelection) {
  for (int i = 0; i < 5; ++i) rig.AddTrack(rig.File("r" + std::to_string(i) + ".mp3"));
  rig.Select({0}, 0);
  w.Modes->ItemLoopLstClick();
  rig.Select({3, 4}, 4);
  // The list loop's tick selects row 0 while the question is open.
  rig.dialogs.whileOpen = [&] { rig.Tick(); };
  w.List->btnDelLstClick();
  EXPECT_EQ(Paths(),
            (std::vector<std::string>{rig.File("r0.mp3"), rig.File("r1.mp3"), rig.File("r2.mp3")}));
}

TEST_F(PlaylistTest, ClearAsksOnlyWhenThereAreRows) {
  w.List->ItemClearLstClick();
  EXPECT_TRUE(rig.dialogs.messages.empty());
  rig.AddRow(rig.File("a.mp3"));
  rig.AddRow(rig.File("b.mp3"));
  rig.dialogs.answers.push_back(Dialogs::Answer::Cancel);
  w.List->ItemClearLstClick();
  ASSERT_EQ(rig.dialogs.messages.size(), 1u);
  EXPECT_EQ(rig.dialogs.messages[0].text.toStdString(), "确定要清空播放列表吗?");
  EXPECT_EQ(w.Player.List().Count(), 2);
  w.List->ItemClearLstClick();  // with no row selected too
  EXPECT_EQ(w.Player.List().Count(), 0);
}

TEST_F(PlaylistTest, AClickKeepsTheFocusedRowSelected) {
  for (int i = 0; i < 3; ++i) rig.AddRow(rig.File("r" + std::to_string(i) + ".mp3"));
  rig.Select({0}, 2);
  w.List->ListViewLstClick();
  EXPECT_EQ(w.Player.List().Selected(), (std::vector<int>{0, 2}));
  rig.Select({});
  w.List->ListViewLstClick();
  EXPECT_EQ(w.Player.List().Selected(), std::vector<int>{2});
}

// Real mouse and key events on a scrolled list: the row that becomes selected ends wholly in
// view, and a view that already shows it does not move, so both clicks of a double-click land
// on the same row and that row plays.
TEST_F(PlaylistTest, TheRowThatBecomesSelectedIsInViewAndAClickDoesNotMoveTheView) {
  for (int i = 0; i < 60; ++i) rig.AddTrack(rig.File("t" + std::to_string(i) + ".mp3"));
  rig.Select({0}, 0);
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  TListView* v = w.ListViewLst;
  QScrollBar* bar = v->verticalScrollBar();
  auto rect = [&](int row) { return v->visualRect(w.ListModel->index(row, 0)); };
  auto inView = [&](int row) {
    const QRect r = rect(row);
    return r.isValid() && r.top() >= 0 && r.bottom() < v->viewport()->height();
  };
  auto topRow = [&] { return v->indexAt(QPoint(1, 1)).row(); };
  // Mouse events go to the window, which hands them to the view as the platform would.
  auto inWindow = [&](int row) { return v->viewport()->mapTo(&w, rect(row).center()); };
  auto wheelDown = [&](int notches) {
    const QPointF at = v->viewport()->rect().center();
    QWheelEvent e(at, v->viewport()->mapToGlobal(at), QPoint(), QPoint(0, -120 * notches),
                  Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(v->viewport(), &e);
  };

  // The selected row scrolled away, a row double-clicked: that row plays.
  wheelDown(3);
  ASSERT_FALSE(inView(0));
  const int played = topRow() + 4;
  ASSERT_TRUE(inView(played + 1));
  QTest::mouseDClick(w.windowHandle(), Qt::LeftButton, {}, inWindow(played));
  EXPECT_EQ(w.Player.List().Selected(), std::vector<int>{played});
  ASSERT_NE(rig.engine().Find(rig.Current()), nullptr);
  EXPECT_EQ(rig.engine().Find(rig.Current())->path,
            rig.File("t" + std::to_string(played) + ".mp3"));

  // Again away from the selection, a single click: the view stays where the wheel left it.
  wheelDown(4);
  ASSERT_FALSE(inView(played));
  const int scrolled = bar->value();
  const int clicked = topRow() + 3;
  QTest::mouseClick(w.windowHandle(), Qt::LeftButton, {}, inWindow(clicked));
  EXPECT_EQ(w.Player.List().Selected(), std::vector<int>{clicked});
  EXPECT_EQ(bar->value(), scrolled);
  EXPECT_TRUE(inView(clicked));

  QTest::keyClick(v, Qt::Key_PageDown);
  ASSERT_GT(w.List->FocusedRow(), clicked);
  EXPECT_EQ(w.Player.List().Selected(), std::vector<int>{w.List->FocusedRow()});
  EXPECT_TRUE(inView(w.List->FocusedRow()));
  QTest::keyClick(v, Qt::Key_End);
  EXPECT_EQ(w.Player.List().Selected(), std::vector<int>{59});
  EXPECT_TRUE(inView(59));
  QTest::keyClick(v, Qt::Key_Home);
  EXPECT_TRUE(inView(0));
}

TEST_F(PlaylistTest, PopupMenuShowsTheItemsThePlayerAllowsAndSelectsTheFocusedRow) {
  w.Modes->PopupMenuContrlsPopup();
  for (QAction* a : {w.ItemDelLst, w.ItemSaveLst, w.ItemClearLst, w.ItemLoopLst, w.ItemLoopSel,
                     w.ItemLoopSingle}) {
    EXPECT_FALSE(a->isEnabled()) << a->objectName().toStdString();
  }
  for (QAction* a : {w.ItemAddLst, w.ItemLoadLst, w.ItemAbout, w.ItemExit, w.ItemHide}) {
    EXPECT_TRUE(a->isEnabled()) << a->objectName().toStdString();
  }
  EXPECT_EQ(w.ItemHide->text().toStdString(), "显示程序");

  // A focused row becomes selected as the menu opens.
  rig.AddTrack(rig.File("a.mp3"));
  rig.AddTrack(rig.File("b.mp3"));
  rig.Select({}, 1);
  w.Modes->PopupMenuContrlsPopup();
  EXPECT_EQ(w.Player.List().Selected(), std::vector<int>{1});
  EXPECT_TRUE(w.ItemDelLst->isEnabled() && w.ItemSaveLst->isEnabled() &&
              w.ItemClearLst->isEnabled() && w.ItemLoopLst->isEnabled() &&
              w.ItemLoopSel->isEnabled());
  EXPECT_FALSE(w.ItemLoopSingle->isEnabled());
  w.Transport->btnPlayClick();
  w.Modes->PopupMenuContrlsPopup();
  EXPECT_TRUE(w.ItemLoopSingle->isEnabled());

  w.show();
  w.Modes->PopupMenuContrlsPopup();
  EXPECT_EQ(w.ItemHide->text().toStdString(), "隐藏程序");
}

TEST_F(PlaylistTest, TheCloseBoxNeverClosesAndPlaybackGoesOn) {
  rig.AddTrack(rig.File("a.mp3"));
  rig.Select({0}, 0);
  w.Transport->btnPlayClick();
  w.show();
  bool canClose = true;
  w.Tray->FormCloseQuery(canClose);
  EXPECT_FALSE(canClose);
  rig.Tick();
  EXPECT_EQ(s.state, psPlaying);
}

}  // namespace
}  // namespace quillet::testing
