// Tags through the running player: the rows files become with full tags off and on (and the tag
// encoding of the Options window), and the lyric a file carries in the lyric strip.
#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <memory>

#include "common/DisplayText.h"
#include "lyrics/Lyrics.h"
#include "playlist/TrackProbe.h"
#include "support/AppFixture.h"
#include "support/fixtures/AudioFixtures.h"
#include "support/fixtures/TagFixtures.h"

namespace quillet::testing {
namespace {

class PlayerTags : public ::testing::Test {
 protected:
  void SetUp() override {
    QUILLET_SKIP_WITHOUT_LAME();
    if (!Mid3v2Available()) GTEST_SKIP() << "mid3v2 (python3-mutagen) is not installed";
    app = std::make_unique<AppFixture>();
  }
  // A short MP3 tagged by mid3v2 (ID3v2.4, no ID3v1).
  std::string Tagged(const std::string& name, const std::vector<std::string>& args) {
    const std::string path = app->workDir() + "/" + name;
    MakeMp3(path, Mp3Spec{.seconds = 1.0});
    Mid3v2(path, args);
    EXPECT_FALSE(ReadId3Tag(path).found);
    return path;
  }
  void SetOptions(bool fullTags, bool embeddedLyrics, TagEncoding encoding = TagEncoding::Auto) {
    app->state().options.fullTags = fullTags;
    app->state().options.embeddedLyrics = embeddedLyrics;
    app->state().options.tagEncoding = encoding;
    app->session().OptionsChanged();
  }
  // The row a file becomes when the main window adds it, as the list shows its texts.
  std::vector<QString> AddedRow(const std::string& path) {
    app->main().List->AddTrackRow(path);
    const PlaylistRow& r = app->session().List().Row(app->session().List().Count() - 1);
    // The function handed to parallel adds makes the same row.
    const PlaylistRow made = app->session().List().RowMaker()(path);
    EXPECT_EQ(made.name + "|" + made.singer + "|" + made.album + "|" + made.length,
              r.name + "|" + r.singer + "|" + r.album + "|" + r.length);
    return {DisplayTagText(r.name), DisplayTagText(r.singer), DisplayTagText(r.album)};
  }
  std::unique_ptr<AppFixture> app;
};

// Rows added after the option goes on take the tag's texts; turned off again, the file name.
TEST_F(PlayerTags, RowsFollowTheOptions) {
  const std::string path = Tagged("qlx.mp3", {"-t", "七里香", "-a", "周杰伦", "-A", "叶惠美"});
  struct Case {
    bool fullTags;
    std::vector<QString> want;
  };
  const std::vector<Case> cases = {
      {false, {"qlx.mp3", "", ""}},
      {true, {"七里香", "周杰伦", "叶惠美"}},
      {false, {"qlx.mp3", "", ""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fullTags);
    SetOptions(c.fullTags, false);
    EXPECT_EQ(AddedRow(path), c.want);
  }
}

// With the option on, a file with no lyric file shows the lyric it carries by the lyric file's
// rules (the header line first); off, or with a lyric file beside it, it does not.
TEST_F(PlayerTags, EmbeddedLyricInTheStrip) {
  const std::string path =
      Tagged("qt.mp3", {"-t", "晴天", "--USLT", ":[ti\\:晴天]\\n[00\\:00.10]故事的小黄花\\n:chi"});
  app->main().List->AddTrackRow(path);
  PlaySession& p = app->session();
  const std::string trackLine = TrackInfoLine("qt.mp3", "", "");

  SetOptions(false, false);
  p.PlayRow(0);
  EXPECT_TRUE(p.Lyric().empty());
  EXPECT_EQ(p.Snapshot().lyricLine, trackLine);

  SetOptions(false, true);
  p.PlayRow(0);
  EXPECT_EQ(p.Lyric(), (std::vector<std::string>{"[ti:晴天]", "[00:00.10]故事的小黄花"}));
  EXPECT_EQ(p.Snapshot().lyricLine, ShowLyricText(p.Lyric(), kHeaderInfoKey));
  EXPECT_NE(p.Snapshot().lyricLine.find("晴天"), std::string::npos);

  // A lyric file wins over the embedded lyric.
  WriteBytes(app->workDir() + "/qt.lrc", "[ti:File]\n[00:00.10]from the file\n");
  p.PlayRow(0);
  EXPECT_EQ(p.Lyric(), (std::vector<std::string>{"[ti:File]", "[00:00.10]from the file"}));
}

// With the option on, the lyric editor imports the lyric an audio file carries.
TEST_F(PlayerTags, EditorImportsTheEmbeddedLyric) {
  const std::string path = Tagged("qt.mp3", {"--USLT", ":[00\\:00.10]故事的小黄花\\n:chi"});
  SetOptions(false, true);
  Dialogs::FileResult chosen;
  chosen.accepted = true;
  chosen.files << QString::fromStdString(path);
  app->dialogs().fileResults.push_back(chosen);
  app->lyric().ItemLoadClick();
  EXPECT_TRUE(app->dialogs().fileRequests.back().filter.contains(QStringLiteral("*.mp3")));
  EXPECT_TRUE(
      app->lyric().MOLyric->toPlainText().contains(QString::fromUtf8("[00:00.10]故事的小黄花")))
      << app->lyric().MOLyric->toPlainText().toStdString();
}

}  // namespace
}  // namespace quillet::testing
