// Event order of the track bar: program changes, drags, channel clicks with repeat, keys.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <string>
#include <vector>

#include <QPushButton>

#include "shell/TsTrackBar.h"

namespace quillet {
namespace {

class TrackBarTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host.resize(600, 60);
    bar.setParent(&host);
    other.setParent(&host);
    bar.setGeometry(10, 10, 580, 12);
    other.setGeometry(10, 30, 80, 20);
    bar.SetMax(100);
    bar.SetPageSize(1);
    bar.SetThumbLength(10);
    bar.setFocusPolicy(Qt::ClickFocus);
    QObject::connect(&bar, &TsTrackBar::OnChange, [this] { Log("change"); });
    QObject::connect(&bar, &TsTrackBar::OnUserChange, [this] { Log("user"); });
    QObject::connect(&bar, &TsTrackBar::OnEnter, [this] { Log("enter"); });
    QObject::connect(&bar, &TsTrackBar::OnMouseDown,
                     [this](Qt::MouseButton, Qt::KeyboardModifiers, int, int) { Log("down"); });
    QObject::connect(&bar, &TsTrackBar::OnMouseUp,
                     [this](Qt::MouseButton, Qt::KeyboardModifiers, int, int) { Log("up"); });
    host.show();
    QApplication::setActiveWindow(&host);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&host));
    other.setFocus();
    Take();
  }

  void Log(const char* what) {
    events.push_back(std::string(what) + "@" + std::to_string(bar.Position()));
  }
  std::vector<std::string> Take() { return std::exchange(events, {}); }
  QPoint ThumbCentre() const { return bar.ThumbRect().center(); }

  QWidget host;
  TsTrackBar bar;
  QPushButton other;  // holds the focus until the bar takes it
  std::vector<std::string> events;
};

using Events = std::vector<std::string>;

TEST_F(TrackBarTest, ProgramChangesRaiseOnChangeOnlyWhenThePositionMoves) {
  bar.SetPosition(0);
  EXPECT_EQ(Take(), Events{});
  bar.SetPosition(40);
  EXPECT_EQ(Take(), Events{"change@40"});
  bar.SetPosition(150);  // beyond Max: stores Max, once
  EXPECT_EQ(Take(), Events{"change@100"});
  bar.SetPosition(150);
  bar.SetPosition(100);
  EXPECT_EQ(Take(), Events{});
  bar.SetPosition(-5);
  EXPECT_EQ(Take(), Events{"change@0"});
}

TEST_F(TrackBarTest, RangeChangesClampThePositionAndIgnoreInvertedRanges) {
  bar.SetPosition(80);
  Take();
  bar.SetMax(60);
  EXPECT_EQ(Take(), Events{"change@60"});
  bar.SetMax(200);  // widening leaves the position
  EXPECT_EQ(Take(), Events{});
  bar.SetMin(10);
  bar.SetMax(5);  // below Min: ignored
  EXPECT_EQ(bar.Max(), 200);
  bar.SetMin(300);  // above Max: ignored
  EXPECT_EQ(bar.Min(), 10);
  EXPECT_EQ(Take(), Events{});
  EXPECT_EQ(bar.Position(), 60);
}

TEST_F(TrackBarTest, DragRaisesChangeAndUserChangeForEachStepAndAtRelease) {
  const QPoint start = ThumbCentre();
  QTest::mousePress(&bar, Qt::LeftButton, Qt::NoModifier, start);
  EXPECT_TRUE(bar.Dragging());
  Events pressed = Take();
  // The click gives the bar the focus first; the press itself moves nothing.
  EXPECT_EQ(pressed, (Events{"enter@0", "down@0"}));

  QTest::mouseMove(&bar, start + QPoint(58, 0));
  const int moved = bar.Position();
  EXPECT_GT(moved, 5);
  EXPECT_EQ(Take(), (Events{"change@" + std::to_string(moved), "user@" + std::to_string(moved)}));

  QTest::mouseMove(&bar, start + QPoint(58, 3));  // no new position: nothing
  EXPECT_EQ(Take(), Events{});

  QTest::mouseRelease(&bar, Qt::LeftButton, Qt::NoModifier, start + QPoint(58, 0));
  const std::string at = "@" + std::to_string(moved);
  EXPECT_EQ(Take(), (Events{"change" + at, "user" + at, "up" + at}));
  EXPECT_FALSE(bar.Dragging());
}

TEST_F(TrackBarTest, DragBackToTheStartStillReportsTheRelease) {
  bar.SetPosition(50);
  Take();
  const QPoint start = ThumbCentre();
  QTest::mousePress(&bar, Qt::LeftButton, Qt::NoModifier, start);
  QTest::mouseMove(&bar, start + QPoint(30, 0));
  QTest::mouseMove(&bar, start);
  EXPECT_EQ(bar.Position(), 50);
  Take();
  QTest::mouseRelease(&bar, Qt::LeftButton, Qt::NoModifier, start);
  EXPECT_EQ(Take(), (Events{"change@50", "user@50", "up@50"}));
}

TEST_F(TrackBarTest, PressAndReleaseOnTheThumbWithoutMoving) {
  bar.SetPosition(30);
  bar.setFocus();
  Take();
  QTest::mouseClick(&bar, Qt::LeftButton, Qt::NoModifier, ThumbCentre());
  EXPECT_EQ(Take(), (Events{"down@30", "change@30", "user@30", "up@30"}));
}

TEST_F(TrackBarTest, ChannelClickPagesTowardsThePointerAndRepeatsUntilTheThumbIsThere) {
  bar.setFocus();
  Take();
  const QPoint target(300, 6);
  QTest::mousePress(&bar, Qt::LeftButton, Qt::NoModifier, target);
  // One page step, handled before the press is reported; no jump to the pointer.
  EXPECT_EQ(Take(), (Events{"change@1", "user@1", "down@1"}));
  EXPECT_TRUE(bar.Paging());

  // Each repeat moves exactly one page, until the thumb stands under the pointer.
  int steps = 0;
  for (int i = 0; i < 200; ++i) {
    const int before = bar.Position();
    bar.PageRepeat();
    if (bar.Position() == before) break;
    ASSERT_EQ(bar.Position(), before + 1);
    ++steps;
  }
  EXPECT_TRUE(bar.ThumbRect().contains(target)) << bar.Position();
  EXPECT_GT(steps, 40);
  const int reached = bar.Position();
  EXPECT_LT(reached, 60);  // stops at the pointer, never runs on to Max
  Take();
  bar.PageRepeat();  // held on the thumb: nothing more, no snapping
  EXPECT_EQ(Take(), Events{});
  EXPECT_EQ(bar.Position(), reached);

  QTest::mouseRelease(&bar, Qt::LeftButton, Qt::NoModifier, target);
  const std::string at = "@" + std::to_string(reached);
  EXPECT_EQ(Take(), (Events{"change" + at, "user" + at, "up" + at}));
  EXPECT_FALSE(bar.Paging());
}

TEST_F(TrackBarTest, HeldChannelClickRepeatsOnItsTimerAndStopsAtRelease) {
  bar.SetPosition(100);
  bar.setFocus();
  Take();
  QTest::mousePress(&bar, Qt::LeftButton, Qt::NoModifier, QPoint(5, 6));
  EXPECT_EQ(bar.Position(), 99);
  QTRY_VERIFY_WITH_TIMEOUT(bar.Position() <= 97, 10000);
  QTest::mouseRelease(&bar, Qt::LeftButton, Qt::NoModifier, QPoint(5, 6));
  const int released = bar.Position();
  QTest::qWait(TsTrackBar::kRepeatDelay + 2 * TsTrackBar::kRepeatInterval);
  EXPECT_EQ(bar.Position(), released);
}

TEST_F(TrackBarTest, PointerMovedOntoTheThumbStopsTheRepeat) {
  bar.setFocus();
  QTest::mousePress(&bar, Qt::LeftButton, Qt::NoModifier, QPoint(400, 6));
  QTest::mouseMove(&bar, ThumbCentre());
  const int at = bar.Position();
  bar.PageRepeat();
  bar.PageRepeat();
  EXPECT_EQ(bar.Position(), at);
  QTest::mouseRelease(&bar, Qt::LeftButton, Qt::NoModifier, ThumbCentre());
}

TEST_F(TrackBarTest, OtherButtonsOnlyReportPressAndRelease) {
  bar.SetPosition(20);
  bar.setFocus();
  Take();
  QTest::mousePress(&bar, Qt::RightButton, Qt::NoModifier, QPoint(400, 6));
  QTest::mouseRelease(&bar, Qt::RightButton, Qt::NoModifier, QPoint(400, 6));
  QTest::mouseClick(&bar, Qt::MiddleButton, Qt::NoModifier, QPoint(400, 6));
  EXPECT_EQ(Take(), (Events{"down@20", "up@20", "down@20", "up@20"}));
}

TEST_F(TrackBarTest, KeysStepAndEveryKeyStepCountsAsTheUsers) {
  bar.setFocus();
  bar.SetPosition(10);
  Take();
  QTest::keyClick(&bar, Qt::Key_Right);
  QTest::keyClick(&bar, Qt::Key_Left);
  QTest::keyClick(&bar, Qt::Key_Left);
  QTest::keyClick(&bar, Qt::Key_PageDown);
  QTest::keyClick(&bar, Qt::Key_Home);
  EXPECT_EQ(Take(), (Events{"change@11", "user@11", "change@10", "user@10", "change@9", "user@9",
                            "change@10", "user@10", "change@0", "user@0"}));
  QTest::keyClick(&bar, Qt::Key_Home);  // at Min already: still a user step
  EXPECT_EQ(Take(), (Events{"change@0", "user@0"}));
}

TEST_F(TrackBarTest, ProgramChangeAfterAKeyAtTheMaximumIsNotTheUsers) {
  bar.setFocus();
  bar.SetPosition(100);
  Take();
  QTest::keyClick(&bar, Qt::Key_End);
  QTest::keyClick(&bar, Qt::Key_Right);
  EXPECT_EQ(Take(), (Events{"change@100", "user@100", "change@100", "user@100"}));
  bar.SetPosition(42);
  bar.SetMax(30);
  EXPECT_EQ(Take(), (Events{"change@42", "change@30"}));
}

TEST_F(TrackBarTest, ProgramChangeDuringAUserChangeIsNotTheUsers) {
  // A handler that answers a user step by setting the position itself (as the volume does).
  QObject::connect(&bar, &TsTrackBar::OnUserChange, [this] {
    if (bar.Position() == 11) bar.SetPosition(70);
  });
  bar.setFocus();
  bar.SetPosition(10);
  Take();
  QTest::keyClick(&bar, Qt::Key_Right);
  EXPECT_EQ(Take(), (Events{"change@11", "user@11", "change@70"}));
}

TEST_F(TrackBarTest, TheClickThatGivesTheFocusRaisesOnEnterBeforeThePress) {
  ASSERT_FALSE(bar.hasFocus());
  QTest::mouseClick(&bar, Qt::RightButton, Qt::NoModifier, QPoint(400, 6));
  EXPECT_EQ(Take(), (Events{"enter@0", "down@0", "up@0"}));
}

TEST_F(TrackBarTest, WheelStepsAreTheUsers) {
  bar.SetPosition(5);
  Take();
  QWheelEvent up(QPointF(10, 6), bar.mapToGlobal(QPointF(10, 6)), QPoint(), QPoint(0, 240),
                 Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(&bar, &up);
  EXPECT_EQ(Take(), (Events{"change@4", "user@4", "change@3", "user@3"}));
}

}  // namespace
}  // namespace quillet
