// Saving the playlist to a .pst file and appending one, through the main window's commands.
#include <gtest/gtest.h>

#include "support/PlayRig.h"

namespace quillet::testing {
namespace {

// One 225-byte record made by hand: five length-prefixed fields of 30, 30, 30, 10 and 120 bytes.
std::string Record(const std::string& name, const std::string& singer, const std::string& album,
                   const std::string& length, const std::string& path) {
  std::string rec;
  auto field = [&rec](const std::string& text, std::size_t capacity) {
    const std::size_t n = std::min(text.size(), capacity);
    rec += static_cast<char>(n);
    rec += text.substr(0, n);
    rec += std::string(capacity - n, '\0');
  };
  field(name, 30);
  field(singer, 30);
  field(album, 30);
  field(length, 10);
  field(path, 120);
  return rec;
}

class PlaylistFileTest : public ::testing::Test {
 protected:
  PlayRig rig;
  TfrmMain& w = rig.main();
  const PlayerSnapshot& s = rig.session().Snapshot();

  void Choose(const std::string& path) {
    Dialogs::FileResult r;
    r.accepted = true;
    r.files << QString::fromStdString(path);
    rig.dialogs.fileResults.push_back(r);
  }
  std::string Read(const std::string& path) {
    std::string bytes;
    EXPECT_TRUE(ReadBytes(path, &bytes)) << path;
    return bytes;
  }
};

TEST_F(PlaylistFileTest, SavingThreeRowsWritesTheirRecordsByteForByte) {
  const std::string tagArtist = std::string("Ann") + std::string(27, '\0');
  w.Player.List().Append(PlaylistRow{"a.mp3", tagArtist, "", "03:07", "/music/a.mp3"});
  w.Player.List().Append(
      PlaylistRow{std::string(31, 'n'), "", "Blue", "00:59", "/music/" + std::string(31, 'n')});
  w.Player.List().Append(PlaylistRow{"c.wav", "", "", "", "/music/c.wav"});
  rig.Select({1}, 1);  // the menu needs a selected row; every row is written
  const std::string target = rig.File("list.pst");
  Choose(target);
  w.Files->ItemSaveLstClick();

  ASSERT_EQ(rig.dialogs.fileRequests.size(), 1u);
  const Dialogs::FileRequest& q = rig.dialogs.fileRequests[0];
  EXPECT_EQ(q.title.toStdString(), "保存播放列表...");
  // The .pst entry first (and preselected), the M3U8 one after it.
  EXPECT_EQ(q.filter.toStdString(), "播放列表文件（*.pst）|*.pst|M3U8 播放列表（*.m3u8）|*.m3u8");
  EXPECT_EQ(q.filterIndex, 0);
  EXPECT_EQ(q.defaultSuffix.toStdString(), "pst");
  EXPECT_EQ(q.directory.toStdString(), rig.dir());
  EXPECT_TRUE(rig.dialogs.messages.empty());  // no question for a new file, no success note

  const std::string expected =
      Record("a.mp3", tagArtist, "", "03:07", "/music/a.mp3") +
      Record(std::string(30, 'n'), "", "Blue", "00:59", "/music/" + std::string(31, 'n')) +
      Record("c.wav", "", "", "", "/music/c.wav");
  const std::string got = Read(target);
  ASSERT_EQ(got.size(), 675u);
  // Bytes past a field's length are not significant: compare the used bytes of every field.
  for (std::size_t r = 0; r < 3; ++r) {
    std::size_t at = r * 225;
    for (std::size_t cap : {30u, 30u, 30u, 10u, 120u}) {
      const auto n = static_cast<unsigned char>(expected[at]);
      EXPECT_EQ(static_cast<unsigned char>(got[at]), n) << "record " << r << " offset " << at;
      EXPECT_EQ(got.substr(at + 1, n), expected.substr(at + 1, n));
      at += 1 + cap;
    }
  }
}

TEST_F(PlaylistFileTest, LoadingAppendsWholeRecordsWithoutProbing) {
  rig.AddRow(rig.File("old.mp3"));
  std::string file = Record("x.mp3", "Sing", "Alb", "01:02", "/nowhere/x.mp3") +
                     Record("y.mp3", "", "", "", "/nowhere/y.mp3") + std::string(50, 'z');
  ASSERT_EQ(file.size(), 500u);
  WriteBytes(rig.File("in.pst"), file);
  Choose(rig.File("in.pst"));
  w.Files->ItemLoadLstClick();
  const Dialogs::FileRequest& q = rig.dialogs.fileRequests.at(0);
  EXPECT_EQ(q.title.toStdString(), "载入播放列表...");
  EXPECT_FALSE(q.multiple);
  ASSERT_EQ(w.Player.List().Count(), 3);
  const PlaylistRow& x = w.Player.List().Row(1);
  EXPECT_EQ(x.name, "x.mp3");
  EXPECT_EQ(x.singer, "Sing");
  EXPECT_EQ(x.album, "Alb");
  EXPECT_EQ(x.length, "01:02");  // as stored, the file is not there to measure
  EXPECT_EQ(x.path, "/nowhere/x.mp3");
  EXPECT_EQ(w.Player.List().Row(2).path, "/nowhere/y.mp3");
  EXPECT_TRUE(rig.dialogs.messages.empty());

  // Twice lists the rows twice; a file shorter than a record adds nothing, silently.
  Choose(rig.File("in.pst"));
  w.Files->ItemLoadLstClick();
  EXPECT_EQ(w.Player.List().Count(), 5);
  WriteBytes(rig.File("short.pst"), std::string(224, 'q'));
  Choose(rig.File("short.pst"));
  w.Files->ItemLoadLstClick();
  EXPECT_EQ(w.Player.List().Count(), 5);
  EXPECT_TRUE(rig.dialogs.messages.empty());
}

TEST_F(PlaylistFileTest, LoadingWhileATrackPlaysLeavesItAndTheSelectionAlone) {
  rig.AddTrack(rig.File("a.mp3"));
  rig.AddTrack(rig.File("b.mp3"));
  rig.Select({1}, 1);
  w.Transport->btnPlayClick();
  const audio::Handle h = rig.Current();
  WriteBytes(rig.File("in.pst"), Record("z.mp3", "", "", "", "/z.mp3"));
  Choose(rig.File("in.pst"));
  w.Files->ItemLoadLstClick();
  EXPECT_EQ(w.Player.List().Count(), 3);
  EXPECT_EQ(w.Player.List().Selected(), std::vector<int>{1});
  EXPECT_EQ(w.List->FocusedRow(), 1);
  rig.Tick();
  EXPECT_EQ(rig.Current(), h);
  EXPECT_EQ(s.state, psPlaying);
}

TEST_F(PlaylistFileTest, OverwritingAsksFirstAndCancelLeavesTheFileAsItWas) {
  rig.AddRow(rig.File("a.mp3"));
  const std::string target = rig.File("list.pst");
  const std::string old = "old bytes that are not a playlist";
  WriteBytes(target, old);
  Choose(target);
  rig.dialogs.answers.push_back(Dialogs::Answer::Cancel);
  w.Files->ItemSaveLstClick();
  ASSERT_EQ(rig.dialogs.messages.size(), 1u);
  EXPECT_EQ(rig.dialogs.messages[0].text.toStdString(), "播放列表文件已经存在，要覆盖它吗?");
  EXPECT_EQ(rig.dialogs.messages[0].icon, Dialogs::Icon::Question);
  EXPECT_EQ(Read(target), old);

  Choose(target);
  w.Files->ItemSaveLstClick();  // OK this time
  EXPECT_EQ(Read(target).size(), 225u);
}

TEST_F(PlaylistFileTest, CancellingEitherDialogChangesNothing) {
  rig.AddRow(rig.File("a.mp3"));
  w.Files->ItemSaveLstClick();
  w.Files->ItemLoadLstClick();
  EXPECT_EQ(w.Player.List().Count(), 1);
  EXPECT_TRUE(rig.dialogs.messages.empty());
}

TEST_F(PlaylistFileTest, NonAsciiNamesSurviveARoundTrip) {
  const std::string utf8 = "/音乐/晴天.mp3";
  const std::string gbk = "/music/\xC7\xE7\xCC\xEC.mp3";  // 晴天 in GBK
  w.Player.List().Append(PlaylistRow{"晴天.mp3", "周", "叶惠美", "04:29", utf8});
  w.Player.List().Append(PlaylistRow{"\xC7\xE7\xCC\xEC.mp3", "", "", "", gbk});
  Choose(rig.File("round.pst"));
  w.Files->ItemSaveLstClick();
  w.Player.List().Clear();
  Choose(rig.File("round.pst"));
  w.Files->ItemLoadLstClick();
  ASSERT_EQ(w.Player.List().Count(), 2);
  EXPECT_EQ(w.Player.List().Row(0).name, "晴天.mp3");
  EXPECT_EQ(w.Player.List().Row(0).singer, "周");
  EXPECT_EQ(w.Player.List().Row(0).album, "叶惠美");
  EXPECT_EQ(w.Player.List().Row(0).path, utf8);
  EXPECT_EQ(w.Player.List().Row(1).path, gbk);
  EXPECT_EQ(w.ListModel->data(w.ListModel->index(1, 0), Qt::DisplayRole).toString(),
            QString::fromUtf8("晴天.mp3"));
}

TEST_F(PlaylistFileTest, AFailedSaveIsReportedAndLeavesTheOldFileWhole) {
  rig.AddRow(rig.File("a.mp3"));
  // A folder where the file should go: it cannot be replaced.
  const std::string target = rig.File("taken.pst");
  MakeDir(target);
  WriteBytes(target + "/inside", "kept");
  Choose(target);
  w.Files->ItemSaveLstClick();
  ASSERT_EQ(rig.dialogs.messages.size(), 2u);  // the overwrite question, then the failure
  EXPECT_EQ(rig.dialogs.messages[1].title.toStdString(), "Quillet 06.12.15");
  EXPECT_EQ(rig.dialogs.messages[1].icon, Dialogs::Icon::Error);
  EXPECT_FALSE(rig.dialogs.messages[1].text.isEmpty());
  EXPECT_EQ(Read(target + "/inside"), "kept");

  Choose(rig.File("no/such/folder/list.pst"));
  w.Files->ItemSaveLstClick();
  ASSERT_EQ(rig.dialogs.messages.size(), 3u);
  EXPECT_EQ(rig.dialogs.messages[2].icon, Dialogs::Icon::Error);
}

TEST_F(PlaylistFileTest, AFailedLoadIsReported) {
  Choose(rig.File("missing.pst"));
  w.Files->ItemLoadLstClick();
  ASSERT_EQ(rig.dialogs.messages.size(), 1u);
  EXPECT_EQ(rig.dialogs.messages[0].icon, Dialogs::Icon::Error);
  EXPECT_EQ(rig.dialogs.messages[0].title.toStdString(), "Quillet 06.12.15");
  EXPECT_EQ(w.Player.List().Count(), 0);
}

}  // namespace
}  // namespace quillet::testing
