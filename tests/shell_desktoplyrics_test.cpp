// The desktop lyric bar on the scripted engine, offscreen: it shows what the strip shows (the
// line, the next line or the translation, the word fill), says it to screen readers as the strip
// does, shows a title and fades between tracks, repaints only on a change, locks against input,
// and keeps its state and place in the options file across a restart.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QMouseEvent>
#include <QSpinBox>
#include <QTest>
#include <cstdlib>
#include <memory>
#include <optional>
#include <vector>

#include "shell/DesktopLyricBar.h"
#include "shell/MainDesktopLyrics.h"
#include "shell/TfrmOptions.h"
#include "support/PlayRig.h"

namespace quillet::testing {
namespace {

class DesktopLyricsTest : public ::testing::Test {
 protected:
  DesktopLyricsTest() {
    if (const char* old = std::getenv("XDG_CONFIG_HOME")) oldHome_ = old;
    ::setenv("XDG_CONFIG_HOME", config.File("cfg").c_str(), 1);
    rig = std::make_unique<PlayRig>();
  }
  ~DesktopLyricsTest() override {
    rig.reset();
    if (oldHome_) {
      ::setenv("XDG_CONFIG_HOME", oldHome_->c_str(), 1);
    } else {
      ::unsetenv("XDG_CONFIG_HOME");
    }
  }
  TfrmMain& w() { return rig->main(); }
  DesktopLyricBar* Bar() { return w().DesktopLyrics->Bar(); }
  audio::Handle Play(const std::string& name, const std::string& lyric) {
    if (!lyric.empty()) WriteBytes(rig->File(name + ".lrc"), lyric);
    rig->AddTrack(rig->File(name + ".mp3"), 60);
    rig->session().PlayRow(rig->session().List().Count() - 1);
    return rig->Current();
  }
  void At(audio::Handle h, double seconds) {
    rig->engine().At(h, seconds);
    rig->Tick();
  }
  static Options Saved() {
    Options o;
    EXPECT_TRUE(LoadOptions(&o).ok);
    return o;
  }

  TempDir config;
  std::optional<std::string> oldHome_;
  std::unique_ptr<PlayRig> rig;
};

TEST_F(DesktopLyricsTest, TheBarShowsWhatTheStripShowsAndSaysItToScreenReaders) {
  rig->state().options.exactLyrics = true;
  EXPECT_EQ(Bar(), nullptr) << "made only when turned on";
  w().ItemDesktopLyrics->trigger();
  ASSERT_NE(Bar(), nullptr);
  EXPECT_TRUE(Bar()->isVisible());
  EXPECT_TRUE(w().ItemDesktopLyrics->isChecked());
  EXPECT_EQ(Bar()->objectName(), "DesktopLyricBar");
  EXPECT_TRUE(Bar()->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_TRUE(Bar()->windowFlags() & Qt::FramelessWindowHint);
  EXPECT_TRUE(Saved().desktopLyrics);

  const audio::Handle h = Play("song",
                               "[00:01.00]<00:01.00>Alpha <00:02.00>beta<00:03.00>\n"
                               "[00:01.00]阿尔法\n[00:04.00]Gamma\n[00:04.00]伽马\n");
  struct Step {
    double at;
    bool translation;
    const char *line, *sub;
    double fillFrom, fillTo;
  };
  const Step steps[] = {
      {1.5, false, "Alpha beta", "Gamma", 0.05, 0.5},  // within the first word
      {2.5, false, "Alpha beta", "Gamma", 0.5, 0.99},  // within the second
      {3.5, false, "Alpha beta", "Gamma", 1.0, 1.0},   // sung
      {1.5, true, "Alpha beta", "阿尔法", 0.05, 0.5},  // the translation instead of the next line
      {4.5, true, "Gamma", "伽马", 0.0, 0.0},          // no word times: no fill
      {4.5, false, "Gamma", "", 0.0, 0.0},             // the last line: nothing to come
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.at);
    if (rig->state().options.showTranslation != step.translation) {
      rig->state().options.showTranslation = step.translation;
      rig->session().OptionsChanged();
    }
    rig->session().SeekTo(step.at);
    At(h, step.at);
    EXPECT_EQ(Bar()->LineText().toStdString(), step.line);
    EXPECT_EQ(Bar()->SubText().toStdString(), step.sub);
    EXPECT_GE(Bar()->FillFraction(), step.fillFrom);
    EXPECT_LE(Bar()->FillFraction(), step.fillTo);
    EXPECT_EQ(Bar()->Animating(), step.fillTo > 0 && step.fillFrom < 1);
    // The same line through the accessibility interfaces of both (the announcements are heard
    // on the accessibility bus: lyricbar_x11_test).
    QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(Bar());
    QAccessibleInterface* strip = QAccessible::queryAccessibleInterface(w().PanelLyric);
    ASSERT_NE(bar, nullptr);
    ASSERT_NE(strip, nullptr);
    EXPECT_EQ(bar->text(QAccessible::Name).toStdString(), step.line);
    EXPECT_EQ(strip->text(QAccessible::Name).toStdString().rfind(step.line, 0), 0u);
    EXPECT_EQ(bar->text(QAccessible::Description).toStdString(), step.sub);
  }
  // A word fill ends by itself once the line is sung.
  At(h, 2.9);
  EXPECT_TRUE(QTest::qWaitFor([this] { return !Bar()->Animating(); }, 3000));
  EXPECT_DOUBLE_EQ(Bar()->FillFraction(), 1.0);
  w().ItemDesktopLyrics->trigger();
  EXPECT_FALSE(Bar()->isVisible());
  EXPECT_FALSE(Saved().desktopLyrics);
}

TEST_F(DesktopLyricsTest, ItRepaintsOnlyWhenTheTextChanges) {
  w().ItemDesktopLyrics->trigger();
  ASSERT_NE(Bar(), nullptr);
  const audio::Handle h = Play("song", "[00:01]Alpha\n[00:30]Beta\n");
  At(h, 1.2);
  ASSERT_EQ(Bar()->LineText(), "Alpha");
  QTest::qWait(50);
  const int paints = Bar()->Paints();
  for (int i = 0; i < 20; ++i) {
    At(h, 3 + i * 0.15);
    QCoreApplication::processEvents();
  }
  EXPECT_EQ(Bar()->Paints(), paints);
  EXPECT_FALSE(Bar()->Animating());
  At(h, 30.2);
  EXPECT_EQ(Bar()->LineText(), "Beta");
  EXPECT_TRUE(QTest::qWaitFor([&] { return Bar()->Paints() > paints; }, 2000));
}

TEST_F(DesktopLyricsTest, WithoutALyricAndBetweenTracksTheTitleShowsThenFades) {
  w().ItemDesktopLyrics->trigger();
  ASSERT_NE(Bar(), nullptr);
  const int fadeWithin = DesktopLyricBar::kTitleHoldMs + DesktopLyricBar::kFadeMs + 3000;
  const audio::Handle plain = Play("plain", "");
  EXPECT_EQ(Bar()->LineText(), "plain.mp3");
  EXPECT_EQ(Bar()->Opacity(), 1.0);
  EXPECT_TRUE(QTest::qWaitFor([this] { return Bar()->Opacity() == 0; }, fadeWithin));
  EXPECT_TRUE(Bar()->LineText().isEmpty());
  EXPECT_TRUE(Bar()->accessibleName().isEmpty());
  EXPECT_FALSE(Bar()->Animating());
  // Further ticks of the same track do not bring it back.
  At(plain, 5);
  EXPECT_TRUE(Bar()->LineText().isEmpty());

  // A track with a lyric that ends: its title, then nothing.
  const audio::Handle sung = Play("sung", "[00:01]Alpha\n");
  At(sung, 1.2);
  EXPECT_EQ(Bar()->LineText(), "Alpha");
  rig->engine().End(sung);
  rig->Tick();
  EXPECT_EQ(Bar()->LineText(), "sung.mp3");
  EXPECT_TRUE(QTest::qWaitFor([this] { return Bar()->Opacity() == 0; }, fadeWithin));
}

void Mouse(QWidget* target, QEvent::Type type, const QPoint& local, Qt::MouseButtons buttons) {
  QMouseEvent e(type, local, target->mapToGlobal(local), Qt::LeftButton, buttons, Qt::NoModifier);
  QCoreApplication::sendEvent(target, &e);
}

TEST_F(DesktopLyricsTest, LockingPassesInputThroughAndStateAndPlaceSurviveARestart) {
  w().ItemDesktopLyrics->trigger();
  DesktopLyricBar* bar = Bar();
  ASSERT_NE(bar, nullptr);
  bar->setGeometry(100, 500, 600, 90);
  // Dragged by its middle it moves; by its right edge it grows.
  const QPoint middle(300, 45);
  Mouse(bar, QEvent::MouseButtonPress, middle, Qt::LeftButton);
  Mouse(bar, QEvent::MouseMove, middle + QPoint(40, -30), Qt::LeftButton);
  Mouse(bar, QEvent::MouseButtonRelease, middle + QPoint(40, -30), Qt::NoButton);
  EXPECT_EQ(bar->geometry(), QRect(140, 470, 600, 90));
  const QPoint edge(597, 45);
  Mouse(bar, QEvent::MouseButtonPress, edge, Qt::LeftButton);
  Mouse(bar, QEvent::MouseMove, edge + QPoint(60, 0), Qt::LeftButton);
  Mouse(bar, QEvent::MouseButtonRelease, edge + QPoint(60, 0), Qt::NoButton);
  EXPECT_EQ(bar->geometry(), QRect(140, 470, 660, 90));
  ASSERT_TRUE(QTest::qWaitFor([] { return Saved().desktopBarPlaced; }, 3000));
  Options saved = Saved();
  EXPECT_EQ(
      QRect(saved.desktopBarX, saved.desktopBarY, saved.desktopBarWidth, saved.desktopBarHeight),
      QRect(140, 470, 660, 90));

  w().ItemLockDesktopLyrics->trigger();
  EXPECT_TRUE(w().ItemLockDesktopLyrics->isChecked());
  EXPECT_TRUE(bar->Locked());
  EXPECT_TRUE(bar->windowFlags() & Qt::WindowTransparentForInput);
  EXPECT_TRUE(bar->isVisible()) << "locking keeps it on screen";
  EXPECT_EQ(bar->geometry(), QRect(140, 470, 660, 90));
  EXPECT_TRUE(Saved().desktopLyricsLocked);
  // Locked, a drag does nothing.
  Mouse(bar, QEvent::MouseButtonPress, middle, Qt::LeftButton);
  Mouse(bar, QEvent::MouseMove, middle + QPoint(40, 40), Qt::LeftButton);
  Mouse(bar, QEvent::MouseButtonRelease, middle + QPoint(40, 40), Qt::NoButton);
  EXPECT_EQ(bar->pos(), QPoint(140, 470));

  // The Options window's OK keeps what the menu and the bar changed while it was open.
  TfrmOptions* options = w().Windows.options;
  options->ShowModal(Options{});
  options->SEDesktopFontSize->setValue(40);
  options->btnOptionsOkClick();
  saved = Saved();
  EXPECT_TRUE(saved.desktopLyrics && saved.desktopLyricsLocked && saved.desktopBarPlaced);
  EXPECT_EQ(saved.desktopFontSize, 40);

  // A new start: shown, locked and where it was.
  rig.reset();
  rig = std::make_unique<PlayRig>();
  ASSERT_NE(Bar(), nullptr);
  EXPECT_TRUE(Bar()->isVisible());
  EXPECT_TRUE(Bar()->Locked());
  EXPECT_TRUE(w().ItemDesktopLyrics->isChecked());
  EXPECT_TRUE(w().ItemLockDesktopLyrics->isChecked());
  EXPECT_EQ(Bar()->geometry(), QRect(140, 470, 660, 90));
  // Unlocked from the menu only; input reaches it again.
  w().ItemLockDesktopLyrics->trigger();
  EXPECT_FALSE(Bar()->windowFlags() & Qt::WindowTransparentForInput);
  EXPECT_FALSE(Saved().desktopLyricsLocked);
}

}  // namespace
}  // namespace quillet::testing
