#include "shell/Application.h"

#include <QApplication>
#include <QDBusConnection>
#include <QFile>
#include <QItemSelectionModel>
#include <QTimer>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "common/AppId.h"
#include "common/CommandLine.h"
#include "common/FileIo.h"
#include "platform/QtTranslations.h"
#include "platform/SingleInstance.h"
#include "shell/DesktopStart.h"
#include "shell/Look.h"
#include "shell/MainMpris.h"
#include "shell/TfrmAbout.h"
#include "shell/TfrmConfig.h"
#include "shell/TfrmLyric.h"
#include "shell/TfrmMain.h"
#include "shell/VolumeMemory.h"

namespace quillet {

Windows CreateWindows(PlayerShared& state, PlaySession& session, Dialogs& dialogs,
                      const StartHooks& hooks) {
  Windows w;
  w.main = std::make_unique<TfrmMain>(state, session, dialogs);
  if (hooks.backEndCheck) w.main->BackEndCheck = hooks.backEndCheck;
  if (hooks.endProcess) w.main->EndProcess = hooks.endProcess;
  if (!w.main->FormCreate()) return w;
  w.about = new TfrmAbout(state, w.main.get());
  w.lyric = new TfrmLyric(state, session, dialogs, *w.main);
  w.lyric->RestoreMain = [m = w.main.get()] {
    m->CentreOnScreen();
    m->ListViewLst->viewport()->update();
  };
  w.config = new TfrmConfig(state, dialogs, w.main.get());
  w.main->frmAbout = w.about;
  w.main->frmLyric = w.lyric;
  w.main->frmConfig = w.config;
  return w;
}

namespace {

// For the documentation: QUILLET_SCREENSHOT=<png> grabs the main window once it is shown,
// QUILLET_SCREENSHOT_ABOUT=<png> the About box; then the program ends. With
// QUILLET_SCREENSHOT_PLAY=<audio file> that file is added and played first, and the grab waits
// QUILLET_SCREENSHOT_DELAY milliseconds (default 500) so the lyric strip can follow the track.
bool ScheduleScreenshots(Windows& w) {
  const QString mainShot = qEnvironmentVariable("QUILLET_SCREENSHOT");
  const QString aboutShot = qEnvironmentVariable("QUILLET_SCREENSHOT_ABOUT");
  if (mainShot.isEmpty() && aboutShot.isEmpty()) return false;
  const QString play = qEnvironmentVariable("QUILLET_SCREENSHOT_PLAY");
  bool delayOk = false;
  int delay = qEnvironmentVariableIntValue("QUILLET_SCREENSHOT_DELAY", &delayOk);
  if (!delayOk || delay < 0) delay = 500;
  if (!play.isEmpty()) {
    QTimer::singleShot(0, w.main.get(), [&w, play] {
      TfrmMain& m = *w.main;
      m.AddTrackRow(QFile::encodeName(play).toStdString());
      m.ListViewLst->selectionModel()->setCurrentIndex(
          m.ListModel->index(m.RowCount() - 1, 0),
          QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
      m.btnPlayClick();
    });
  }
  QTimer::singleShot(delay, w.main.get(), [&w, mainShot, aboutShot] {
    bool ok = true;
    if (!mainShot.isEmpty()) ok = w.main->grab().save(mainShot) && ok;
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
  // The command line is answered before the application object exists: --help needs no display.
  CommandLine commandLine = ParseCommandLine(argc, argv, CurrentDirectory());
  if (const std::optional<int> code = AnswerCommandLine(commandLine)) return *code;
  const std::vector<std::string> files = ExistingFiles(commandLine.files);
  int toolkitArgc = static_cast<int>(commandLine.toolkitArgs.size()) - 1;
  QApplication app(toolkitArgc, commandLine.toolkitArgs.data());
  QGuiApplication::setDesktopFileName(QString::fromLatin1(kAppId));
  std::string noCatalogue;
  if (!InstallQtTranslations(app, &noCatalogue)) {
    std::fprintf(stderr, "quillet: %s\n", noCatalogue.c_str());
  }
  SingleInstance instance(QDBusConnection::sessionBus());
  if (instance.Claim() == SingleInstance::Role::Second) {
    std::string why;
    if (instance.HandOff(files, &why)) return 0;
    std::fprintf(stderr, "quillet: the running Quillet did not answer (%s); starting another\n",
                 why.c_str());
  }
  if (commandLine.fromDesktopEntry) EnterConfigHome();
  // The program lives on in the notification area with no window shown; only the exit command
  // ends it.
  QApplication::setQuitOnLastWindowClosed(false);
  QApplication::setWindowIcon(ApplicationIcon());
  InstallFontSubstitutes();

  PlayerShared state;
  PlaySession session(state, engine);
  QtDialogs dialogs;
  Windows windows = CreateWindows(state, session, dialogs);
  if (windows.about == nullptr) return 1;
  new VolumeMemory(*windows.main);  // owned by the main window
  ReceiveHandedFiles(instance, *windows.main);
  windows.main->show();
  // The media keys and the desktop's sound menus, when there is a session bus to reach them.
  std::unique_ptr<MainMpris> mpris = MainMpris::Start(*windows.main);
  if (!files.empty()) {
    QTimer::singleShot(0, windows.main.get(),
                       [&windows, &files] { windows.main->OpenFiles(files); });
  }
  ScheduleScreenshots(windows);
  const int code = app.exec();
  mpris.reset();
  windows.main.reset();
  return code;
}

}  // namespace quillet
