// The main window's track advance, play modes, playlist files and settings command.
#include <QFile>
#include <QItemSelectionModel>
#include <string>
#include <vector>

#include "common/DisplayText.h"
#include "common/FileIo.h"
#include "player/PlaySession.h"
#include "playlist/Playlist.h"
#include "playlist/TrackProbe.h"
#include "shell/TfrmConfig.h"
#include "shell/TfrmMain.h"

namespace quillet {

namespace {

constexpr const char* kPlaylistFilter = "播放列表文件（*.pst）|*.pst";

}  // namespace

void TfrmMain::ListViewLstDblClick() {
  const int row = SelectedRow();
  if (row < 0) {
    ShowResult(Session.PlayAfresh(nullptr));
    return;
  }
  const PlaylistRow selected = ListModel->Row(row);
  ShowResult(Session.PlayAfresh(&selected));
}

void TfrmMain::btnPrevClick() { ShowResult(Session.Previous(ListModel->Rows(), SelectedRow())); }

void TfrmMain::btnNextClick() { ShowResult(Session.Next(ListModel->Rows(), SelectedRow())); }

void TfrmMain::ItemLoopLstClick() {
  Session.SwitchLoopList(ItemLoopLst->isChecked(), SelectedRow());
  ShowPlayMode();
}

void TfrmMain::ItemLoopSelClick() {
  std::vector<std::string> paths;
  for (int row : SelectedRows()) paths.push_back(ListModel->Row(row).path);
  Session.SwitchLoopSelection(ItemLoopSel->isChecked(), paths);
  ShowPlayMode();
}

void TfrmMain::ItemLoopSingleClick() {
  Session.SwitchLoopSingle(ItemLoopSingle->isChecked());
  ShowPlayMode();
}

void TfrmMain::ItemSaveLstClick() {
  const int count = RowCount();
  SDLst.directory = PathText(CurrentDirectory());
  SDLst.title = QString::fromUtf8("保存播放列表...");
  SDLst.filter = QString::fromUtf8(kPlaylistFilter);
  SDLst.defaultSuffix = QStringLiteral("pst");
  SDLst.multiple = false;
  const Dialogs::FileResult chosen = Dlg.saveFile(this, SDLst);
  if (!chosen.accepted || chosen.files.isEmpty()) return;
  const std::string path = LocalBytes(chosen.files.front());
  if (PathExists(path) && !AskOkCancel(Dlg, this, "播放列表文件已经存在，要覆盖它吗?")) return;
  const std::vector<PlaylistRow>& all = ListModel->Rows();
  const std::vector<PlaylistRow> rows(
      all.begin(), all.begin() + std::min<std::ptrdiff_t>(count, std::ssize(all)));
  // Written whole beside the target and then put in its place: a failure leaves the old file.
  const IoResult io = SavePlaylistFile(path, rows);
  if (!io.ok) ShowErrorBox(Dlg, this, State.VersionText, io.error);
}

void TfrmMain::ItemLoadLstClick() {
  ODLoadLst.title = QString::fromUtf8("载入播放列表...");
  ODLoadLst.filter = QString::fromUtf8(kPlaylistFilter);
  ODLoadLst.directory = PathText(CurrentDirectory());
  ODLoadLst.multiple = false;
  const Dialogs::FileResult chosen = Dlg.openFiles(this, ODLoadLst);
  if (!chosen.accepted || chosen.files.isEmpty()) return;
  std::vector<PlaylistRow> rows;
  const IoResult io = LoadPlaylistFile(LocalBytes(chosen.files.front()), &rows);
  ListModel->Append(std::move(rows));
  if (!io.ok) ShowErrorBox(Dlg, this, State.VersionText, io.error);
}

void TfrmMain::btnConfigureClick() {
  if (frmConfig != nullptr) frmConfig->ShowModal();
}

}  // namespace quillet
