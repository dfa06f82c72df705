// Folders and other players' playlists added by the main window: the command line (and a later
// start handing paths over), a drop with and without its option, and the playlist dialogs.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QProgressDialog>
#include <QTimer>
#include <tuple>

#include "common/FileIo.h"
#include "shell/DesktopStart.h"
#include "support/PlayRig.h"
#include "support/fixtures/AudioFixtures.h"

namespace quillet::testing {
namespace {

class FoldersTest : public ::testing::Test {
 protected:
  PlayRig rig;
  TfrmMain& w = rig.main();

  std::vector<std::string> Paths() {
    std::vector<std::string> out;
    for (const PlaylistRow& r : w.Player.List().Rows()) out.push_back(r.path);
    return out;
  }
  void Choose(const std::string& path, int filterIndex = 0) {
    Dialogs::FileResult r;
    r.accepted = true;
    r.filterIndex = filterIndex;
    r.files << QString::fromStdString(path);
    rig.dialogs.fileResults.push_back(r);
  }
  void Write(const std::string& path, const std::string& bytes) {
    ASSERT_TRUE(WriteFileAtomic(path, bytes).ok) << path;
  }
};

TEST_F(FoldersTest, AFolderOfAThousandFilesCancelledHalfWayKeepsTheRowsMadeSoFarInOrder) {
  const std::string folder = rig.File("library");
  MakeDir(folder);
  std::vector<std::string> files;  // in natural order: t2 before t10
  for (int i = 1; i <= 1000; ++i) {
    files.push_back(folder + "/t" + std::to_string(i) + ".wav");
    WriteSineWave(files.back(), 0.01);
  }
  Write(folder + "/cover.wav.txt", "not audio at all");
  w.List->AddProgressDelayMs = 0;
  bool shown = false;
  QTimer cancel;
  cancel.setInterval(0);
  QObject::connect(&cancel, &QTimer::timeout, &w, [&] {
    auto* p = w.findChild<QProgressDialog*>(QStringLiteral("AddProgress"));
    if (p == nullptr) return;
    shown = shown || p->isVisible();
    if (w.Player.List().Count() >= 500) p->cancel();
  });
  cancel.start();
  w.List->OpenFiles({folder});
  cancel.stop();

  EXPECT_TRUE(shown);
  const int count = w.Player.List().Count();
  ASSERT_GE(count, 500);
  ASSERT_LT(count, 1000);
  EXPECT_EQ(Paths(), std::vector<std::string>(files.begin(), files.begin() + count));
  // The first new row is selected and started, as for files.
  EXPECT_EQ(w.Player.List().Selected(), std::vector<int>{0});
  EXPECT_EQ(w.findChild<QProgressDialog*>(QStringLiteral("AddProgress")), nullptr);
}

TEST_F(FoldersTest, ADropOpensFoldersAndPlaylistsOnlyWithTheOption) {
  const std::string folder = rig.File("album");
  MakeDir(folder);
  MakeDir(folder + "/disc");
  for (const char* name : {"a10.wav", "a2.wav", "disc/b1.wav"}) {
    WriteSineWave(folder + "/" + name, 0.05);
  }
  Write(folder + "/notes.wav", "text that only looks like audio by its name");
  const std::string list = rig.File("mix.m3u8");
  Write(list, "#EXTM3U\r\n#EXTINF:61,Gone Song\r\nmissing.mp3\r\nalbum/a2.wav\r\n");
  const std::string unreadable = rig.File("nothing.m3u");

  struct Case {
    bool option;
    std::vector<std::string> want;
  };
  const std::vector<Case> cases = {
      {false, {folder, list, unreadable}},
      {true,
       {folder + "/a2.wav", folder + "/a10.wav", folder + "/disc/b1.wav", rig.File("missing.mp3"),
        folder + "/a2.wav", unreadable}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.option);
    w.Player.List().Clear();
    rig.dialogs.messages.clear();
    w.Player.Shared.options.addFoldersOnDrop = c.option;
    w.List->WMDropFiles({folder, list, unreadable});
    EXPECT_EQ(Paths(), c.want);
    if (c.option) {
      // The missing file is a row of what the playlist says, never opened.
      EXPECT_EQ(w.Player.List().Row(3).name, "Gone Song");
      EXPECT_EQ(w.Player.List().Row(3).length, "01:01");
    }
    EXPECT_TRUE(rig.dialogs.messages.empty());
  }
}

TEST_F(FoldersTest, AnUnreadableFolderOnTheCommandLineIsReportedAndTheRestAdded) {
  const std::string folder = rig.File("locked");
  MakeDir(folder);
  const std::string wav = rig.File("one.wav");
  WriteSineWave(wav, 0.05);
  ASSERT_EQ(::chmod(folder.c_str(), 0), 0);
  const bool root = ::access(folder.c_str(), R_OK) == 0;  // root reads it regardless
  // The command line lets folders pass, as files; only a missing name is left out.
  EXPECT_EQ(ExistingFiles({folder, rig.File("gone"), wav}),
            (std::vector<std::string>{folder, wav}));
  w.List->OpenFiles({folder, wav});
  ::chmod(folder.c_str(), 0755);
  EXPECT_EQ(Paths(), std::vector<std::string>{wav});
  if (!root) {
    ASSERT_EQ(rig.dialogs.messages.size(), 1u);
    EXPECT_EQ(rig.dialogs.messages[0].icon, Dialogs::Icon::Error);
  }
}

TEST_F(FoldersTest, AnM3u8SavedAndLoadedThroughTheDialogsGivesTheSameRows) {
  const std::string name(50, 'n');  // longer than a .pst record's field
  rig.AddRow("/music/" + name + "/a.mp3", "03:07", "Ann", "Blue");
  rig.AddRow(rig.File("sub/b.wav"), "00:59");
  const std::vector<PlaylistRow> before = w.Player.List().Rows();

  // Under the M3U8 entry a name with no extension gets one.
  Choose(rig.File("mix"), 1);
  w.Files->ItemSaveLstClick();
  ASSERT_EQ(rig.dialogs.fileRequests.size(), 1u);
  EXPECT_EQ(rig.dialogs.fileRequests[0].filterIndex, 0);  // .pst stays preselected
  std::string bytes;
  ASSERT_TRUE(ReadWholeFile(rig.File("mix.m3u8"), &bytes).ok);
  EXPECT_EQ(bytes.rfind("#EXTM3U", 0), 0u);
  EXPECT_NE(bytes.find("\nsub/b.wav\n"), std::string::npos) << bytes;  // relative below it

  w.Player.List().Clear();
  Choose(rig.File("mix.m3u8"), 1);
  w.Files->ItemLoadLstClick();
  const Dialogs::FileRequest& load = rig.dialogs.fileRequests[1];
  EXPECT_EQ(load.filter.toStdString().rfind("播放列表文件（*.pst）|*.pst|M3U", 0), 0u);
  EXPECT_EQ(load.filterIndex, 0);
  const auto fields = [](const PlaylistRow& r) {
    return std::tie(r.name, r.singer, r.album, r.length, r.path);
  };
  const std::vector<PlaylistRow>& after = w.Player.List().Rows();
  ASSERT_EQ(after.size(), before.size());
  for (std::size_t i = 0; i < after.size(); ++i) EXPECT_EQ(fields(after[i]), fields(before[i]));
  EXPECT_TRUE(rig.dialogs.messages.empty());
}

}  // namespace
}  // namespace quillet::testing
