// The settings dialog: loading from cfrMsg each time it is shown, browsing, submitting and
// closing, and the new lyric directory taking effect at the next track start.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QTimer>

#include "support/PlayRig.h"

namespace quillet::testing {
namespace {

// A settings record made by hand: length byte, 120 text bytes, two flag bytes.
std::string ConfigBytes(const std::string& path, char mp3, char wave) {
  std::string rec(123, '\0');
  rec[0] = static_cast<char>(std::min<std::size_t>(path.size(), 120));
  rec.replace(1, std::min<std::size_t>(path.size(), 120), path.substr(0, 120));
  rec[121] = mp3;
  rec[122] = wave;
  return rec;
}

class ConfigTest : public ::testing::Test {
 protected:
  PlayRig rig;
  TfrmMain& w = rig.main();
  TfrmConfig& c = rig.config();

  std::string Settings() {
    std::string bytes;
    EXPECT_TRUE(ReadBytes(rig.File("cfrMsg"), &bytes));
    return bytes;
  }
  void Open() {
    w.Files->btnConfigureClick();
    ASSERT_TRUE(c.isVisible());
  }
};

TEST_F(ConfigTest, ShowingLoadsTheFileEachTimeAsStored) {
  Open();  // no file: empty fields, no message
  EXPECT_TRUE(c.EditLyricPath->text().isEmpty());
  EXPECT_FALSE(c.CBMp3->isChecked() || c.CBWave->isChecked());
  EXPECT_FALSE(c.CBMp3->isEnabled() || c.CBWave->isEnabled());
  c.btnPathCloseClick();
  EXPECT_FALSE(c.isVisible());

  WriteBytes(rig.File("cfrMsg"), ConfigBytes("  /lyrics/  ", 7, 0) + "trailing bytes");
  Open();
  EXPECT_EQ(c.EditLyricPath->text().toStdString(), "  /lyrics/  ");  // untrimmed
  EXPECT_TRUE(c.CBMp3->isChecked());                                 // any value but 0 is ticked
  EXPECT_FALSE(c.CBWave->isChecked());

  // What was typed and not submitted goes at the next showing.
  c.EditLyricPath->setText(QStringLiteral("typed"));
  c.btnPathCloseClick();
  Open();
  EXPECT_EQ(c.EditLyricPath->text().toStdString(), "  /lyrics/  ");
  EXPECT_TRUE(rig.dialogs.messages.empty());
  EXPECT_EQ(Settings().size(), 123u + 14u);  // closing writes nothing
}

TEST_F(ConfigTest, SubmitWritesExactly123BytesConfirmsAndCloses) {
  WriteBytes(rig.File("cfrMsg"), ConfigBytes("/old/", 1, 0) + std::string(77, 'x'));
  Open();
  c.EditLyricPath->setText(QString());
  c.btnPathOkClick();
  const std::string bytes = Settings();
  ASSERT_EQ(bytes.size(), 123u);
  EXPECT_EQ(bytes[0], 0);
  EXPECT_EQ(bytes[121], 1);  // the flags travel back as they were read
  EXPECT_EQ(bytes[122], 0);
  ASSERT_EQ(rig.dialogs.messages.size(), 1u);
  EXPECT_EQ(rig.dialogs.messages[0].text.toStdString(), "“设置信息”提交成功！");
  EXPECT_EQ(rig.dialogs.messages[0].title.toStdString(), "Quillet");
  EXPECT_EQ(rig.dialogs.messages[0].icon, Dialogs::Icon::Information);
  EXPECT_FALSE(c.isVisible());
}

TEST_F(ConfigTest, ALongTextKeepsItsFirst120BytesAndTypedTextIsStoredAsTyped) {
  Open();
  const std::string longText = "/" + std::string(129, 'd');
  c.EditLyricPath->setText(QString::fromStdString(longText));
  c.btnPathOkClick();
  std::string bytes = Settings();
  ASSERT_EQ(bytes.size(), 123u);
  EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 120u);
  EXPECT_EQ(bytes.substr(1, 120), longText.substr(0, 120));

  Open();
  c.EditLyricPath->setText(QStringLiteral(" /no/separator "));
  c.btnPathOkClick();
  bytes = Settings();
  EXPECT_EQ(bytes[0], 15);
  EXPECT_EQ(bytes.substr(1, 15), " /no/separator ");
}

TEST_F(ConfigTest, BrowsingPutsTheFolderWithOneTrailingSeparator) {
  Open();
  c.EditLyricPath->setText(QStringLiteral("before"));
  c.btnLyricPathClick();  // cancelled
  EXPECT_EQ(c.EditLyricPath->text().toStdString(), "before");
  rig.dialogs.folders.push_back(QString::fromStdString(rig.dir()));
  c.btnLyricPathClick();
  EXPECT_EQ(c.EditLyricPath->text().toStdString(), rig.dir() + "/");
  rig.dialogs.folders.push_back(QStringLiteral("/"));
  c.btnLyricPathClick();
  EXPECT_EQ(c.EditLyricPath->text().toStdString(), "/");
}

TEST_F(ConfigTest, AnUnchangedNonUtf8DirectoryIsWrittenBackByteForByte) {
  const std::string gbk = "/\xB8\xE8\xB4\xCA/";  // 歌词 in GBK
  WriteBytes(rig.File("cfrMsg"), ConfigBytes(gbk, 0, 1));
  Open();
  EXPECT_EQ(c.EditLyricPath->text(), QString::fromUtf8("/歌词/"));
  c.btnPathOkClick();
  EXPECT_EQ(Settings(), ConfigBytes(gbk, 0, 1));
}

TEST_F(ConfigTest, AShortFileIsReportedAndShowsEmptyFields) {
  WriteBytes(rig.File("cfrMsg"), ConfigBytes("/shown/", 1, 1));
  Open();
  c.btnPathCloseClick();
  WriteBytes(rig.File("cfrMsg"), std::string(60, 'a'));
  Open();
  ASSERT_EQ(rig.dialogs.messages.size(), 1u);
  EXPECT_EQ(rig.dialogs.messages[0].icon, Dialogs::Icon::Error);
  EXPECT_EQ(rig.dialogs.messages[0].title.toStdString(), "Quillet 06.12.15");
  EXPECT_TRUE(c.EditLyricPath->text().isEmpty());
  EXPECT_FALSE(c.CBMp3->isChecked() || c.CBWave->isChecked());
  // Submitting from there mends the file.
  c.EditLyricPath->setText(QStringLiteral("/new/"));
  c.btnPathOkClick();
  EXPECT_EQ(Settings(), ConfigBytes("/new/", 0, 0));
}

TEST_F(ConfigTest, AFailedWriteIsReportedAndTheDialogStaysOpen) {
  MakeDir(rig.File("cfrMsg"));  // a folder in the file's place
  w.Files->btnConfigureClick();
  EXPECT_TRUE(rig.dialogs.messages.empty());  // a folder is no settings file to read
  c.EditLyricPath->setText(QStringLiteral("/x/"));
  c.btnPathOkClick();
  ASSERT_EQ(rig.dialogs.messages.size(), 1u);
  EXPECT_EQ(rig.dialogs.messages[0].icon, Dialogs::Icon::Error);
  EXPECT_TRUE(c.isVisible());
}

TEST_F(ConfigTest, TheNextTrackStartUsesTheSubmittedDirectory) {
  const std::string lyrics = rig.File("lyrics");
  MakeDir(lyrics);
  WriteBytes(lyrics + "/song.lrc", "[ti:From the folder]\n");
  WriteBytes(rig.File("song.lrc"), "[ti:Beside]\n");
  rig.AddTrack(rig.File("song.mp3"));
  rig.Select({0}, 0);
  w.Transport->btnPlayClick();
  EXPECT_EQ(rig.Panel(), "标题：Beside    ");

  Open();
  c.EditLyricPath->setText(QString::fromStdString(lyrics));  // typed, without a separator
  c.btnPathOkClick();
  EXPECT_TRUE(rig.state().LyricDir.empty());   // the dialog does not set it
  EXPECT_EQ(rig.Panel(), "标题：Beside    ");  // the playing track keeps its lyric
  w.Transport->btnStopClick();
  w.Transport->btnPlayClick();
  EXPECT_EQ(rig.Panel(), "标题：From the folder    ");
  EXPECT_EQ(rig.state().LyricDir, lyrics);
}

// The real folder browser, closed by the test as soon as it is open: it starts at the user's
// desktop folder, or at home without one, never in the working folder.
TEST(FolderBrowser, OpensAtTheDesktopFolderOrElseAtHome) {
  TempDir home;
  TempDir work;
  ScopedCurrentDir cwd(work.path());
  const QByteArray oldHome = qgetenv("HOME"), oldConfig = qgetenv("XDG_CONFIG_HOME");
  qputenv("HOME", QByteArray::fromStdString(home.path()));
  qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(home.File("config")));
  auto whereItOpens = [] {
    std::string seen;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      auto* browser = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (browser == nullptr) return;
      seen = QDir(browser->directory()).canonicalPath().toStdString();
      browser->reject();
    });
    poll.start(10);
    QTimer::singleShot(10000, [] {  // never left waiting
      for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* d = qobject_cast<QFileDialog*>(w)) d->reject();
      }
    });
    QtDialogs real;
    EXPECT_FALSE(real.chooseFolder(nullptr, QStringLiteral("folder")).has_value());
    return seen;
  };
  auto canonical = [](const std::string& p) {
    return QDir(QString::fromStdString(p)).canonicalPath().toStdString();
  };
  EXPECT_EQ(whereItOpens(), canonical(home.path()));
  MakeDir(home.File("Desktop"));
  EXPECT_EQ(whereItOpens(), canonical(home.File("Desktop")));
  qputenv("HOME", oldHome);
  if (oldConfig.isNull()) {
    qunsetenv("XDG_CONFIG_HOME");
  } else {
    qputenv("XDG_CONFIG_HOME", oldConfig);
  }
}

}  // namespace
}  // namespace quillet::testing
