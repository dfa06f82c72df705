// The desktop lyric bar on a real X display under a window manager: the test starts its own
// Xvfb, openbox and session bus (for the accessibility bus), and runs the program's windows on
// the xcb platform. A real click on the menu item brings the bar up; it shows the strip's line
// (read back over the accessibility bus) in pixels on the screen; a new start puts it where it
// was; locked, a click lands on the window below it. Skipped when Xvfb, openbox or xdotool is
// missing; every wait is bounded.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QAccessible>
#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QProcess>
#include <QScreen>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "shell/DesktopLyricBar.h"
#include "shell/MainDesktopLyrics.h"
#include "support/PlayRig.h"
#include "support/XServer.h"

namespace quillet::testing {
namespace {

using x11::ReadLine;
using x11::Spawn;
using x11::Stop;

// Runs a program to its end within `ms`, the event loop turning meanwhile (it may ask this
// process's windows over the bus); its output, or nothing when it failed.
std::optional<QString> RunTool(const QString& program, const QStringList& args, int ms = 20000) {
  QProcess p;
  p.start(program, args);
  if (!QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, ms)) {
    p.kill();
    p.waitForFinished(2000);
    return std::nullopt;
  }
  if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) return std::nullopt;
  return QString::fromUtf8(p.readAllStandardOutput());
}

class XSession {
 public:
  ~XSession() {
    Stop(wm_);
    Stop(bus_);
    Stop(server_);
  }

  static std::unique_ptr<XSession> Start(std::string* why) {
    const auto xvfb = FindProgram("Xvfb");
    const auto openbox = FindProgram("openbox");
    const auto dbus = FindProgram("dbus-daemon");
    if (!xvfb || !openbox || !dbus || !FindProgram("xdotool")) {
      *why = "Xvfb, openbox, dbus-daemon or xdotool is not installed";
      return nullptr;
    }
    auto x = std::unique_ptr<XSession>(new XSession);
    if (x11::StartXvfb(*xvfb, &x->server_, why).empty()) return nullptr;
    // A session bus of its own: the accessibility bus is found through it.
    int fds[2];
    if (::pipe(fds) != 0) return nullptr;
    x->bus_ = Spawn({*dbus, "--session", "--nofork", "--print-address=" + std::to_string(fds[1])},
                    fds[1]);
    ::close(fds[1]);
    const std::string address = ReadLine(fds[0], 20);
    if (address.empty()) {
      *why = "dbus-daemon did not start";
      return nullptr;
    }
    ::setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
    // The window manager is up once it names its check window on the root window. Now and then
    // openbox cannot open a display that has only just come up and exits: it is started again.
    bool up = false;
    for (int attempt = 0; attempt < 3 && !up; ++attempt) {
      Stop(x->wm_);
      x->wm_ = Spawn({*openbox, "--sm-disable"});
      up = QTest::qWaitFor(
          [] {
            QProcess p;
            p.start(QStringLiteral("xprop"),
                    {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")});
            return p.waitForFinished(3000) && p.readAllStandardOutput().contains("window id");
          },
          8000);
    }
    if (!up) {
      *why = "openbox did not start";
      return nullptr;
    }
    return x;
  }

 private:
  XSession() = default;
  pid_t server_ = -1, bus_ = -1, wm_ = -1;
};

XSession* g_x = nullptr;
std::string g_skip;

// The objects whose accessible name change was announced.
std::vector<QObject*> g_named;
void Record(QAccessibleEvent* event) {
  if (event->type() == QAccessible::NameChanged) g_named.push_back(event->object());
}

// Where the X server has a window, as xwininfo says.
std::optional<QPoint> XPlace(const QWidget* w) {
  const auto out =
      RunTool(QStringLiteral("xwininfo"), {QStringLiteral("-id"), QString::number(w->winId())});
  if (!out) return std::nullopt;
  int x = -1, y = -1;
  for (const QString& line : out->split(u'\n')) {
    const QString t = line.trimmed();
    if (t.startsWith(QLatin1String("Absolute upper-left X:"))) x = t.section(u':', 1).toInt();
    if (t.startsWith(QLatin1String("Absolute upper-left Y:"))) y = t.section(u':', 1).toInt();
  }
  if (x < 0 || y < 0) return std::nullopt;
  return QPoint(x, y);
}

bool Click(const QPoint& global) {
  return RunTool(QStringLiteral("xdotool"),
                 {QStringLiteral("mousemove"), QString::number(global.x()),
                  QString::number(global.y()), QStringLiteral("sleep"), QStringLiteral("0.2"),
                  QStringLiteral("click"), QStringLiteral("1")})
      .has_value();
}

// A plain window that counts the presses it gets.
class Below : public QWidget {
 public:
  int presses = 0;

 protected:
  void mousePressEvent(QMouseEvent*) override { ++presses; }
  void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), QColor(230, 230, 230)); }
};

class LyricBarX11 : public ::testing::Test {
 protected:
  void SetUp() override {
    if (g_x == nullptr) GTEST_SKIP() << g_skip;
    if (const char* old = std::getenv("XDG_CONFIG_HOME")) oldHome_ = old;
    ::setenv("XDG_CONFIG_HOME", config.File("cfg").c_str(), 1);
    Start();
  }
  void TearDown() override {
    rig.reset();
    if (oldHome_) {
      ::setenv("XDG_CONFIG_HOME", oldHome_->c_str(), 1);
    } else {
      ::unsetenv("XDG_CONFIG_HOME");
    }
  }
  void Start() {
    rig = std::make_unique<PlayRig>();
    // A colour no background here has, so that the bar's letters can be told on the screen.
    rig->state().options.desktopTextColour = "#00ff00";
    w = &rig->main();
    w->move(40, 40);
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w, 20000));
  }
  DesktopLyricBar* Bar() { return w->DesktopLyrics->Bar(); }
  void PlayLine() {
    WriteBytes(rig->File("song.lrc"), "[00:01]Alpha line\n[00:50]Beta\n");
    rig->AddTrack(rig->File("song.mp3"), 60);
    rig->Select({0}, 0);
    w->Transport->btnPlayClick();
    rig->engine().At(rig->Current(), 1.2);
    rig->Tick();
  }
  // Chooses a menu item with a real click on the open context menu.
  void ChooseFromMenu(QAction* item) {
    QMenu* menu = w->PopupMenuContrls;
    menu->popup(QPoint(500, 120));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(menu, 20000));
    ASSERT_TRUE(Click(menu->mapToGlobal(menu->actionGeometry(item).center())));
    ASSERT_TRUE(QTest::qWaitFor([menu] { return !menu->isVisible(); }, 5000));
  }

  TempDir config;
  std::optional<std::string> oldHome_;
  std::unique_ptr<PlayRig> rig;
  TfrmMain* w = nullptr;
};

TEST_F(LyricBarX11, AppearsFromTheMenuWithTheStripsLineAndComesBackWhereItWas) {
  PlayLine();
  ASSERT_EQ(rig->Panel(), "Alpha line");
  ChooseFromMenu(w->ItemDesktopLyrics);
  ASSERT_TRUE(QTest::qWaitFor([this] { return Bar() != nullptr && Bar()->isVisible(); }, 5000));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(Bar(), 20000));
  EXPECT_TRUE(w->ItemDesktopLyrics->isChecked());
  EXPECT_EQ(Bar()->LineText().toStdString(), "Alpha line");

  // Both the bar and the strip say the line on the accessibility bus.
  // Debian's own Python, which has the bindings, also when another one comes first on the PATH.
  const QString python = QFile::exists(QStringLiteral("/usr/bin/python3"))
                             ? QStringLiteral("/usr/bin/python3")
                             : QStringLiteral("python3");
  // The program joins the bus a moment after its windows show: asked again until it is there.
  QString tree;
  int named = 0;
  (void)QTest::qWaitFor(
      [&] {
        tree = RunTool(python,
                       {QString::fromUtf8(QUILLET_SOURCE_DIR "/tests/support/atspi_tree.py"),
                        QString::number(QCoreApplication::applicationPid())},
                       10000)
                   .value_or(QString());
        named = 0;
        for (const QString& line : tree.split(u'\n')) {
          if (line.section(u'\t', 1, 1) == QLatin1String("Alpha line")) ++named;
        }
        return named >= 2;
      },
      30000);
  EXPECT_GE(named, 2) << "the bar and the strip on the accessibility bus:\n" << tree.toStdString();
  // A new line is announced by both.
  EXPECT_TRUE(QAccessible::isActive());
  const QAccessible::UpdateHandler bridge = QAccessible::installUpdateHandler(Record);
  rig->engine().At(rig->Current(), 50.2);
  rig->Tick();
  QAccessible::installUpdateHandler(bridge);
  EXPECT_EQ(Bar()->LineText().toStdString(), "Beta");
  EXPECT_NE(std::count(g_named.begin(), g_named.end(), Bar()), 0);
  EXPECT_NE(std::count(g_named.begin(), g_named.end(), w->PanelLyric), 0);

  // The letters are on the screen where the bar is.
  QTest::qWait(300);
  const QRect place = Bar()->geometry();
  const QImage shot = QGuiApplication::primaryScreen()
                          ->grabWindow(0, place.x(), place.y(), place.width(), place.height())
                          .toImage();
  int green = 0;
  for (int y = 0; y < shot.height(); ++y) {
    for (int x = 0; x < shot.width(); ++x) {
      const QColor c = shot.pixelColor(x, y);
      if (c.green() > 200 && c.red() < 90 && c.blue() < 90) ++green;
    }
  }
  EXPECT_GT(green, 200) << "no text at the bar's place";

  // Moved, it is there again after a new start.
  Bar()->move(150, 420);
  ASSERT_TRUE(QTest::qWaitFor(
      [] {
        Options o;
        return LoadOptions(&o).ok && o.desktopBarPlaced && o.desktopBarX == 150 &&
               o.desktopBarY == 420;
      },
      5000));
  rig.reset();
  Start();
  ASSERT_TRUE(QTest::qWaitFor([this] { return Bar() != nullptr && Bar()->isVisible(); }, 5000));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(Bar(), 20000));
  EXPECT_TRUE(QTest::qWaitFor([this] { return XPlace(Bar()) == QPoint(150, 420); }, 5000))
      << "on the X server at " << XPlace(Bar()).value_or(QPoint(-1, -1)).x() << ","
      << XPlace(Bar()).value_or(QPoint(-1, -1)).y();
}

TEST_F(LyricBarX11, LockedItLetsAClickThroughToTheWindowBelow) {
  ChooseFromMenu(w->ItemDesktopLyrics);
  ASSERT_TRUE(QTest::qWaitFor([this] { return Bar() != nullptr && Bar()->isVisible(); }, 5000));
  Below below;
  below.setGeometry(100, 380, 700, 200);
  below.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&below, 20000));
  Bar()->setGeometry(150, 420, 600, 100);
  Bar()->raise();
  QTest::qWait(300);
  const QPoint middle = Bar()->geometry().center();

  // Unlocked, the bar takes the click.
  ASSERT_TRUE(Click(middle));
  QTest::qWait(500);
  EXPECT_EQ(below.presses, 0);

  ChooseFromMenu(w->ItemLockDesktopLyrics);
  ASSERT_TRUE(QTest::qWaitFor([this] { return Bar()->Locked() && Bar()->isVisible(); }, 5000));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(Bar(), 20000));
  QTest::qWait(300);
  const QPoint again = Bar()->geometry().center();
  ASSERT_TRUE(Click(again));
  EXPECT_TRUE(QTest::qWaitFor([&] { return below.presses > 0; }, 5000))
      << "the click did not reach the window below";
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
    // Screen readers find the program over the accessibility bus with or without one running.
    qputenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
    qunsetenv("SESSION_MANAGER");
    qunsetenv("WAYLAND_DISPLAY");
    g_x = x.get();
  } else {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  if (qEnvironmentVariableIsEmpty("SDL_AUDIODRIVER")) qputenv("SDL_AUDIODRIVER", "dummy");
  QApplication app(argc, argv);
  const int rc = RUN_ALL_TESTS();
  g_x = nullptr;
  x.reset();
  return rc;
}
