// The Options window: the controls show the options it is given, 显示翻译 follows 精确歌词, OK
// saves and hands over exactly what the controls say (and keeps the options it has no control
// for), Cancel keeps nothing, and a failed save says so and keeps the window open.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <cstdlib>
#include <optional>

#include "common/Options.h"
#include "shell/TfrmOptions.h"
#include "support/ScriptedDialogs.h"
#include "support/fixtures/FileFixtures.h"

namespace quillet::testing {
namespace {

class OptionsWindowTest : public ::testing::Test {
 protected:
  OptionsWindowTest() {
    if (const char* old = std::getenv("XDG_CONFIG_HOME")) oldHome_ = old;
    ::setenv("XDG_CONFIG_HOME", tmp.File("cfg").c_str(), 1);
    state.VersionText = "Quillet test";
    w.Accepted = [this](const Options& o) { accepted = o; };
  }
  ~OptionsWindowTest() override {
    if (oldHome_) {
      ::setenv("XDG_CONFIG_HOME", oldHome_->c_str(), 1);
    } else {
      ::unsetenv("XDG_CONFIG_HOME");
    }
  }

  template <typename T>
  T* Control(const char* name) {
    T* c = w.findChild<T*>(QLatin1String(name));
    EXPECT_NE(c, nullptr) << name;
    return c;
  }

  TempDir tmp;
  std::optional<std::string> oldHome_;
  PlayerShared state;
  ScriptedDialogs dialogs;
  QWidget main;
  TfrmOptions w{state, dialogs, &main};
  std::optional<Options> accepted;
};

TEST_F(OptionsWindowTest, ControlsMapToTheOptionsAndOkSavesThem) {
  EXPECT_EQ(w.objectName(), "frmOptions");
  EXPECT_EQ(w.windowTitle().toStdString(), "选项");
  Options given;
  given.showTranslation = true;  // kept while exact timing is off
  given.lyricDelayMs = 150;
  given.tagEncoding = TagEncoding::Big5;
  given.desktopLyrics = true;  // no control here: kept as the program has it when OK is pressed
  state.options.desktopLyrics = true;
  given.desktopTextColour = "#ffffff";
  w.ShowModal(given);
  ASSERT_TRUE(w.isVisible());

  auto* exact = Control<QCheckBox>("CBExactLyrics");
  auto* translation = Control<QCheckBox>("CBShowTranslation");
  auto* delay = Control<QSpinBox>("SELyricDelay");
  auto* encoding = Control<QComboBox>("CMBTagEncoding");
  EXPECT_FALSE(exact->isChecked());
  EXPECT_TRUE(translation->isChecked());
  EXPECT_FALSE(translation->isEnabled()) << "显示翻译 only with 精确歌词";
  EXPECT_EQ(delay->value(), 150);
  EXPECT_EQ(delay->minimum(), -2000);
  EXPECT_EQ(delay->maximum(), 2000);
  EXPECT_EQ(encoding->currentText().toStdString(), "Big5");
  ASSERT_EQ(encoding->count(), 4);
  EXPECT_EQ(encoding->itemText(0).toStdString(), "自动");

  QTest::mouseClick(exact, Qt::LeftButton, {}, QPoint(4, exact->height() / 2));
  EXPECT_TRUE(exact->isChecked());
  EXPECT_TRUE(translation->isEnabled());
  delay->setValue(-90);
  encoding->setCurrentIndex(3);
  Control<QCheckBox>("CBFullTags")->setChecked(true);
  Control<QCheckBox>("CBEmbeddedLyrics")->setChecked(true);
  Control<QCheckBox>("CBAddFolders")->setChecked(true);

  Options want = given;
  want.exactLyrics = true;
  want.lyricDelayMs = -90;
  want.tagEncoding = TagEncoding::Latin1;
  want.fullTags = want.embeddedLyrics = want.addFoldersOnDrop = true;
  EXPECT_EQ(w.Chosen(), want);
  w.btnOptionsOk->click();
  ASSERT_TRUE(accepted.has_value());
  EXPECT_EQ(*accepted, want);
  EXPECT_FALSE(w.isVisible());
  Options saved;
  ASSERT_TRUE(LoadOptions(&saved).ok);
  EXPECT_EQ(saved, want);
  EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(OptionsWindowTest, CancelKeepsNothingAndAFailedSaveSaysSo) {
  w.ShowModal(Options{});
  Control<QCheckBox>("CBExactLyrics")->setChecked(true);
  w.btnOptionsCancel->click();
  EXPECT_FALSE(w.isVisible());
  EXPECT_FALSE(accepted.has_value());
  EXPECT_FALSE(PathExists(OptionsFilePath()));

  // Shown again, the window shows what it is given, not what was left in it.
  w.ShowModal(Options{});
  EXPECT_FALSE(Control<QCheckBox>("CBExactLyrics")->isChecked());

  WriteBytes(tmp.File("file"), "x");
  ::setenv("XDG_CONFIG_HOME", tmp.File("file").c_str(), 1);  // no folder can be made there
  Control<QCheckBox>("CBFullTags")->setChecked(true);
  w.btnOptionsOk->click();
  EXPECT_FALSE(accepted.has_value());
  EXPECT_TRUE(w.isVisible()) << "nothing was kept: the window stays for another try or Cancel";
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].icon, Dialogs::Icon::Error);
  EXPECT_EQ(dialogs.messages[0].title.toStdString(), "Quillet test");
  w.btnOptionsCancel->click();
}

}  // namespace
}  // namespace quillet::testing
