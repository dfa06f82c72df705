// The whole road of a lyric on the real engine (SDL's dummy driver): import a text, play a
// generated track, stamp three lines as it plays, save beside the track, start the track again
// and watch the lyric strip show each line at its second.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <map>
#include <string>

#include "player/TimeTexts.h"
#include "support/AppFixture.h"
#include "support/fixtures/AudioFixtures.h"

namespace quillet {
namespace {

using testing::AppFixture;

class LyricRoundTripTest : public ::testing::Test {
 protected:
  TfrmMain& main() { return app.main(); }
  TfrmLyric& ed() { return app.lyric(); }
  double Position() {
    return StreamPositionInfo(app.engine(), app.session().Snapshot().stream).seconds;
  }
  // Plays on until the position has reached `seconds`; false when it never does.
  bool PlayUntil(double seconds) {
    return QTest::qWaitFor([&] { return Position() >= seconds; }, 20000);
  }
  void Choose(const std::string& path) {
    Dialogs::FileResult r;
    r.accepted = true;
    r.files << QString::fromStdString(path);
    app.dialogs().fileResults.push_back(r);
  }
  void StampLine(int line) {
    ed().MOLyric->setTextCursor(QTextCursor(ed().MOLyric->document()->findBlockByNumber(line)));
    ed().btnInsertTag->click();
  }
  std::string Line(int line) {
    return ed().MOLyric->document()->findBlockByNumber(line).text().toStdString();
  }

  testing::TempDir dir;
  AppFixture app;
};

TEST_F(LyricRoundTripTest, StampedLinesShowInTheStripAtTheirSeconds) {
  const std::string track = dir.File("song.wav");
  testing::WriteSineWave(track, 6.0);
  const std::string text = dir.File("words.txt");
  testing::WriteBytes(text, "first\nsecond\nthird\n");

  main().show();
  main().List->AddTrackRow(track);
  main().ListViewLst->selectionModel()->setCurrentIndex(
      main().ListModel->index(0, 0),
      QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  main().Files->btnEditLyricClick();
  Choose(text);
  ed().ItemLoadClick();
  ASSERT_EQ(Line(4), "first");

  main().Transport->btnPlayClick();
  ASSERT_NE(app.session().Snapshot().stream, 0u);
  ASSERT_EQ(app.session().Snapshot().state, psPlaying);
  const char* words[] = {"first", "second", "third"};
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(PlayUntil(i + 1.05)) << "position stuck at " << Position();
    StampLine(4 + i);
    EXPECT_EQ(app.session().Snapshot().state, psPaused);
    // Paused: only what the device still holds is heard before the position stands still.
    const double held = Position();
    QTest::qWait(400);
    EXPECT_LT(Position() - held, 0.2);
    ed().frmLyricTimerTimer();
    ASSERT_TRUE(ed().btnTagPlay->isEnabled());
    ed().btnTagPlay->click();
    EXPECT_EQ(app.session().Snapshot().state, psPlaying);
    EXPECT_EQ(Line(4 + i), std::string("[00:0") + char('1' + i) + "]" + words[i]);
  }

  // Saved beside the track, where the lookup finds it with no lyric folder set.
  Choose(dir.File("song.lrc"));
  ed().ItemSaveClick();
  std::string saved;
  ASSERT_TRUE(testing::ReadBytes(dir.File("song.lrc"), &saved));
  EXPECT_EQ(saved,
            "[TI:]\r\n[AR:]\r\n[AL:]\r\n[BY:]\r\n[00:01]first\r\n[00:02]second\r\n"
            "[00:03]third\r\n");

  // Started afresh, the track reads the new file.
  main().Transport->btnPlayClick();
  ASSERT_EQ(app.session().Snapshot().state, psPlaying);
  EXPECT_EQ(main().Player.Lyric().size(), 7u);
  const QString header = QString::fromUtf8("标题：    歌手名：    专辑：    By：    ");
  EXPECT_EQ(main().PanelLyric->text(), header);

  // What the strip shows at each second, from ticks whose whole second is certain.
  std::map<std::string, QString> seen;
  while (Position() < 4.2) {
    const std::string before = TimeText(Position());
    main().Transport->ShowTimerTimer();
    const std::string after = TimeText(Position());
    if (before == after) seen[before] = main().PanelLyric->text();
    QTest::qWait(40);
    ASSERT_NE(app.session().Snapshot().state, psStopped);
  }
  EXPECT_EQ(seen["00:00"], header);
  EXPECT_EQ(seen["00:01"], QStringLiteral("first"));
  EXPECT_EQ(seen["00:02"], QStringLiteral("second"));
  EXPECT_EQ(seen["00:03"], QStringLiteral("third"));
  EXPECT_EQ(seen["00:04"], QStringLiteral("third"));
  EXPECT_TRUE(app.dialogs().messages.empty());
}

}  // namespace
}  // namespace quillet
