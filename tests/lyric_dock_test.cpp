// Placing the lyric editor against the main window: the four sides by outer (frame) bounds, the
// button positions, following a moved main window, the side items and the edit button.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <array>

#include "support/AppFixture.h"

namespace quillet {
namespace {

using testing::AppFixture;

class LyricDockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    main().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main()));
    main().move(400, 500);
  }

  TfrmMain& main() { return app.main(); }
  TfrmLyric& ed() { return app.lyric(); }
  QRect M() { return main().frameGeometry(); }
  QRect E() { return ed().frameGeometry(); }
  std::array<int, 3> ButtonLefts() {
    return {ed().btnInsertTag->x(), ed().btnTagPlay->x(), ed().btnClose->x()};
  }
  void Open() {
    main().Files->btnEditLyricClick();
    ASSERT_TRUE(ed().isVisible());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&ed()));
    ed().frmLyricTimerTimer();  // the frame is known by now
  }

  AppFixture app;
};

using Lefts = std::array<int, 3>;

TEST_F(LyricDockTest, OpensAboveTheMainWindowAsWideAsItAnd215High) {
  EXPECT_TRUE(ed().ItemTop->isChecked());
  EXPECT_FALSE(ed().frmLyricTimer->isActive());
  EXPECT_EQ(ed().frmLyricTimer->interval(), 150);
  Open();
  EXPECT_TRUE(ed().frmLyricTimer->isActive());
  EXPECT_EQ(E(), QRect(M().left(), M().top() - 215, M().width(), 215));
  // The outer bounds count: a frame, where the platform draws one, is inside them.
  EXPECT_EQ(ed().size(), QSize(M().width(), 215) - (E().size() - ed().geometry().size()));

  const int w = ed().PanelBox->width();
  EXPECT_EQ(ButtonLefts(), (Lefts{2, w / 2 - 37, w - 75}));
  EXPECT_GT(w, 400);
}

TEST_F(LyricDockTest, EachSidePlacesTheEditorEdgeToEdge) {
  Open();
  // "Left" puts the editor on the main window's right, "right" on its left.
  ed().ItemLeftClick();
  ed().frmLyricTimerTimer();
  EXPECT_EQ(E(), QRect(M().left() + M().width(), M().top(), 298, M().height()));
  EXPECT_EQ(ButtonLefts(), (Lefts{2, 107, 211}));

  ed().ItemRightClick();
  ed().frmLyricTimerTimer();
  EXPECT_EQ(E(), QRect(M().left() - 298, M().top(), 298, M().height()));
  EXPECT_EQ(ButtonLefts(), (Lefts{2, 107, 211}));

  ed().ItemBottomClick();
  ed().frmLyricTimerTimer();
  EXPECT_EQ(E(), QRect(M().left(), M().top() + M().height(), M().width(), 215));
  const int w = ed().PanelBox->width();
  EXPECT_EQ(ButtonLefts(), (Lefts{2, w / 2 - 37, w - 75}));

  ed().ItemTopClick();
  ed().frmLyricTimerTimer();
  EXPECT_EQ(E(), QRect(M().left(), M().top() - 215, M().width(), 215));
}

TEST_F(LyricDockTest, FollowsTheMainWindowAndIsNotClampedToTheScreen) {
  Open();
  main().move(120, 40);
  ed().frmLyricTimerTimer();
  EXPECT_EQ(E().topLeft(), QPoint(120, 40 - 215));

  // The user cannot move it away for longer than a tick.
  ed().move(700, 700);
  ed().frmLyricTimerTimer();
  EXPECT_EQ(E().topLeft(), QPoint(120, 40 - 215));
}

TEST_F(LyricDockTest, UncheckingTheSideLeavesTheEditorFree) {
  Open();
  ed().ItemTopClick();  // the checked side clicked again
  for (QAction* side : {ed().ItemLeft, ed().ItemRight, ed().ItemTop, ed().ItemBottom})
    EXPECT_FALSE(side->isChecked());
  ed().move(30, 60);
  const QRect free = E();
  main().move(200, 300);
  ed().frmLyricTimerTimer();
  EXPECT_EQ(E(), free);
  EXPECT_TRUE(ed().frmLyricTimer->isActive());
}

TEST_F(LyricDockTest, SideItemsFromTheMenuKeepOneMarkAtMost) {
  // Through the menu actions, as a click delivers them.
  ed().ItemLeft->trigger();
  EXPECT_TRUE(ed().ItemLeft->isChecked());
  EXPECT_FALSE(ed().ItemTop->isChecked());
  ed().ItemBottom->trigger();
  EXPECT_TRUE(ed().ItemBottom->isChecked());
  EXPECT_FALSE(ed().ItemLeft->isChecked());
  ed().ItemBottom->trigger();
  for (QAction* side : {ed().ItemLeft, ed().ItemRight, ed().ItemTop, ed().ItemBottom})
    EXPECT_FALSE(side->isChecked()) << side->objectName().toStdString();
  ed().ItemRight->trigger();
  EXPECT_TRUE(ed().ItemRight->isChecked());
}

TEST_F(LyricDockTest, EditButtonTwiceClosesTheEditorAndStopsItsTimerWithoutMovingAnything) {
  Open();
  ed().MOLyric->setPlainText(QStringLiteral("kept"));
  const QRect before = M();
  main().btnEditLyric->click();
  EXPECT_FALSE(ed().isVisible());
  EXPECT_FALSE(ed().frmLyricTimer->isActive());
  EXPECT_EQ(M(), before);
  EXPECT_EQ(ed().MOLyric->toPlainText(), QStringLiteral("kept"));

  main().btnEditLyric->click();
  EXPECT_TRUE(ed().isVisible());
  EXPECT_TRUE(ed().frmLyricTimer->isActive());
}

TEST_F(LyricDockTest, TimerStopsOnceTheEditorWasHiddenOtherwise) {
  Open();
  ed().close();  // the window frame's close button
  ed().frmLyricTimerTimer();
  EXPECT_FALSE(ed().frmLyricTimer->isActive());
  main().Files->btnEditLyricClick();  // opens it again, not closes it
  EXPECT_TRUE(ed().isVisible());
  EXPECT_TRUE(ed().frmLyricTimer->isActive());
}

TEST_F(LyricDockTest, TheRunningTimerDocksOnItsOwn) {
  Open();
  main().move(250, 450);
  const QPoint target(250, 450 - 215);
  EXPECT_TRUE(QTest::qWaitFor([&] { return E().topLeft() == target; }, 5000));
}

}  // namespace
}  // namespace quillet
