// Exact lyric timing through the main window on the scripted engine: the single-shot timer puts
// each line up at its stamp, translations follow the line, and the correction keys move the
// lyric and write its [offset:].
#include <gtest/gtest.h>

#include <QShortcut>
#include <QTimer>

#include "lyrics/LyricOffset.h"
#include "playlist/Settings.h"
#include "support/PlayRig.h"

namespace quillet::testing {
namespace {

class ExactLyricTest : public ::testing::Test {
 protected:
  PlayRig rig;
  TfrmMain& w = rig.main();
  ScriptedEngine& eng = rig.engine();
  const PlayerSnapshot& s = rig.session().Snapshot();
  QTimer* timer = w.findChild<QTimer*>(QStringLiteral("LyricTimer"));

  audio::Handle PlayWith(const std::string& lyric, bool translation = false) {
    rig.state().options.exactLyrics = true;
    rig.state().options.showTranslation = translation;
    WriteBytes(rig.File("song.lrc"), lyric);
    rig.AddTrack(rig.File("song.mp3"), 60);
    rig.Select({0}, 0);
    w.Transport->btnPlayClick();
    return rig.Current();
  }
  // The lyric timer runs out with the engine at `seconds`.
  void Fire(audio::Handle h, double seconds) {
    eng.At(h, seconds);
    w.Transport->LyricTimerTimer();
  }
};

// For each stamp: a tick shortly before it aims the timer at the stamp itself, and when the
// timer runs out at that moment the line is up (not at the next tick).
TEST_F(ExactLyricTest, EachLineIsUpWhenTheTimerAimedAtItsStampRunsOut) {
  ASSERT_NE(timer, nullptr);
  const audio::Handle h = PlayWith(
      "[ti:Song]\r\n[00:05.50]Alpha\r\n[00:09.00]Beta\r\n[00:09.80]Gamma\r\n"
      "[00:15.00]\r\n[00:20.00]Delta\r\n");
  EXPECT_EQ(rig.Panel(), "标题：Song    ");
  const std::tuple<double, const char*, const char*> stamps[] = {{5.5, "标题：Song    ", "Alpha"},
                                                                 {9.0, "Alpha", "Beta"},
                                                                 {9.8, "Beta", "Gamma"},
                                                                 {15.0, "Gamma", ""},
                                                                 {20.0, "", "Delta"}};
  for (const auto& [at, before, after] : stamps) {
    eng.At(h, at - 0.13);
    rig.Tick();
    EXPECT_EQ(rig.Panel(), before) << at;
    ASSERT_TRUE(timer->isActive()) << at;
    EXPECT_NEAR(timer->interval(), 130, 1) << at;
    // Heard within 20 ms: the timer is early by a few ms, then aims at what is left.
    Fire(h, at - 0.005);
    EXPECT_EQ(rig.Panel(), before) << at;
    EXPECT_LE(timer->interval(), 6) << at;
    Fire(h, at);
    EXPECT_EQ(rig.Panel(), after) << at;
  }
  // After the last line nothing is due; a pause stops the timer too.
  EXPECT_FALSE(timer->isActive());
  // A seek shows the line of the new place at once.
  rig.session().SeekTo(9.5);
  EXPECT_EQ(rig.Panel(), "Beta");
  EXPECT_TRUE(timer->isActive());
  w.Transport->btnPauseClick();
  EXPECT_FALSE(timer->isActive());
}

TEST_F(ExactLyricTest, TranslationFollowsTheLineInALighterColourOnlyWhenAsked) {
  const std::string lyric =
      "[00:01.00]原文一\n[00:01.00]Line one\n[00:03.00]原文二\n[00:03.00]Line two\n"
      "[00:05.00]独唱\n";
  const audio::Handle h = PlayWith(lyric, true);
  eng.At(h, 1.2);
  rig.Tick();
  EXPECT_EQ(s.lyricLine, "原文一");
  EXPECT_EQ(s.lyricTranslation, "Line one");
  EXPECT_EQ(w.PanelLyric->textFormat(), Qt::RichText);
  EXPECT_NE(rig.Panel().find("原文一"), std::string::npos);
  EXPECT_NE(rig.Panel().find("Line one"), std::string::npos);
  EXPECT_NE(rig.Panel().find("color:"), std::string::npos);
  // A line without a translation is plain text again.
  Fire(h, 5.0);
  EXPECT_EQ(w.PanelLyric->textFormat(), Qt::PlainText);
  EXPECT_EQ(rig.Panel(), "独唱");

  // Switched off, the translation goes at once.
  rig.session().SeekTo(3.1);
  ASSERT_EQ(s.lyricTranslation, "Line two");
  rig.state().options.showTranslation = false;
  rig.session().OptionsChanged();
  EXPECT_EQ(w.PanelLyric->textFormat(), Qt::PlainText);
  EXPECT_EQ(rig.Panel(), "原文二");
}

TEST_F(ExactLyricTest, CorrectionKeysWriteOnlyTheOffsetAndMoveTheLines) {
  const std::string lyric = "[ti:Song]\r\n[ar:Someone]\r\n[00:09.00]Beta\r\n[00:12.00]Delta\r\n";
  const audio::Handle h = PlayWith(lyric);
  auto* earlier = w.findChild<QShortcut*>(QStringLiteral("LyricEarlierKey"));
  auto* later = w.findChild<QShortcut*>(QStringLiteral("LyricLaterKey"));
  ASSERT_NE(earlier, nullptr);
  ASSERT_NE(later, nullptr);
  EXPECT_EQ(earlier->key(), QKeySequence(Qt::Key_BracketLeft));
  EXPECT_EQ(later->key(), QKeySequence(Qt::Key_BracketRight));

  eng.At(h, 8.75);
  rig.Tick();
  const std::string header = rig.Panel();
  ASSERT_NE(header.find("Someone"), std::string::npos);
  for (int i = 0; i < 3; ++i) emit earlier->activated();
  EXPECT_EQ(rig.Panel(), "歌词提前 0.3 秒");
  std::string bytes;
  ASSERT_TRUE(ReadWholeFile(rig.File("song.lrc"), &bytes).ok);
  EXPECT_EQ(bytes, SetLyricOffsetBytes(lyric, 300));
  EXPECT_EQ(bytes,
            "[ti:Song]\r\n[ar:Someone]\r\n[offset:300]\r\n[00:09.00]Beta\r\n"
            "[00:12.00]Delta\r\n");
  emit later->activated();
  EXPECT_EQ(rig.Panel(), "歌词提前 0.2 秒");
  ASSERT_TRUE(ReadWholeFile(rig.File("song.lrc"), &bytes).ok);
  EXPECT_EQ(bytes, SetLyricOffsetBytes(lyric, 200));
  // The notice stays a moment; then the lines come 0.2 s early: Beta is due at 8.8 s.
  rig.Tick(10);
  EXPECT_EQ(rig.Panel(), header);
  Fire(h, 8.8);
  EXPECT_EQ(rig.Panel(), "Beta");
  EXPECT_TRUE(rig.dialogs.messages.empty());
}

TEST_F(ExactLyricTest, CorrectionKeysDoNothingWithoutExactTiming) {
  const std::string lyric = "[00:09.00]Beta\n";
  const audio::Handle h = PlayWith(lyric);
  rig.state().options.exactLyrics = false;
  rig.session().OptionsChanged();
  eng.At(h, 9.2);
  rig.Tick();
  emit w.findChild<QShortcut*>(QStringLiteral("LyricEarlierKey"))->activated();
  EXPECT_EQ(rig.Panel(), "Beta");
  std::string bytes;
  ASSERT_TRUE(ReadWholeFile(rig.File("song.lrc"), &bytes).ok);
  EXPECT_EQ(bytes, lyric);
}

}  // namespace
}  // namespace quillet::testing
