#include "shell/Application.h"

#include <QApplication>
#include <QDBusConnection>
#include <QEvent>
#include <QFile>
#include <QMenu>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/AppId.h"
#include "common/CommandLine.h"
#include "common/FileIo.h"
#include "common/StartTrace.h"
#include "platform/FontPages.h"
#include "platform/QtTranslations.h"
#include "platform/SingleInstance.h"
#include "player/EarlyDevice.h"
#include "shell/DesktopStart.h"
#include "shell/Look.h"
#include "shell/MainDesktopLyrics.h"
#include "shell/MainList.h"
#include "shell/MainMpris.h"
#include "shell/MainTray.h"
#include "shell/TfrmAbout.h"
#include "shell/TfrmConfig.h"
#include "shell/TfrmLyric.h"
#include "shell/TfrmMain.h"
#include "shell/TfrmOptions.h"
#include "shell/VolumeMemory.h"

namespace quillet {

namespace {

// The main window, its creation step run; false when that step failed (the back-end test).
bool CreateMainWindow(Windows& w, PlaySession& player, Dialogs& dialogs, const StartHooks& hooks) {
  w.main = std::make_unique<TfrmMain>(player, dialogs);
  return w.main->FormCreate(hooks);
}

// The About box, the lyric editor and the settings dialog, which take their captions from the
// version text the main window has set.
void CreateOtherWindows(Windows& w, PlaySession& player, Dialogs& dialogs) {
  w.about = new TfrmAbout(player.Shared, w.main.get());
  w.lyric = new TfrmLyric(player, dialogs, *w.main);
  w.lyric->RestoreMain = [m = w.main.get()] {
    CentreOnScreen(m);
    m->ListViewLst->viewport()->update();
  };
  w.config = new TfrmConfig(player.Shared, dialogs, w.main.get());
  w.main->Windows.about = w.about;
  w.main->Windows.lyric = w.lyric;
  w.main->Windows.config = w.config;
  w.main->Windows.options = new TfrmOptions(player.Shared, dialogs, w.main.get());
  w.main->Windows.options->Accepted = [&player](const Options& chosen) {
    player.Shared.options = chosen;
    player.OptionsChanged();
  };
  // The desktop lyric bar, when it was on at the last exit.
  w.main->DesktopLyrics->Start();
}

// Runs `work` once, soon after `widget` is first painted (or after `latestMs` if it never is, say
// on a display that does not expose it), from the message loop.
class AfterFirstPaint : public QObject {
 public:
  AfterFirstPaint(QWidget* widget, std::function<void()> work, int latestMs = 1000)
      : QObject(widget), work_(std::move(work)) {
    widget->installEventFilter(this);
    QTimer::singleShot(latestMs, this, [this] { Run(); });
  }

  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      StartMark("first paint");
      QTimer::singleShot(0, this, [this] { Run(); });
    }
    return false;
  }

 private:
  void Run() {
    if (!work_) return;
    parent()->removeEventFilter(this);
    std::function<void()> work = std::move(work_);
    work_ = nullptr;
    work();
  }

  std::function<void()> work_;
};

// The window as it is shown. QWidget::grab first hands every child its pending move and resize
// events, hidden popup menus included, which lays the context menu out (measuring each of its
// texts) though the picture does not hold it; the window on screen does that only when the menu
// opens. The screenshot ends the program, so the menus are never shown after this.
QPixmap GrabAsShown(QWidget* window) {
  for (QMenu* menu : window->findChildren<QMenu*>()) {
    if (menu->isVisible()) continue;
    menu->setAttribute(Qt::WA_PendingMoveEvent, false);
    menu->setAttribute(Qt::WA_PendingResizeEvent, false);
  }
  return window->grab();
}

}  // namespace

Windows CreateWindows(PlaySession& player, Dialogs& dialogs, const StartHooks& hooks) {
  Windows w;
  if (CreateMainWindow(w, player, dialogs, hooks)) CreateOtherWindows(w, player, dialogs);
  return w;
}

std::function<void(const std::vector<std::string>&)> HandedFilesReceiver(TfrmMain& main) {
  return [&main](const std::vector<std::string>& handed) {
    if (!main.Player.Snapshot().ready) return;
    // Shown first: many files bring a progress dialog, which belongs on a visible window.
    main.Tray->ShowProgram();
    main.List->OpenFiles(handed);
  };
}

namespace {

// For the documentation: QUILLET_SCREENSHOT=<png> grabs the main window once it is shown,
// QUILLET_SCREENSHOT_ABOUT=<png> the About box, QUILLET_SCREENSHOT_DESKTOP_LYRICS=<png> the
// desktop lyric bar over the main window; then the program ends. With
// QUILLET_SCREENSHOT_PLAY=<audio file> that file is added and played first, and the grab waits
// QUILLET_SCREENSHOT_DELAY milliseconds (default 500) so the lyric strip can follow the track.
bool ScheduleScreenshots(Windows& w, const std::function<void()>& createAbout) {
  const QString mainShot = qEnvironmentVariable("QUILLET_SCREENSHOT");
  const QString aboutShot = qEnvironmentVariable("QUILLET_SCREENSHOT_ABOUT");
  const QString barShot = qEnvironmentVariable("QUILLET_SCREENSHOT_DESKTOP_LYRICS");
  if (mainShot.isEmpty() && aboutShot.isEmpty() && barShot.isEmpty()) return false;
  const QString play = qEnvironmentVariable("QUILLET_SCREENSHOT_PLAY");
  bool delayOk = false;
  int delay = qEnvironmentVariableIntValue("QUILLET_SCREENSHOT_DELAY", &delayOk);
  if (!delayOk || delay < 0) delay = 500;
  if (!play.isEmpty()) {
    QTimer::singleShot(0, w.main.get(), [&w, play] {
      TrackList& list = w.main->Player.List();
      list.Append(list.Probe(QFile::encodeName(play).toStdString()));
      w.main->Player.PlayRow(list.Count() - 1);
    });
  }
  QTimer::singleShot(delay, w.main.get(), [&w, mainShot, aboutShot, barShot, createAbout] {
    bool ok = true;
    StartMark("screenshot timer");
    if (!mainShot.isEmpty()) {
      const QPixmap picture = GrabAsShown(w.main.get());
      StartMark("grabbed");
      ok = picture.save(mainShot) && ok;
      StartMark("saved");
    }
    if (!barShot.isEmpty()) ok = w.main->DesktopLyrics->SavePicture(barShot) && ok;
    if (!aboutShot.isEmpty()) createAbout();
    if (!aboutShot.isEmpty() && w.about != nullptr) {
      w.about->show();
      QTimer::singleShot(300, w.main.get(), [&w, aboutShot, ok] {
        const bool saved = w.about->grab().save(aboutShot);
        QCoreApplication::exit(ok && saved ? 0 : 1);
      });
      return;
    }
    QCoreApplication::exit(ok ? 0 : 1);
  });
  return true;
}

}  // namespace

int RunApplication(int argc, char** argv, audio::Engine& engine) {
  StartMark("main");
  // The command line is answered before the application object exists: --help needs no display.
  CommandLine commandLine = ParseCommandLine(argc, argv, CurrentDirectory());
  if (const std::optional<int> code = AnswerCommandLine(commandLine)) return *code;
  const std::vector<std::string> files = ExistingFiles(commandLine.files);
  // The sound server answers while the toolkit starts; the main window's creation takes the
  // outcomes in its own order.
  EarlyDevice early(engine);
  int toolkitArgc = static_cast<int>(commandLine.toolkitArgs.size()) - 1;
  QApplication app(toolkitArgc, commandLine.toolkitArgs.data());
  QGuiApplication::setDesktopFileName(QString::fromLatin1(kAppId));
  StartMark("application object");
  // One Quillet per session. The only start (the usual case) knows it from the start lock alone
  // and claims its name on the bus once its window is up; a later one waits for that name and
  // hands its files over.
  SingleInstance instance([] { return QDBusConnection::sessionBus(); });
  const SingleInstance::StartLock lock = instance.TakeStartLock();
  if (lock != SingleInstance::StartLock::Ours) {
    if (lock == SingleInstance::StartLock::Busy) {
      instance.WaitForRunning(SingleInstance::kHandOffTimeoutMs);
    }
    if (instance.Claim() == SingleInstance::Role::Second) {
      std::string why;
      if (instance.HandOff(files, &why)) return 0;
      std::fprintf(stderr, "quillet: the running Quillet did not answer (%s); starting another\n",
                   why.c_str());
    }
  }
  StartMark("single instance");
  if (commandLine.fromDesktopEntry) EnterConfigHome();
  // The program lives on in the notification area with no window shown; only the exit command
  // ends it.
  QApplication::setQuitOnLastWindowClosed(false);
  QApplication::setWindowIcon(ApplicationIcon());
  InstallFontSubstitutes();

  PlayerShared shared;
  PlaySession player(shared, engine);
  QtDialogs dialogs;
  Windows windows;
  StartHooks hooks;
  hooks.backEndCheck = [&early](std::string* why) { return early.BackEndOk(why); };
  hooks.openDevice = [&early] { return early.DeviceError(); };
  if (!CreateMainWindow(windows, player, dialogs, hooks)) return 1;
  StartMark("main window created");
  TfrmMain& main = *windows.main;
  new VolumeMemory(player, &main);  // goes with the main window
  // Each new track hands back the pages of the font files that the last one's lyric lines read,
  // from the message loop rather than from inside the refresh tick that announced it.
  player.Subscribe([&main](unsigned changes) {
    if (changes & kChangedTrack) QTimer::singleShot(0, &main, [] { ReleaseFontPages(); });
  });
  ReceiveHandedFiles(instance, HandedFilesReceiver(main));
  main.show();
  StartMark("shown");
  // What the first sight of the main window does not need comes right after it: the other
  // windows (the commands that open them find none before, and do nothing), and the media keys
  // and the desktop's sound menus, when there is a session bus to reach them.
  std::unique_ptr<MainMpris> mpris;
  const auto createOthers = [&] {
    // Their dialogs carry the toolkit's own texts, which nothing before needed.
    EnsureQtTranslations();
    if (windows.about == nullptr) CreateOtherWindows(windows, player, dialogs);
  };
  // The files of the command line follow too, so that many of them never keep the window from
  // the screen; and the font pages that measuring and drawing it read are handed back.
  new AfterFirstPaint(&main, [&] {
    StartMark("after first paint");
    ReleaseFontPages();
    if (!instance.Claimed() && instance.Claim() == SingleInstance::Role::Second) {
      std::fprintf(stderr,
                   "quillet: another program owns %s on the session bus; this Quillet "
                   "runs on its own\n",
                   kAppId);
    }
    createOthers();
    mpris = MainMpris::Start(player, *main.Tray);
    ReleaseFontPages();
    StartMark("other windows and media controls");
    if (!files.empty()) main.List->OpenFiles(files);
  });
  ScheduleScreenshots(windows, createOthers);
  const int code = app.exec();
  StartMark("message loop ended");
  mpris.reset();
  windows.main.reset();
  StartMark("windows freed");
  return code;
}

}  // namespace quillet
