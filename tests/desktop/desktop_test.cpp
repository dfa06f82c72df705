// Quillet started as a desktop program: the real executable answers its command line, hands its
// files to a running Quillet over the session bus (this process plays the running one), runs on
// its own without a bus and works in its own folder when started from the menu; the volume is
// kept between runs and the toolkit's texts are Chinese. Run under dbus-run-session.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/PlayerState.h"
#include "platform/QtTranslations.h"
#include "platform/SingleInstance.h"
#include "player/PlaybackRules.h"
#include "shell/DesktopStart.h"
#include "shell/VolumeMemory.h"
#include "support/PlayRig.h"
#include "support/fixtures/AudioFixtures.h"
#include "support/fixtures/FileFixtures.h"

namespace quillet::testing {
namespace {

struct Outcome {
  int code = -1;  // -1 also for a crash or a hang (killed)
  std::string out, err;
};

// Lets the event loop run (this process may be the running Quillet) until `done` or `ms` pass.
template <typename Pred>
bool SpinUntil(int ms, Pred done) {
  QElapsedTimer t;
  t.start();
  while (!done() && t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  return done();
}

class Program {
 public:
  Program() {
    ::mkdir(dir_.File("run").c_str(), 0700);
    env_ = QProcessEnvironment::systemEnvironment();
    env_.insert("QT_QPA_PLATFORM", "offscreen");
    env_.insert("SDL_AUDIODRIVER", "dummy");
    env_.insert("XDG_CONFIG_HOME", QString::fromStdString(dir_.File("config")));
    env_.insert("XDG_RUNTIME_DIR", QString::fromStdString(dir_.File("run")));
  }
  TempDir& dir() { return dir_; }
  void Set(const QString& name, const QString& value) { env_.insert(name, value); }
  void Unset(const QString& name) { env_.remove(name); }
  // No session bus: the address names no socket, and none is found by the runtime folder.
  void NoBus() { Set("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + Path("no-bus-here")); }
  QString Path(const std::string& name) { return QString::fromStdString(dir_.File(name)); }

  // In the temporary folder, which relative names are resolved against.
  void Start(QProcess& p, const QStringList& args) {
    p.setProcessEnvironment(env_);
    p.setWorkingDirectory(QString::fromStdString(dir_.path()));
    p.start(QStringLiteral(QUILLET_PROGRAM), args);
  }
  static Outcome Wait(QProcess& p, int ms = 30000) {
    Outcome r;
    if (!SpinUntil(ms, [&] { return p.state() == QProcess::NotRunning; })) {
      p.kill();
      p.waitForFinished();
    }
    if (p.exitStatus() == QProcess::NormalExit) r.code = p.exitCode();
    r.out = p.readAllStandardOutput().toStdString();
    r.err = p.readAllStandardError().toStdString();
    return r;
  }
  Outcome Exec(const QStringList& args) {
    QProcess p;
    Start(p, args);
    return Wait(p);
  }

 private:
  TempDir dir_;
  QProcessEnvironment env_;
};

TEST(CommandLine, HelpVersionAndBadOptionsAnswerWithoutAWindow) {
  Program q;
  // Any attempt at a window would fail here: X11 with no display.
  q.Set("QT_QPA_PLATFORM", "xcb");
  q.Unset("DISPLAY");
  q.Unset("WAYLAND_DISPLAY");
  const Outcome help = q.Exec({"--help", "a.mp3"});
  EXPECT_EQ(help.code, 0) << help.err;
  EXPECT_EQ(help.out.rfind("Usage: quillet [OPTION...] [FILE...]\n", 0), 0u) << help.out;
  EXPECT_EQ(help.err, "");
  const Outcome version = q.Exec({"-v"});
  EXPECT_EQ(version.code, 0);
  EXPECT_EQ(version.out, std::string(kVersionText) + "\n");
  const Outcome bad = q.Exec({"a.mp3", "--shuffle"});
  EXPECT_EQ(bad.code, 2);
  EXPECT_EQ(bad.out, "");
  EXPECT_EQ(bad.err, "quillet: unknown option '--shuffle' (see 'quillet --help')\n");
}

TEST(OneInstance, ALaterStartHandsItsFilesToTheRunningOneWhichAddsAndPlaysThem) {
  ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "run under dbus-run-session";
  PlayRig rig;
  TfrmMain& w = rig.main();
  SingleInstance running(QDBusConnection::sessionBus());
  ASSERT_EQ(running.Claim(), SingleInstance::Role::First);
  ReceiveHandedFiles(running, HandedFilesReceiver(w));
  Program q;
  MakeDir(q.dir().File("sub"));
  const std::string old = q.dir().File("old.wav"), one = q.dir().File("sub/one.wav"),
                    two = q.dir().File("two.wav");
  for (const std::string& f : {old, one, two}) {
    WriteSineWave(f, 0.2);
    rig.engine().AddFile(f, 0.2);
  }
  w.List->AddTrackRow(old);
  w.show();
  w.hide();  // as in the notification area

  QElapsedTimer took;
  took.start();
  const Outcome second =
      q.Exec({"--from-desktop-entry", "./sub/one.wav", "missing.wav", "two.wav"});
  RecordProperty("hand_off_ms", std::to_string(took.elapsed()));
  EXPECT_EQ(second.code, 0) << second.err;
  EXPECT_EQ(second.err, "quillet: " + q.dir().File("missing.wav") + ": no such file, left out\n");
  // It never got as far as running: no folder of its own.
  EXPECT_FALSE(QFileInfo::exists(q.Path("config/quillet")));

  // Added in order after the old row, the first new one selected and started as a double-click
  // starts it, the window back from hiding.
  ASSERT_TRUE(SpinUntil(5000, [&] { return w.Player.List().Count() == 3; }))
      << w.Player.List().Count();
  EXPECT_EQ(w.Player.List().Row(1).path, one);
  EXPECT_EQ(w.Player.List().Row(2).path, two);
  EXPECT_EQ(w.Player.List().Selected(), std::vector<int>{1});
  EXPECT_EQ(w.List->FocusedRow(), 1);
  EXPECT_EQ(rig.now().state, psPlaying);
  EXPECT_EQ(rig.engine().Count("create "), 1);
  EXPECT_EQ(rig.engine().Count("create " + one), 1);
  EXPECT_TRUE(rig.dialogs.messages.empty());
  EXPECT_TRUE(w.isVisible());

  // Without files a later start only brings the running one to the front.
  w.hide();
  const Outcome bare = q.Exec({});
  EXPECT_EQ(bare.code, 0) << bare.err;
  EXPECT_TRUE(SpinUntil(5000, [&] { return w.isVisible(); }));
  EXPECT_EQ(w.Player.List().Count(), 3);
  // After exit, handed files are neither added nor started.
  rig.session().Shutdown();
  w.List->OpenFiles({old});
  EXPECT_EQ(w.Player.List().Count(), 3);
}

TEST(OneInstance, TheStartLockIsOneHoldersUntilItGoes) {
  const bool hadTmp = qEnvironmentVariableIsSet("TMPDIR");
  const QByteArray tmp = qgetenv("TMPDIR");
  TempDir dir;
  struct Case {
    const char* what;
    std::string tmpdir;
    SingleInstance::StartLock first, second, afterFirstWent;
  };
  using L = SingleInstance::StartLock;
  const Case cases[] = {
      {"a temporary folder", dir.path(), L::Ours, L::Busy, L::Ours},
      {"none to be had", dir.File("missing"), L::Unavailable, L::Unavailable, L::Unavailable},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    qputenv("TMPDIR", QByteArray::fromStdString(c.tmpdir));
    SingleInstance b(QDBusConnection::sessionBus());
    {
      SingleInstance a(QDBusConnection::sessionBus());
      EXPECT_EQ(a.TakeStartLock(), c.first);
      EXPECT_EQ(b.TakeStartLock(), c.second);
    }
    EXPECT_EQ(b.TakeStartLock(), c.afterFirstWent);
  }
  if (hadTmp) {
    qputenv("TMPDIR", tmp);
  } else {
    qunsetenv("TMPDIR");
  }
}

TEST(OneInstance, ALaterStartDuringTheFirstOnesStartWaitsForItsNameAndHandsOver) {
  ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "run under dbus-run-session";
  // This process has the start lock, but its window is not up yet, so its name is not claimed.
  PlayRig rig;
  TfrmMain& w = rig.main();
  SingleInstance running(QDBusConnection::sessionBus());
  ASSERT_EQ(running.TakeStartLock(), SingleInstance::StartLock::Ours);
  ReceiveHandedFiles(running, HandedFilesReceiver(w));
  Program q;
  const std::string one = q.dir().File("one.wav");
  WriteSineWave(one, 0.2);
  rig.engine().AddFile(one, 0.2);
  QProcess later;
  q.Start(later, {"one.wav"});
  // It waits for the name rather than run a second player.
  EXPECT_FALSE(SpinUntil(500, [&] { return later.state() == QProcess::NotRunning; }));
  ASSERT_EQ(running.Claim(), SingleInstance::Role::First);
  const Outcome r = Program::Wait(later);
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_FALSE(QFileInfo::exists(q.Path("config/quillet")));
  ASSERT_TRUE(SpinUntil(5000, [&] { return w.Player.List().Count() == 1; }));
  EXPECT_EQ(w.Player.List().Row(0).path, one);
}

TEST(OneInstance, WithoutASessionBusEveryStartRunsOnItsOwnSilently) {
  for (const bool unset : {false, true}) {
    Program q;
    if (unset) {
      q.Unset("DBUS_SESSION_BUS_ADDRESS");
    } else {
      q.NoBus();
    }
    const std::string song = q.dir().File("song.wav");
    WriteSineWave(song, 0.5);
    q.Set("QUILLET_SCREENSHOT_DELAY", "1500");
    QProcess a, b;
    q.Set("QUILLET_SCREENSHOT", q.Path("a.png"));
    q.Start(a, {"song.wav"});
    q.Set("QUILLET_SCREENSHOT", q.Path("b.png"));
    q.Start(b, {"song.wav"});
    for (QProcess* p : {&a, &b}) {
      const Outcome r = Program::Wait(*p);
      EXPECT_EQ(r.code, 0) << r.err;
      EXPECT_EQ(r.err, "") << "unset: " << unset;
    }
    // Each drew its own window: neither handed its file to the other.
    EXPECT_TRUE(QFileInfo::exists(q.Path("a.png")));
    EXPECT_TRUE(QFileInfo::exists(q.Path("b.png")));
  }
}

TEST(Start, TheOtherWindowsAndTheMediaControlsFollowTheFirstPicture) {
  ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "run under dbus-run-session";
  Program q;
  // Both pictures at once: the About box is made for its picture though the rest waits.
  q.Set("QUILLET_SCREENSHOT", q.Path("main.png"));
  q.Set("QUILLET_SCREENSHOT_ABOUT", q.Path("about.png"));
  q.Set("QUILLET_SCREENSHOT_DELAY", "0");
  const Outcome shots = q.Exec({});
  EXPECT_EQ(shots.code, 0) << shots.err;
  EXPECT_TRUE(QFileInfo::exists(q.Path("main.png")));
  EXPECT_TRUE(QFileInfo::exists(q.Path("about.png")));

  // Left running, it offers the media controls once its window is up.
  q.Unset("QUILLET_SCREENSHOT_ABOUT");
  q.Set("QUILLET_SCREENSHOT_DELAY", "4000");
  QProcess p;
  q.Start(p, {});
  const QString name = QStringLiteral("org.mpris.MediaPlayer2.quillet");
  EXPECT_TRUE(SpinUntil(4000, [&] {
    return QDBusConnection::sessionBus().interface()->isServiceRegistered(name).value();
  }));
  const Outcome r = Program::Wait(p);
  EXPECT_EQ(r.code, 0) << r.err;
}

TEST(MenuStart, WorksInItsOwnConfigFolderAndAShellStartStaysWhereItIs) {
  Program q;
  q.NoBus();
  q.Set("XDG_CONFIG_HOME", q.Path("fresh/config"));
  q.Set("QUILLET_SCREENSHOT", q.Path("menu.png"));
  q.Set("QUILLET_SCREENSHOT_DELAY", "3000");
  QProcess menu;
  q.Start(menu, {"--from-desktop-entry"});
  const std::string want = q.dir().File("fresh/config/quillet");
  const std::string cwdLink = "/proc/" + std::to_string(menu.processId()) + "/cwd";
  std::string seen;
  SpinUntil(10000, [&] {
    char buf[4096];
    const ssize_t n = ::readlink(cwdLink.c_str(), buf, sizeof buf);
    if (n > 0) seen.assign(buf, static_cast<std::size_t>(n));
    return seen == want || menu.state() == QProcess::NotRunning;
  });
  EXPECT_EQ(seen, want);
  const Outcome r = Program::Wait(menu);
  EXPECT_EQ(r.code, 0) << r.err;

  q.Set("XDG_CONFIG_HOME", q.Path("shell/config"));
  q.Set("QUILLET_SCREENSHOT", q.Path("shell.png"));
  q.Set("QUILLET_SCREENSHOT_DELAY", "0");
  const Outcome shell = q.Exec({});
  EXPECT_EQ(shell.code, 0) << shell.err;
  EXPECT_TRUE(QFileInfo::exists(q.Path("shell.png")));
  EXPECT_FALSE(QFileInfo::exists(q.Path("shell/config")));
}

TEST(Volume, RestoredAtStartAndWrittenWhenTheBarRestsOrTheProgramEnds) {
  TempDir cfg;
  ASSERT_EQ(::setenv("XDG_CONFIG_HOME", cfg.path().c_str(), 1), 0);  // this process only
  MakeDir(cfg.File("quillet"));
  const std::string file = cfg.File("quillet/volume");
  WriteBytes(file, "20000\n");
  std::string bytes;
  {
    PlayRig rig;
    new VolumeMemory(rig.session(), &rig.main(), 20);
    EXPECT_EQ(rig.engine().GetVolume(), PackedVolume(20000));
    EXPECT_EQ(rig.main().tbSetVolume->Position(), 20000);
    // The user moves the bar; the file follows once it rests.
    rig.main().tbSetVolume->SetPosition(5000);
    emit rig.main().tbSetVolume->OnUserChange();
    EXPECT_TRUE(SpinUntil(5000, [&] { return ReadBytes(file, &bytes) && bytes == "5000\n"; }))
        << bytes;
    // A last move just before the end is written as the window goes.
    rig.main().tbSetVolume->SetPosition(7000);
    emit rig.main().tbSetVolume->OnUserChange();
  }
  ASSERT_TRUE(ReadBytes(file, &bytes));
  EXPECT_EQ(bytes, "7000\n");
}

TEST(Language, TheToolkitsOwnTextsAreChinese) {
  std::string why;
  ASSERT_TRUE(InstallQtTranslations(*QCoreApplication::instance(), &why)) << why;
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "OK"), QString::fromUtf8("确定"));
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString::fromUtf8("取消"));
  EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Look in:"),
            QString::fromUtf8("查找范围："));
}

}  // namespace
}  // namespace quillet::testing
