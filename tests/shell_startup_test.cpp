// Program start: the creation step's order and messages, the lyric directory read at start, the
// windows that take the version text, closing and the drop target.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QLineEdit>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>

#include "playlist/Settings.h"
#include "support/AppFixture.h"
#include "support/ScriptedEngine.h"
#include "support/fixtures/AudioFixtures.h"

namespace quillet {
namespace {

using testing::AppFixture;
using testing::MakeDir;
using testing::WriteBytes;
using testing::WriteSineWave;

AppFixture::Options BeforeStart(std::function<void(const std::string&)> prepare) {
  AppFixture::Options o;
  o.beforeStart = std::move(prepare);
  return o;
}

std::string SettingsRecord(const std::string& path) {
  ConfigRecord r;
  r.LyricPath = path;
  return EncodeConfigRecord(r);
}

TEST(StartUp, WithoutSettingsFileStartsSilently) {
  AppFixture app;
  ASSERT_TRUE(app.started());
  EXPECT_TRUE(app.dialogs().messages.empty());
  const PlayerSnapshot& s = app.session().Snapshot();
  EXPECT_TRUE(s.ready);
  EXPECT_EQ(app.state().VersionText, "Quillet 06.12.15");
  EXPECT_EQ(s.state, psStopped);
  EXPECT_EQ(s.mode, pmNone);
  EXPECT_EQ(s.stream, 0u);
  EXPECT_TRUE(app.state().LyricDir.empty());
  // The other three windows take the version text the main window set.
  const QString version = QStringLiteral("Quillet 06.12.15");
  EXPECT_EQ(app.main().windowTitle(), version);
  EXPECT_EQ(app.lyric().windowTitle(), version);
  EXPECT_EQ(app.config().windowTitle(), version);
  EXPECT_EQ(app.about().VersionLabel->text(), version);
  EXPECT_EQ(app.main().Windows.about, &app.about());
  EXPECT_EQ(app.main().Windows.lyric, &app.lyric());
  EXPECT_EQ(app.main().Windows.config, &app.config());
  // Only the main window is shown, and only by the program's start; the fixture shows nothing.
  EXPECT_FALSE(app.about().isVisible());
  EXPECT_FALSE(app.lyric().isVisible());
  EXPECT_FALSE(app.config().isVisible());
  EXPECT_TRUE(app.main().acceptDrops());
}

TEST(StartUp, LyricDirectoryIsTrimmedAndMustExist) {
  AppFixture app(BeforeStart([](const std::string& dir) {
    MakeDir(dir + "/lyrics");
    WriteBytes(dir + "/cfrMsg", SettingsRecord("  \t" + dir + "/lyrics \r\n"));
  }));
  EXPECT_TRUE(app.dialogs().messages.empty());
  EXPECT_EQ(app.state().LyricDir, app.workDir() + "/lyrics");
}

TEST(StartUp, LyricDirectoryThatIsGoneIsEmpty) {
  AppFixture app(BeforeStart([](const std::string& dir) {
    WriteBytes(dir + "/cfrMsg", SettingsRecord(" " + dir + "/removed "));
  }));
  EXPECT_TRUE(app.dialogs().messages.empty());
  EXPECT_TRUE(app.state().LyricDir.empty());
}

TEST(StartUp, ShortSettingsFileIsReportedAndStartGoesOn) {
  AppFixture app(BeforeStart([](const std::string& dir) {
    WriteBytes(dir + "/cfrMsg", SettingsRecord(dir).substr(0, 50));
  }));
  ASSERT_TRUE(app.started());
  ASSERT_EQ(app.dialogs().messages.size(), 1u);
  const auto& box = app.dialogs().messages.front();
  EXPECT_EQ(box.title, QStringLiteral("Quillet 06.12.15"));
  EXPECT_EQ(box.icon, Dialogs::Icon::Error);
  EXPECT_EQ(box.buttons, Dialogs::Buttons::Ok);
  EXPECT_FALSE(box.text.isEmpty());
  EXPECT_TRUE(app.state().LyricDir.empty());
  EXPECT_TRUE(app.session().Snapshot().ready);
  EXPECT_EQ(app.session().Snapshot().mode, pmNone);
}

// A folder of that name is no settings file: no box at start, at a track start or in the
// settings dialog, which shows empty fields.
TEST(StartUp, SettingsFileThatIsAFolderCountsAsMissing) {
  AppFixture app(BeforeStart([](const std::string& dir) { MakeDir(dir + "/cfrMsg"); }));
  ASSERT_TRUE(app.started());
  EXPECT_TRUE(app.session().Snapshot().ready);
  EXPECT_TRUE(app.state().LyricDir.empty());
  const std::string track = app.workDir() + "/a.wav";
  WriteSineWave(track, 0.5);
  app.main().List->AddTrackRow(track);
  app.main().ListViewLst->selectionModel()->select(
      app.main().ListModel->index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
  app.main().Transport->btnPlayClick();
  EXPECT_EQ(app.session().Snapshot().state, psPlaying);
  app.main().Files->btnConfigureClick();
  EXPECT_TRUE(app.config().EditLyricPath->text().isEmpty());
  app.config().btnPathCloseClick();
  EXPECT_TRUE(app.dialogs().messages.empty());
}

TEST(StartUp, WrongBackEndShowsItsMessageAndEndsBeforeAnythingElse) {
  AppFixture::Options o;
  o.backEndOk = false;
  AppFixture app(o);
  EXPECT_TRUE(app.processEnded());
  EXPECT_FALSE(app.started());
  ASSERT_EQ(app.dialogs().messages.size(), 1u);
  const auto& box = app.dialogs().messages.front();
  EXPECT_EQ(box.text, QString::fromUtf8("加载“BASS.DLL”时出现错误！"));
  EXPECT_EQ(box.title, QStringLiteral("Quillet"));
  EXPECT_EQ(box.icon, Dialogs::Icon::Information);
  EXPECT_EQ(box.buttons, Dialogs::Buttons::Ok);
  // The state was never set up: refresh ticks stay idle.
  EXPECT_FALSE(app.session().Snapshot().ready);
  EXPECT_FALSE(app.main().isVisible());
}

TEST(StartUp, MissingSoundDeviceIsReportedWithItsCodeAndStartGoesOn) {
  testing::ScriptedEngine engine;
  engine.initFails = audio::kErrDriver;
  AppFixture::Options o;
  o.engine = &engine;
  AppFixture app(o);
  EXPECT_EQ(engine.initDevice, -1);
  EXPECT_EQ(engine.initFreq, 44100u);
  EXPECT_EQ(engine.initFlags, 0u);
  ASSERT_TRUE(app.started());
  ASSERT_EQ(app.dialogs().messages.size(), 1u);
  const auto& box = app.dialogs().messages.front();
  EXPECT_EQ(box.text, QString::fromUtf8("初始化音频错误！\r\n（错误码： 3）"));
  EXPECT_EQ(box.title, QStringLiteral("Quillet"));
  EXPECT_EQ(box.icon, Dialogs::Icon::Information);
  EXPECT_TRUE(app.session().Snapshot().ready);
}

TEST(StartUp, RefreshTimerIsArmedFromCreation) {
  AppFixture::Options o;
  o.runTimer = true;
  AppFixture app(o);
  EXPECT_TRUE(app.main().ShowTimer->isActive());
  EXPECT_EQ(app.main().ShowTimer->interval(), 150);
}

TEST(Closing, CloseRequestsAreRefused) {
  AppFixture app;
  app.main().show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&app.main()));
  QCloseEvent close;
  QApplication::sendEvent(&app.main(), &close);
  EXPECT_FALSE(close.isAccepted());
  EXPECT_FALSE(app.main().close());
}

TEST(Closing, ExitFreesTheEngineAndStopsTheRefreshTimer) {
  AppFixture::Options o;
  o.runTimer = true;
  AppFixture app(o);
  const std::string wav = app.workDir() + "/a.wav";
  WriteSineWave(wav, 1.0);
  WriteBytes(app.workDir() + "/a.lrc", "[00:01]a\n");
  TrackList& list = app.session().List();
  list.Append(list.Probe(wav));
  app.session().PlayRow(0);
  app.session().SwitchLoopSelection();
  ASSERT_FALSE(app.main().Player.Lyric().empty());
  ASSERT_FALSE(app.main().Player.LoopSelectionPaths().empty());
  app.main().Tray->btnExitAppClick();
  EXPECT_FALSE(app.main().ShowTimer->isActive());
  EXPECT_EQ(app.session().Snapshot().stream, 0u);
  EXPECT_TRUE(app.main().Player.Lyric().empty());
  EXPECT_TRUE(app.main().Player.LoopSelectionPaths().empty());
  // The device is released: a stream can no longer be opened.
  EXPECT_EQ(app.engine().StreamCreateFile(false, "/nonexistent.wav", 0, 0, 0), 0u);
  EXPECT_EQ(app.engine().LastErrorCode(), audio::kErrInit);
}

TEST(MainWindow, FirstShowCentresTheWindow) {
  AppFixture app;
  TfrmMain& m = app.main();
  m.move(0, 0);
  m.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&m));
  const QPoint screenCentre = m.screen()->geometry().center();
  EXPECT_LE((m.frameGeometry().center() - screenCentre).manhattanLength(), 4);
  // Afterwards it stays where it is put.
  m.hide();
  m.move(10, 20);
  m.show();
  EXPECT_EQ(m.pos(), QPoint(10, 20));
}

TEST(MainWindow, EnterThatNoControlTakesPressesTheDefaultButton) {
  AppFixture app;
  TfrmMain& m = app.main();
  m.show();
  QApplication::setActiveWindow(&m);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&m));
  QSignalSpy hide(m.btnHideApp, &QPushButton::clicked);
  QSignalSpy play(m.btnPlay, &QPushButton::clicked);
  m.ListViewLst->setFocus();
  QTest::keyClick(m.ListViewLst, Qt::Key_Return);
  EXPECT_EQ(hide.count(), 1);
  // A focused button takes Enter itself.
  m.btnPlay->setFocus();
  QTest::keyClick(m.btnPlay, Qt::Key_Return);
  EXPECT_EQ(play.count(), 1);
  EXPECT_EQ(hide.count(), 1);
  // A group box given the focus keeps it, and Enter there reaches the default button.
  m.GBPlayProgress->setFocus();
  EXPECT_EQ(QApplication::focusWidget(), m.GBPlayProgress);
  QTest::keyClick(m.GBPlayProgress, Qt::Key_Enter);
  EXPECT_EQ(hide.count(), 2);
}

TEST(MainWindow, DroppedFilesArriveAsWholeLocalBytes) {
  AppFixture app;
  const std::string longName(300, 'a');
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(QString::fromUtf8("/music/歌曲 1.mp3")),
                QUrl(QStringLiteral("https://example.org/x.mp3")),
                QUrl::fromLocalFile(QStringLiteral("/music/folder/")),
                QUrl::fromLocalFile(QStringLiteral("/music/") + QString::fromStdString(longName))});
  const std::vector<std::string> paths = DroppedFilePaths(&mime);
  ASSERT_EQ(paths.size(), 3u);
  EXPECT_EQ(paths[0], QFile::encodeName(QString::fromUtf8("/music/歌曲 1.mp3")).toStdString());
  EXPECT_EQ(paths[1], "/music/folder");
  EXPECT_EQ(paths[2], "/music/" + longName);  // never cut short
  QMimeData text;
  text.setText(QStringLiteral("not files"));
  EXPECT_TRUE(DroppedFilePaths(&text).empty());
}

TEST(MainWindow, SelectionHelpers) {
  AppFixture app;
  TfrmMain& m = app.main();
  for (int i = 0; i < 5; ++i) {
    m.Player.List().Append(
        PlaylistRow{"n" + std::to_string(i), "", "", "", "/p" + std::to_string(i)});
  }
  EXPECT_EQ(m.Player.List().FirstSelected(), -1);
  EXPECT_EQ(m.List->FocusedRow(), -1);
  auto* sel = m.ListViewLst->selectionModel();
  sel->select(m.ListModel->index(3, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
  sel->select(m.ListModel->index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
  sel->setCurrentIndex(m.ListModel->index(4, 0), QItemSelectionModel::NoUpdate);
  EXPECT_EQ(m.Player.List().FirstSelected(), 1);
  EXPECT_EQ(m.Player.List().Selected(), (std::vector<int>{1, 3}));
  EXPECT_EQ(m.List->FocusedRow(), 4);
}

}  // namespace
}  // namespace quillet
