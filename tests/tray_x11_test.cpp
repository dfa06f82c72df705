// The tray icon on a real X display with a real notification area: the test starts its own Xvfb
// on a free display and Debian's `trayer` as the tray host, and runs the program on the xcb
// platform. Skipped when Xvfb or trayer is missing or does not come up. Every wait is bounded.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QProcess>
#include <QSystemTrayIcon>
#include <QTest>
#include <QWindow>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "support/PlayRig.h"
#include "support/XServer.h"

namespace quillet::testing {
namespace {

using x11::Spawn;
using x11::Stop;

class XSession {
 public:
  ~XSession() {
    Stop(tray_);
    Stop(server_);
  }

  // Empty with the reason in `why` when it cannot be had.
  static std::unique_ptr<XSession> Start(std::string* why) {
    const auto xvfb = FindProgram("Xvfb");
    const auto trayer = FindProgram("trayer");
    if (!xvfb || !trayer) {
      *why = "Xvfb or trayer is not installed";
      return nullptr;
    }
    auto x = std::unique_ptr<XSession>(new XSession);
    x->trayer_ = *trayer;
    x->display_ = x11::StartXvfb(*xvfb, &x->server_, why);
    if (x->display_.empty()) return nullptr;
    x->StartTray();
    return x;
  }

  const std::string& display() const { return display_; }
  void StartTray() {
    tray_ = Spawn({trayer_, "--edge", "top", "--align", "right", "--widthtype", "pixel", "--width",
                   "120", "--height", "24", "--SetDockType", "false", "--SetPartialStrut", "false",
                   "--transparent", "false"});
  }
  void StopTray() { Stop(tray_); }

 private:
  XSession() = default;
  std::string trayer_;
  std::string display_;
  pid_t server_ = -1;
  pid_t tray_ = -1;
};

XSession* g_x = nullptr;
std::string g_skip;  // why the tests are skipped, when they are

// The parent of an X window as xwininfo reports it; empty when it cannot be learnt.
bool EmbeddedInTray(const QWidget* w) {
  if (w == nullptr) return false;
  QProcess info;
  info.start(QStringLiteral("xwininfo"),
             {QStringLiteral("-children"), QStringLiteral("-id"), QString::number(w->winId())});
  if (!info.waitForFinished(5000)) {
    info.kill();
    info.waitForFinished(1000);
    return false;
  }
  const QString out = QString::fromLocal8Bit(info.readAllStandardOutput());
  // "Root window id: 0x... (the root window)" and "Parent window id: 0x... (...)".
  const qsizetype at = out.indexOf(QStringLiteral("Parent window id:"));
  if (at < 0) return false;
  const QString parentLine = out.mid(at, out.indexOf(u'\n', at) - at);
  return !parentLine.contains(QStringLiteral("(the root window)"));
}

bool WaitFor(const std::function<bool()>& ready, int ms = 15000) {
  return QTest::qWaitFor(ready, ms);
}

void SendMouse(QWidget* target, QEvent::Type type, Qt::MouseButton button) {
  const QPointF local(target->width() / 2.0, target->height() / 2.0);
  const QPointF global = target->mapToGlobal(local);
  QMouseEvent e(type, local, global, button,
                type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button),
                Qt::NoModifier);
  QCoreApplication::sendEvent(target, &e);
}

class TrayX11Test : public ::testing::Test {
 protected:
  void SetUp() override {
    if (g_x == nullptr) GTEST_SKIP() << g_skip;
    rig = std::make_unique<PlayRig>();
    w = &rig->main();
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w, 20000));
    w->move(100, 120);
    ASSERT_TRUE(WaitFor([this] { return Icon() != nullptr && EmbeddedInTray(Icon()); }))
        << "the icon never reached the notification area";
  }
  void TearDown() override {
    if (w != nullptr) w->PopupMenuContrls->hide();
    rig.reset();
    // The tray host may have been stopped by a test; each test starts with one running.
    if (g_x != nullptr && !QSystemTrayIcon::isSystemTrayAvailable()) {
      g_x->StartTray();
      WaitFor([] { return QSystemTrayIcon::isSystemTrayAvailable(); });
    }
  }

  QWidget* Icon() const { return w->AppTrayIcon->IconWindow(); }
  // The top-level window on screen at the middle of the main window.
  QWidget* OnTopAtMainWindow() const {
    return QApplication::topLevelAt(w->frameGeometry().center());
  }

  std::unique_ptr<PlayRig> rig;
  TfrmMain* w = nullptr;
};

TEST_F(TrayX11Test, IconIsInTheNotificationAreaWithTheTooltip) {
  EXPECT_TRUE(w->AppTrayIcon->Enabled());
  EXPECT_EQ(w->AppTrayIcon->Platform()->toolTip(), QStringLiteral("Quillet 06.12.15"));
  EXPECT_EQ(Icon()->toolTip(), QStringLiteral("Quillet 06.12.15"));
}

TEST_F(TrayX11Test, HideAndShowKeepThePlaceAndBringTheWindowToTheFront) {
  ASSERT_TRUE(WaitFor([this] { return w->pos() == QPoint(100, 120); }));
  w->Windows.lyric->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(w->Windows.lyric, 20000));

  SendMouse(Icon(), QEvent::MouseButtonPress, Qt::LeftButton);
  SendMouse(Icon(), QEvent::MouseButtonRelease, Qt::LeftButton);
  SendMouse(Icon(), QEvent::MouseButtonDblClick, Qt::LeftButton);
  SendMouse(Icon(), QEvent::MouseButtonRelease, Qt::LeftButton);
  EXPECT_FALSE(w->isVisible());
  EXPECT_FALSE(w->Windows.lyric->isVisible());

  // Another window takes the place meanwhile.
  QWidget other;
  other.setGeometry(w->frameGeometry().adjusted(-20, -20, 20, 20));
  other.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&other, 20000));
  ASSERT_TRUE(WaitFor([&] { return OnTopAtMainWindow() == &other; }));

  SendMouse(Icon(), QEvent::MouseButtonDblClick, Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(w, 20000));
  EXPECT_TRUE(WaitFor([this] { return OnTopAtMainWindow() == w; }));
  EXPECT_EQ(w->pos(), QPoint(100, 120));
  EXPECT_FALSE(w->Windows.lyric->isVisible());
}

TEST_F(TrayX11Test, RightButtonReleaseOpensTheMenuWithTheHideItemRetitled) {
  SendMouse(Icon(), QEvent::MouseButtonPress, Qt::RightButton);
  EXPECT_FALSE(w->PopupMenuContrls->isVisible());
  SendMouse(Icon(), QEvent::MouseButtonRelease, Qt::RightButton);
  ASSERT_TRUE(w->PopupMenuContrls->isVisible());
  EXPECT_EQ(w->ItemHide->text(), QString::fromUtf8("隐藏程序"));
  w->PopupMenuContrls->hide();

  w->Tray->btnHideAppClick();
  ASSERT_FALSE(w->isVisible());
  SendMouse(Icon(), QEvent::MouseButtonPress, Qt::RightButton);
  SendMouse(Icon(), QEvent::MouseButtonRelease, Qt::RightButton);
  ASSERT_TRUE(w->PopupMenuContrls->isVisible());
  EXPECT_EQ(w->ItemHide->text(), QString::fromUtf8("显示程序"));
  // The menu opens at the pointer, its right edge there.
  EXPECT_EQ(w->PopupMenuContrls->geometry().right() + 1, QCursor::pos().x());
  w->ItemHide->trigger();
  w->PopupMenuContrls->hide();
  EXPECT_TRUE(w->isVisible());
}

// The clicks come through the icon's own window, as the X server delivers them, so a modal box
// that blocked that window would swallow them.
TEST_F(TrayX11Test, WhileTheAboutBoxIsOpenTheIconsMenuOpensAndHidesTheProgram) {
  w->Files->btnAboutAppClick();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(w->Windows.about, 20000));
  QWindow* icon = Icon()->windowHandle();
  ASSERT_NE(icon, nullptr);
  const QPoint middle(Icon()->width() / 2, Icon()->height() / 2);
  QTest::mousePress(icon, Qt::RightButton, {}, middle);
  QTest::mouseRelease(icon, Qt::RightButton, {}, middle);
  ASSERT_TRUE(w->PopupMenuContrls->isVisible());
  EXPECT_EQ(w->ItemHide->text(), QString::fromUtf8("隐藏程序"));
  w->ItemHide->trigger();
  w->PopupMenuContrls->hide();
  EXPECT_FALSE(w->isVisible());
  EXPECT_FALSE(w->Windows.about->isVisible());

  QTest::mouseDClick(icon, Qt::LeftButton, {}, middle);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(w, 20000));
  EXPECT_FALSE(w->Windows.about->isVisible());
}

TEST_F(TrayX11Test, NextFromTheMenuWhileHiddenPlaysTheFollowingRow) {
  rig->AddTrack(rig->File("one.mp3"));
  rig->AddTrack(rig->File("two.mp3"));
  rig->Select({0}, 0);
  w->Transport->btnPlayClick();
  w->Tray->btnHideAppClick();
  ASSERT_FALSE(w->isVisible());
  SendMouse(Icon(), QEvent::MouseButtonRelease, Qt::RightButton);
  ASSERT_TRUE(w->PopupMenuContrls->isVisible());
  w->ItemNext->trigger();
  w->PopupMenuContrls->hide();
  EXPECT_EQ(rig->session().Snapshot().state, psPlaying);
  ASSERT_NE(rig->engine().Find(rig->Current()), nullptr);
  EXPECT_EQ(rig->engine().Find(rig->Current())->path, rig->File("two.mp3"));
  EXPECT_EQ(w->Player.List().Selected(), std::vector<int>{1});
  EXPECT_TRUE(rig->dialogs.messages.empty());
  EXPECT_FALSE(w->isVisible());
}

TEST_F(TrayX11Test, AMinimisedWindowIsHiddenByTheDoubleClick) {
  w->showMinimized();
  QCoreApplication::processEvents();
  ASSERT_TRUE(w->isVisible());
  SendMouse(Icon(), QEvent::MouseButtonDblClick, Qt::LeftButton);
  EXPECT_FALSE(w->isVisible());
  SendMouse(Icon(), QEvent::MouseButtonDblClick, Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(w, 20000));
  EXPECT_FALSE(w->isMinimized());
}

TEST_F(TrayX11Test, IconComesBackWhenTheTrayHostRestarts) {
  g_x->StopTray();
  ASSERT_TRUE(WaitFor([] { return !QSystemTrayIcon::isSystemTrayAvailable(); }));
  ASSERT_TRUE(WaitFor([this] { return !w->AppTrayIcon->Enabled(); }));

  // Meanwhile the hide commands minimise: hidden, the program could not be reached.
  w->Tray->btnHideAppClick();
  QCoreApplication::processEvents();
  EXPECT_TRUE(w->isVisible());
  EXPECT_TRUE(WaitFor([this] { return w->isMinimized(); }));
  w->showNormal();

  g_x->StartTray();
  ASSERT_TRUE(WaitFor([this] { return w->AppTrayIcon->Enabled(); }));
  ASSERT_TRUE(WaitFor([this] { return Icon() != nullptr && EmbeddedInTray(Icon()); }));
  EXPECT_EQ(Icon()->toolTip(), QStringLiteral("Quillet 06.12.15"));

  w->Tray->btnHideAppClick();
  EXPECT_FALSE(w->isVisible());
}

}  // namespace
}  // namespace quillet::testing

int main(int argc, char** argv) {
  using namespace quillet::testing;
  ::testing::InitGoogleTest(&argc, argv);
  std::unique_ptr<XSession> x;
  if (!::testing::GTEST_FLAG(list_tests)) x = XSession::Start(&g_skip);
  if (x) {
    qputenv("QT_QPA_PLATFORM", "xcb");
    // The XEmbed tray of the test's own display, not a desktop's D-Bus tray or session.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/quillet-test-bus");
    qunsetenv("SESSION_MANAGER");
    qunsetenv("WAYLAND_DISPLAY");
  } else {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  if (qEnvironmentVariableIsEmpty("SDL_AUDIODRIVER")) qputenv("SDL_AUDIODRIVER", "dummy");
  QApplication app(argc, argv);
  if (x) {
    if (QTest::qWaitFor([] { return QSystemTrayIcon::isSystemTrayAvailable(); }, 20000)) {
      g_x = x.get();
    } else {
      g_skip = "trayer did not provide a notification area on " + x->display();
    }
  }
  const int rc = RUN_ALL_TESTS();
  g_x = nullptr;
  x.reset();
  return rc;
}
