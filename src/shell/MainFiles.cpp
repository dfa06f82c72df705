#include "shell/MainFiles.h"

#include <string>
#include <vector>

#include "common/DisplayText.h"
#include "common/FileIo.h"
#include "playlist/Playlist.h"
#include "shell/TfrmAbout.h"
#include "shell/TfrmConfig.h"
#include "shell/TfrmLyric.h"
#include "shell/TfrmMain.h"
#include "shell/TfrmOptions.h"

namespace quillet {

namespace {

constexpr const char* kPlaylistFilter = "播放列表文件（*.pst）|*.pst";

}  // namespace

MainFiles::MainFiles(TfrmMain& main) : QObject(&main), w_(main) {
  setObjectName(QStringLiteral("MainFiles"));
}

void MainFiles::ItemSaveLstClick() {
  SDLst.directory = PathText(CurrentDirectory());
  SDLst.title = QString::fromUtf8("保存播放列表...");
  SDLst.filter = QString::fromUtf8(kPlaylistFilter);
  SDLst.defaultSuffix = QStringLiteral("pst");
  SDLst.multiple = false;
  // The rows are counted before the dialog: what a tick or the tray menu adds meanwhile is not
  // part of what the user chose to save.
  const int count = w_.Player.List().Count();
  const Dialogs::FileResult chosen = w_.Dlg.saveFile(&w_, SDLst);
  if (!chosen.accepted || chosen.files.isEmpty()) return;
  const std::string path = LocalBytes(chosen.files.front());
  if (PathExists(path) && !AskOkCancel(w_.Dlg, &w_, "播放列表文件已经存在，要覆盖它吗?")) return;
  const std::vector<PlaylistRow>& all = w_.Player.List().Rows();
  const std::vector<PlaylistRow> rows(
      all.begin(), all.begin() + std::min<std::ptrdiff_t>(count, std::ssize(all)));
  // Written whole beside the target and then put in its place: a failure leaves the old file.
  const IoResult io = SavePlaylistFile(path, rows);
  if (!io.ok) ShowErrorBox(w_.Dlg, &w_, w_.Player.Shared.VersionText, io.error);
}

void MainFiles::ItemLoadLstClick() {
  ODLoadLst.title = QString::fromUtf8("载入播放列表...");
  ODLoadLst.filter = QString::fromUtf8(kPlaylistFilter);
  ODLoadLst.directory = PathText(CurrentDirectory());
  ODLoadLst.multiple = false;
  const Dialogs::FileResult chosen = w_.Dlg.openFiles(&w_, ODLoadLst);
  if (!chosen.accepted || chosen.files.isEmpty()) return;
  std::vector<PlaylistRow> rows;
  const IoResult io = LoadPlaylistFile(LocalBytes(chosen.files.front()), &rows);
  w_.Player.List().Append(std::move(rows));
  if (!io.ok) ShowErrorBox(w_.Dlg, &w_, w_.Player.Shared.VersionText, io.error);
}

void MainFiles::btnConfigureClick() {
  if (w_.Windows.config != nullptr) w_.Windows.config->ShowModal();
}

void MainFiles::btnAboutAppClick() {
  if (w_.Windows.about != nullptr) w_.Windows.about->ShowModal();
}

void MainFiles::ItemOptionsClick() {
  if (w_.Windows.options != nullptr) w_.Windows.options->ShowModal(w_.Player.Shared.options);
}

void MainFiles::btnEditLyricClick() {
  TfrmLyric* lyric = w_.Windows.lyric;
  if (lyric == nullptr) return;
  if (lyric->isVisible()) {
    lyric->frmLyricTimer->stop();
    lyric->close();
    return;
  }
  // Sized before it shows; placed again once shown, when its frame is known, and from then on
  // by every tick of its timer.
  lyric->DockLyricEditor();
  lyric->frmLyricTimer->start();
  lyric->show();
  lyric->DockLyricEditor();
}

}  // namespace quillet
