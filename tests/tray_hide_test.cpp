// Hiding the program to the notification area and bringing it back, driven through the program's
// own commands; minimising instead where the desktop has no notification area; ending with the
// desktop session and by the exit command. Offscreen: the notification area is scripted.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

#include "support/PlayRig.h"

namespace quillet::testing {
namespace {

class TrayHideTest : public ::testing::Test {
 protected:
  void SetUp() override {
    w.AppTrayIcon->TrayAvailable = [this] { return trayHost; };
    w.AppTrayIcon->SetEnabled(true);
    ASSERT_TRUE(w.AppTrayIcon->Enabled());
    w.show();
    w.move(140, 90);
    QCoreApplication::processEvents();
  }
  void TearDown() override { w.PopupMenuContrls->hide(); }

  // A track playing from the first of two rows.
  audio::Handle StartPlaying() {
    rig.AddTrack(rig.File("one.mp3"));
    rig.AddTrack(rig.File("two.mp3"));
    rig.Select({0}, 0);
    w.Transport->btnPlayClick();
    EXPECT_EQ(s.state, psPlaying);
    return rig.Current();
  }
  bool Hidden() const { return !w.isVisible() && !w.Windows.lyric->isVisible(); }
  QString HideItemCaptionWhenOpened() {
    w.AppTrayIcon->IconNotify(kTrayRButtonUp);
    EXPECT_TRUE(w.PopupMenuContrls->isVisible());
    const QString caption = w.ItemHide->text();
    w.PopupMenuContrls->hide();
    return caption;
  }

  bool trayHost = true;
  PlayRig rig;
  TfrmMain& w = rig.main();
  const PlayerSnapshot& s = rig.session().Snapshot();
};

TEST_F(TrayHideTest, EveryHideCommandHidesBothWindowsAndPlaybackGoesOn) {
  const audio::Handle h = StartPlaying();
  w.ShowTimer->start();
  const std::vector<std::pair<std::string, std::function<void()>>> commands = {
      {"hide button", [&] { w.btnHideApp->click(); }},
      {"Enter on the main window",
       [&] {
         QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
         QCoreApplication::sendEvent(&w, &enter);
       }},
      {"menu item", [&] { w.ItemHide->trigger(); }},
      {"tray double click", [&] { w.AppTrayIcon->IconNotify(kTrayLButtonDblClk); }},
      {"title bar close", [&] { w.close(); }},
  };
  for (const auto& [name, command] : commands) {
    w.Tray->ShowProgram();
    w.Windows.lyric->show();
    ASSERT_TRUE(w.isVisible()) << name;
    command();
    EXPECT_TRUE(Hidden()) << name;
    EXPECT_TRUE(w.AppTrayIcon->Enabled()) << name;
    EXPECT_EQ(s.state, psPlaying) << name;
    EXPECT_EQ(rig.engine().ChannelIsActive(h), audio::kPlaying) << name;
    EXPECT_TRUE(w.ShowTimer->isActive()) << name;
  }
  EXPECT_TRUE(rig.dialogs.messages.empty());
}

TEST_F(TrayHideTest, ShowingBringsBackOnlyTheMainWindowInItsPlace) {
  w.Windows.lyric->show();
  const QPoint before = w.pos();
  w.Tray->AppTrayIconLButtonDblClick();
  ASSERT_TRUE(Hidden());

  // Hiding again while hidden changes nothing; the button only hides.
  w.Tray->btnHideAppClick();
  EXPECT_TRUE(Hidden());

  w.Tray->AppTrayIconLButtonDblClick();
  EXPECT_TRUE(w.isVisible());
  EXPECT_FALSE(w.Windows.lyric->isVisible());
  EXPECT_FALSE(w.isMinimized());
  EXPECT_EQ(w.pos(), before);
}

TEST_F(TrayHideTest, AMinimisedWindowCountsAsVisibleAndComesBackNormal) {
  w.showMinimized();
  QCoreApplication::processEvents();
  ASSERT_TRUE(w.isVisible());
  w.AppTrayIcon->IconNotify(kTrayLButtonDblClk);
  EXPECT_FALSE(w.isVisible());  // hidden, not restored

  w.AppTrayIcon->IconNotify(kTrayLButtonDblClk);
  EXPECT_TRUE(w.isVisible());
  EXPECT_FALSE(w.isMinimized());
}

TEST_F(TrayHideTest, TheMenuItemReadsShowWhileHiddenAndShowsTheWindow) {
  EXPECT_EQ(HideItemCaptionWhenOpened(), QString::fromUtf8("隐藏程序"));
  w.Tray->btnHideAppClick();
  EXPECT_EQ(HideItemCaptionWhenOpened(), QString::fromUtf8("显示程序"));
  w.ItemHide->trigger();
  EXPECT_TRUE(w.isVisible());
  EXPECT_EQ(HideItemCaptionWhenOpened(), QString::fromUtf8("隐藏程序"));
}

TEST_F(TrayHideTest, NextFromTheTrayMenuWhileHiddenPlaysTheFollowingRow) {
  const audio::Handle first = StartPlaying();
  w.Tray->btnHideAppClick();
  ASSERT_TRUE(Hidden());

  w.AppTrayIcon->IconNotify(kTrayRButtonUp);
  ASSERT_TRUE(w.PopupMenuContrls->isVisible());
  ASSERT_TRUE(w.ItemNext->isEnabled());
  w.ItemNext->trigger();
  w.PopupMenuContrls->hide();

  EXPECT_EQ(s.state, psPlaying);
  EXPECT_NE(rig.Current(), first);
  ASSERT_NE(rig.engine().Find(rig.Current()), nullptr);
  EXPECT_EQ(rig.engine().Find(rig.Current())->path, rig.File("two.mp3"));
  EXPECT_EQ(w.Player.List().Selected(), std::vector<int>{1});
  EXPECT_TRUE(rig.dialogs.messages.empty());
  EXPECT_TRUE(Hidden());
}

TEST_F(TrayHideTest, WithoutANotificationAreaTheHideCommandsMinimise) {
  trayHost = false;
  w.AppTrayIcon->TrayWatchTimer();
  ASSERT_FALSE(w.AppTrayIcon->Enabled());

  for (const std::function<void()>& command : std::vector<std::function<void()>>{
           [&] { w.Tray->btnHideAppClick(); }, [&] { w.Tray->AppTrayIconLButtonDblClick(); },
           [&] { w.close(); }}) {
    w.showNormal();
    w.Windows.lyric->show();
    QCoreApplication::processEvents();
    command();
    QCoreApplication::processEvents();
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(w.isMinimized());
    // The editor goes first, as in the hide sequence, and does not come back with the window.
    EXPECT_FALSE(w.Windows.lyric->isVisible());
    w.showNormal();
    QCoreApplication::processEvents();
    EXPECT_FALSE(w.Windows.lyric->isVisible());
  }

  // A notification area that appears later gets the icon, and hiding hides again.
  trayHost = true;
  w.AppTrayIcon->TrayWatchTimer();
  EXPECT_TRUE(w.AppTrayIcon->Enabled());
  w.showNormal();
  w.Tray->btnHideAppClick();
  EXPECT_FALSE(w.isVisible());
}

TEST_F(TrayHideTest, ANotificationAreaGoingAwayBringsTheHiddenProgramBackMinimised) {
  w.Tray->btnHideAppClick();
  ASSERT_FALSE(w.isVisible());
  trayHost = false;
  w.AppTrayIcon->TrayWatchTimer();
  QCoreApplication::processEvents();
  EXPECT_TRUE(w.isVisible());
  EXPECT_TRUE(w.isMinimized());

  // While shown, its going away changes nothing on screen.
  w.showNormal();
  trayHost = true;
  w.AppTrayIcon->TrayWatchTimer();
  trayHost = false;
  w.AppTrayIcon->TrayWatchTimer();
  QCoreApplication::processEvents();
  EXPECT_TRUE(w.isVisible());
  EXPECT_FALSE(w.isMinimized());
}

// Runs the application's event loop until it ends, at most `limitMs`; returns its exit code, or
// -1 when the limit ended it.
int RunLoop(const std::function<void()>& first, int limitMs = 10000) {
  QTimer limit;
  limit.setSingleShot(true);
  QObject::connect(&limit, &QTimer::timeout, [] { QCoreApplication::exit(-1); });
  limit.start(limitMs);
  QTimer::singleShot(0, &limit, first);
  return QCoreApplication::exec();
}

TEST_F(TrayHideTest, TheSessionEndingEndsTheProgramCleanly) {
  const audio::Handle h = StartPlaying();
  w.Windows.lyric->show();
  // What the session manager sends when the session really ends.
  const int code = RunLoop([] {
    QEvent quit(QEvent::Quit);
    QCoreApplication::sendEvent(QCoreApplication::instance(), &quit);
  });
  EXPECT_EQ(code, 0);
  EXPECT_EQ(rig.engine().Count("free " + std::to_string(h)), 1);
  EXPECT_EQ(rig.engine().Count("free-engine"), 1);
  EXPECT_EQ(s.stream, 0u);
  EXPECT_FALSE(w.ShowTimer->isActive());
  EXPECT_FALSE(w.AppTrayIcon->Enabled());
  EXPECT_FALSE(w.AppTrayIcon->Platform()->isVisible());
  EXPECT_TRUE(rig.dialogs.messages.empty());
}

TEST_F(TrayHideTest, TheExitCommandEndsTheProgramWhetherShownOrHidden) {
  for (bool hidden : {false, true}) {
    PlayRig other;
    TfrmMain& m = other.main();
    m.AppTrayIcon->TrayAvailable = [] { return true; };
    m.AppTrayIcon->SetEnabled(true);
    m.show();
    if (hidden) m.Tray->btnHideAppClick();
    other.AddTrack(other.File("a.mp3"));
    other.Select({0}, 0);
    m.Transport->btnPlayClick();
    const audio::Handle h = other.Current();
    ASSERT_NE(h, 0u);
    const int code = RunLoop([&m] { m.btnExitApp->click(); });
    EXPECT_EQ(code, 0) << hidden;
    // Each step once, though the request to quit also comes back as the end of the session.
    EXPECT_EQ(other.engine().Count("free " + std::to_string(h)), 1) << hidden;
    EXPECT_EQ(other.engine().Count("free-engine"), 1) << hidden;
    EXPECT_FALSE(m.AppTrayIcon->Enabled()) << hidden;
  }
}

// The About box and the settings dialog block the main window and the lyric editor only: a
// window without a parent, as the tray icon's is, still takes the mouse; hiding from the tray
// menu closes the open box with the window, and the exit command ends the program with it open.
TEST_F(TrayHideTest, WhileABoxIsOpenOnlyTheMainWindowAndTheEditorAreBlocked) {
  QPushButton iconStandIn(QStringLiteral("icon"));
  iconStandIn.setGeometry(700, 0, 24, 24);
  iconStandIn.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&iconStandIn));
  int iconClicks = 0;
  QObject::connect(&iconStandIn, &QPushButton::clicked, [&] { ++iconClicks; });
  // Clicks through each window, as the platform delivers them.
  auto click = [](QWidget* target) {
    QWidget* top = target->window();
    QTest::mouseClick(top->windowHandle(), Qt::LeftButton, {},
                      target->mapTo(top, target->rect().center()));
  };

  const std::vector<std::pair<QDialog*, std::function<void()>>> boxes = {
      {w.Windows.about, [&] { w.Files->btnAboutAppClick(); }},
      {w.Windows.config, [&] { w.Files->btnConfigureClick(); }},
  };
  for (const auto& [box, open] : boxes) {
    const std::string name = box->objectName().toStdString();
    w.Windows.lyric->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.Windows.lyric)) << name;
    open();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(box)) << name;
    click(w.btnHideApp);
    EXPECT_TRUE(w.isVisible()) << name;
    click(w.Windows.lyric->btnClose);
    EXPECT_TRUE(w.Windows.lyric->isVisible()) << name;
    const int before = iconClicks;
    click(&iconStandIn);
    EXPECT_EQ(iconClicks, before + 1) << name;

    w.AppTrayIcon->IconNotify(kTrayRButtonUp);
    ASSERT_TRUE(w.PopupMenuContrls->isVisible()) << name;
    w.ItemHide->trigger();
    w.PopupMenuContrls->hide();
    EXPECT_TRUE(Hidden()) << name;
    EXPECT_FALSE(box->isVisible()) << name;
    // Back again: the window alone, taking input.
    w.Tray->AppTrayIconLButtonDblClick();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w)) << name;
    EXPECT_FALSE(box->isVisible()) << name;
    click(w.btnHideApp);
    EXPECT_TRUE(Hidden()) << name;
    w.Tray->ShowProgram();
  }

  w.Files->btnAboutAppClick();
  const int code = RunLoop([this] { w.ItemExit->trigger(); });
  EXPECT_EQ(code, 0);
  EXPECT_EQ(rig.engine().Count("free-engine"), 1);
}

}  // namespace
}  // namespace quillet::testing
