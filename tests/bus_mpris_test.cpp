// The desktop's media controls, driven by the real playerctl (and dbus-send, dbus-monitor) over a
// session bus of the test's own (the test runs inside dbus-run-session): the windows on the real
// engine with SDL's dummy driver and the refresh timer running, and the program itself.
#include <gtest/gtest.h>

#include <QItemSelectionModel>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QUrl>
#include <cmath>
#include <memory>

#include "playlist/TrackProbe.h"
#include "shell/MainMpris.h"
#include "support/AppFixture.h"
#include "support/fixtures/AudioFixtures.h"
#include "support/fixtures/TagFixtures.h"
#include "support/fixtures/FileFixtures.h"

namespace quillet::testing {
namespace {

const QString kDest = QStringLiteral("--dest=org.mpris.MediaPlayer2.quillet");
const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");

struct Ran {
  int code = -1;
  QString out;
};

// Runs a program to its end while the event loop goes on, so the windows answer its calls.
Ran Exec(const QString& program, const QStringList& args) {
  QProcess p;
  p.start(program, args);
  if (!p.waitForStarted(5000)) return {-1, p.errorString()};
  if (!QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, 15000)) {
    p.kill();
    p.waitForFinished();
    return {-2, QStringLiteral("timed out")};
  }
  return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -3,
          QString::fromUtf8(p.readAllStandardOutput()).trimmed()};
}

// playerctl on the player named quillet; what it printed.
std::string Ctl(const QStringList& args) {
  const Ran r = Exec(QStringLiteral("playerctl"), QStringList{"-p", "quillet"} + args);
  EXPECT_EQ(r.code, 0) << args.join(u' ').toStdString() << ": " << r.out.toStdString();
  return r.out.toStdString();
}

// A method call straight over the bus, past playerctl's own checks: "Player.Play", "Raise".
void Call(const QString& member) {
  const Ran r = Exec(QStringLiteral("dbus-send"), {"--session", "--print-reply", kDest, kPath,
                                                   "org.mpris.MediaPlayer2." + member});
  EXPECT_EQ(r.code, 0) << member.toStdString() << ": " << r.out.toStdString();
}

class Mpris : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(QStandardPaths::findExecutable(QStringLiteral("playerctl")).isEmpty())
        << "playerctl is not installed (scripts/setup.sh installs it)";
    QUILLET_SKIP_WITHOUT_LAME();
    AppFixture::Options o;
    o.runTimer = true;
    app = std::make_unique<AppFixture>(o);
    for (const char* name : {"a.mp3", "b.mp3", "c.mp3"}) {
      const std::string path = app->workDir() + "/" + name;
      // The ID3v1 title, which the desktop now sees, is the file name, as the row shows.
      MakeMp3(
          path,
          Mp3Spec{.seconds = 8.0, .id3v1 = true, .title = name, .artist = "Ann", .album = "Blue"});
      w().List->AddTrackRow(path);
    }
    mpris = MainMpris::Start(app->session(), *w().Tray);
    ASSERT_NE(mpris, nullptr);
    ASSERT_EQ(mpris->BusName(), QStringLiteral("org.mpris.MediaPlayer2.quillet"));
  }
  void TearDown() override {
    mpris.reset();
    app.reset();
  }

  TfrmMain& w() { return app->main(); }
  const PlayerSnapshot& s() { return app->session().Snapshot(); }
  void Select(int row) {
    w().ListViewLst->selectionModel()->setCurrentIndex(
        w().ListModel->index(row, 0),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  }
  // Lets the refresh timer tick `n` times.
  static void Ticks(int n) { QTest::qWait(n * TfrmMain::kShowTimerInterval + 50); }
  // Waits for the condition, then for two more ticks to be seen.
  static bool Settle(const std::function<bool()>& done) {
    const bool ok = QTest::qWaitFor(done, 5000);
    Ticks(2);
    return ok;
  }
  std::string Playing() {
    const std::optional<PlayingTrack>& t = s().track;
    return t ? FileNamePart(t->path) : std::string();
  }

  std::unique_ptr<AppFixture> app;
  std::unique_ptr<MainMpris> mpris;
};

// Status and play-pause; commands the window would refuse do nothing; Raise shows the window.
TEST_F(Mpris, StatusPlayPauseAndRefusals) {
  EXPECT_EQ(Ctl({"status"}), "Stopped");
  Select(0);
  ASSERT_TRUE(Settle([&] { return w().btnPlay->isEnabled(); }));
  Ctl({"play-pause"});
  ASSERT_TRUE(Settle([&] { return s().state == psPlaying; }));
  EXPECT_EQ(Ctl({"status"}), "Playing");
  EXPECT_EQ(Playing(), "a.mp3");

  // The play button is off while a track plays (a click would start the row afresh): Play over
  // the bus leaves the track as it is.
  const std::uint32_t stream = s().stream;
  Call(QStringLiteral("Player.Play"));
  Ticks(2);
  EXPECT_EQ(s().stream, stream);
  EXPECT_EQ(s().state, psPlaying);

  Ctl({"play-pause"});
  ASSERT_TRUE(Settle([&] { return s().state == psPaused; }));
  EXPECT_EQ(Ctl({"status"}), "Paused");
  Ctl({"play-pause"});
  ASSERT_TRUE(Settle([&] { return s().state == psPlaying; }));
  EXPECT_EQ(s().stream, stream);

  EXPECT_FALSE(w().isVisible());
  Call(QStringLiteral("Raise"));
  EXPECT_TRUE(QTest::qWaitFor([&] { return w().isVisible(); }, 5000));
}

// List loop from the bus, metadata, next, an exact seek, the volume and single loop.
TEST_F(Mpris, LoopNextMetadataPositionVolume) {
  Select(0);
  Ticks(2);
  // "Playlist" is the list loop item: with nothing playing, its first tick starts row 0.
  Ctl({"loop", "Playlist"});
  ASSERT_TRUE(Settle([&] { return s().state == psPlaying; }));
  EXPECT_TRUE(w().ItemLoopLst->isChecked());
  EXPECT_EQ(Ctl({"loop"}), "Playlist");
  EXPECT_EQ(Playing(), "a.mp3");

  const std::optional<double> length = s().length;
  ASSERT_TRUE(length.has_value());
  const std::string expected =
      "a.mp3|Ann|Blue|" + std::to_string(std::llround(*length * 1e6)) + "|" +
      QUrl::fromLocalFile(QString::fromStdString(app->workDir() + "/a.mp3"))
          .toEncoded()
          .toStdString();
  EXPECT_EQ(Ctl({"metadata", "--format",
                 "{{title}}|{{artist}}|{{album}}|{{mpris:length}}|{{xesam:url}}"}),
            expected);

  Ctl({"next"});
  ASSERT_TRUE(Settle([&] { return Playing() == "b.mp3" && s().state == psPlaying; }));
  EXPECT_EQ(w().Player.List().FirstSelected(), 1);
  EXPECT_EQ(Ctl({"metadata", "title"}), "b.mp3");

  Ctl({"position", "5"});
  EXPECT_NEAR(std::stod(Ctl({"position"})), 5.0, 0.2);
  EXPECT_EQ(s().state, psPlaying);

  Ctl({"volume", "0.5"});
  EXPECT_TRUE(QTest::qWaitFor([&] { return w().tbSetVolume->Position() == 32768; }, 2000))
      << w().tbSetVolume->Position();
  EXPECT_NEAR(std::stod(Ctl({"volume"})), 0.5, 0.001);

  Ctl({"loop", "Track"});
  EXPECT_TRUE(QTest::qWaitFor([&] { return w().ItemLoopSingle->isChecked(); }, 2000));
  EXPECT_EQ(w().ItemLoopSingle->text(), QString::fromUtf8("单首循环"));
  EXPECT_FALSE(w().ItemLoopLst->isChecked());
  EXPECT_EQ(Ctl({"loop"}), "Track");
}

// The best tag goes to the desktop, ID3v2 with no ID3v1 here, and the cover as a file in the
// cache folder.
TEST_F(Mpris, MetadataFromTheTagAndCover) {
  if (!Mid3v2Available()) GTEST_SKIP() << "mid3v2 (python3-mutagen) is not installed";
  TempDir cache;
  const QByteArray oldCache = qgetenv("XDG_CACHE_HOME");
  qputenv("XDG_CACHE_HOME", QByteArray::fromStdString(cache.path()));
  const std::string path = app->workDir() + "/tagged.mp3";
  MakeMp3(path, Mp3Spec{.seconds = 8.0});
  WritePng(app->workDir() + "/cover.png", 200);
  Mid3v2(path, {"-t", "七里香", "-a", "周杰伦", "-A", "叶惠美", "--TPE2", "Jay Chou", "-T", "3/10",
                "-p", app->workDir() + "/cover.png:front:3:image/png"});
  ASSERT_FALSE(ReadId3Tag(path).found);
  w().List->AddTrackRow(path);
  Select(3);
  ASSERT_TRUE(Settle([&] { return w().btnPlay->isEnabled(); }));
  Ctl({"play"});
  ASSERT_TRUE(Settle([&] { return s().state == psPlaying && Playing() == "tagged.mp3"; }));

  EXPECT_EQ(Ctl({"metadata", "--format",
                 "{{title}}|{{artist}}|{{album}}|{{xesam:albumArtist}}|{{xesam:trackNumber}}"}),
            "七里香|周杰伦|叶惠美|Jay Chou|3");
  const QUrl art(QString::fromStdString(Ctl({"metadata", "mpris:artUrl"})));
  ASSERT_TRUE(art.isLocalFile()) << art.toString().toStdString();
  const std::string file = art.toLocalFile().toStdString();
  EXPECT_EQ(file.rfind(cache.path() + "/quillet/", 0), 0u) << file;
  std::string picture, want;
  EXPECT_TRUE(ReadBytes(file, &picture));
  EXPECT_TRUE(ReadBytes(app->workDir() + "/cover.png", &want));
  EXPECT_EQ(picture, want);

  // A file with only an ID3v1 tag has its texts and no picture.
  Ctl({"previous"});
  ASSERT_TRUE(Settle([&] { return Playing() == "c.mp3"; }));
  EXPECT_EQ(Ctl({"metadata", "--format", "{{title}}|{{artist}}|{{mpris:artUrl}}"}), "c.mp3|Ann|");
  if (oldCache.isNull()) {
    qunsetenv("XDG_CACHE_HOME");
  } else {
    qputenv("XDG_CACHE_HOME", oldCache);
  }
}

// The lyric's text and, with exact timing, the line heard now, in the metadata.
TEST_F(Mpris, LyricTextAndCurrentLine) {
  WriteBytes(app->workDir() + "/a.lrc", "[ti:A]\r\n[00:00.00]First\r\n[00:30.00]Later\r\n");
  app->state().options.exactLyrics = true;
  Select(0);
  ASSERT_TRUE(Settle([&] { return w().btnPlay->isEnabled(); }));
  Ctl({"play"});
  ASSERT_TRUE(Settle([&] { return s().state == psPlaying; }));
  EXPECT_EQ(Ctl({"metadata", "--format", "{{xesam:asText}}|{{quillet:currentLine}}"}),
            "First\nLater|First");
}

// What the desktop hears: nothing while a track just plays on, one signal for one pause.
TEST_F(Mpris, OnePauseOnePropertiesChanged) {
  QProcess monitor;
  monitor.start(QStringLiteral("dbus-monitor"),
                {QStringLiteral("--session"),
                 QStringLiteral("type='signal',path='/org/mpris/MediaPlayer2',"
                                "member='PropertiesChanged'"),
                 QStringLiteral("type='signal',interface='io.github.quillet.Test'")});
  ASSERT_TRUE(monitor.waitForStarted(5000));
  QString seen;
  // Sends a mark through the bus and waits until the monitor has printed it: everything sent
  // before it has been printed too.
  auto mark = [&](int n) {
    const QString tag = QStringLiteral("string \"mark%1\"").arg(n);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
          Exec(QStringLiteral("dbus-send"),
               {QStringLiteral("--session"), QStringLiteral("--type=signal"),
                QStringLiteral("/io/github/quillet/Test"),
                QStringLiteral("io.github.quillet.Test.Mark"),
                QStringLiteral("string:mark%1").arg(n)});
          seen += QString::fromUtf8(monitor.readAllStandardOutput());
          return seen.contains(tag);
        },
        10000));
    return seen.indexOf(tag);
  };
  auto between = [&](int from, int to) { return seen.mid(from, to - from); };

  Select(0);
  ASSERT_TRUE(Settle([&] { return w().btnPlay->isEnabled(); }));
  Ctl({"play"});
  ASSERT_TRUE(Settle([&] { return s().state == psPlaying; }));
  const int m1 = mark(1);
  QTest::qWait(1000);
  const int m2 = mark(2);
  EXPECT_EQ(between(m1, m2).count(QStringLiteral("member=PropertiesChanged")), 0)
      << between(m1, m2).toStdString();

  Ctl({"pause"});
  ASSERT_TRUE(Settle([&] { return s().state == psPaused; }));
  QTest::qWait(500);
  const QString pause = between(m2, mark(3));
  EXPECT_EQ(pause.count(QStringLiteral("member=PropertiesChanged")), 1) << pause.toStdString();
  EXPECT_TRUE(pause.contains(QStringLiteral("\"PlaybackStatus\"")));
  EXPECT_TRUE(pause.contains(QStringLiteral("\"Paused\"")));
  EXPECT_FALSE(pause.contains(QStringLiteral("\"Metadata\"")));
  monitor.kill();
  monitor.waitForFinished();
}

// The program registers itself at start; a second start hands over to it and leaves the one
// player on the bus; Quit is the exit command.
TEST(MprisProgram, RegistersAtStartAndQuits) {
  ASSERT_FALSE(QStandardPaths::findExecutable(QStringLiteral("playerctl")).isEmpty());
  TempDir dir;
  const QString program = QStringLiteral(QUILLET_BINARY_DIR "/src/quillet");
  auto players = [] {
    return Exec(QStringLiteral("playerctl"), {QStringLiteral("-l")})
        .out.count(QStringLiteral("quillet"));
  };
  QProcess first, second;
  for (QProcess* p : {&first, &second}) {
    p->setWorkingDirectory(QString::fromStdString(dir.path()));
    p->setProcessChannelMode(QProcess::ForwardedChannels);
  }
  first.start(program, {});
  ASSERT_TRUE(first.waitForStarted(5000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return players() == 1; }, 15000));
  second.start(program, {});
  ASSERT_TRUE(second.waitForFinished(15000));
  EXPECT_EQ(second.exitCode(), 0);
  EXPECT_EQ(players(), 1);
  EXPECT_EQ(Ctl({"status"}), "Stopped");

  Exec(QStringLiteral("dbus-send"),
       {QStringLiteral("--session"), QStringLiteral("--type=method_call"), kDest, kPath,
        QStringLiteral("org.mpris.MediaPlayer2.Quit")});
  EXPECT_TRUE(first.waitForFinished(15000));
  EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(first.exitCode(), 0);
}

}  // namespace
}  // namespace quillet::testing
