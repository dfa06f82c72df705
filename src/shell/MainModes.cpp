// The main window's track advance, play modes, playlist files and settings command.
#include <QFile>
#include <QItemSelectionModel>
#include <string>
#include <vector>

#include "app/DisplayText.h"
#include "app/FileIo.h"
#include "player/audio/AudioEngine.h"
#include "playlist/Playlist.h"
#include "playlist/TrackProbe.h"
#include "shell/TfrmConfig.h"
#include "shell/TfrmMain.h"

namespace quillet {

namespace {

constexpr const char* kStreamError = "不支持的文件格式：创建数据流时出现错误！";
constexpr const char* kPlaylistFilter = "播放列表文件（*.pst）|*.pst";

void SetPlaceholder(TfrmMain& w) {
  const QString placeholder = QString::fromUtf8(TfrmMain::kLyricPlaceholder);
  if (w.PanelLyric->text() != placeholder) w.PanelLyric->setText(placeholder);
}

// Previous or next in a loop mode: the playing track ends now and the next tick starts the
// entry the cursor names. The handle stays in CurrentStream; that tick replaces it.
void EndForLoopStep(TfrmMain& w) {
  w.State.engine.ChannelStop(w.State.CurrentStream);
  w.State.engine.StreamFree(w.State.CurrentStream);
  w.PanelLyric->setText(QString());
  w.LyricLines.clear();
}

// Previous or next with no play mode: starts the row `step` away from the selected one.
void StepWithoutMode(TfrmMain& w, int step) {
  PlayerShared& s = w.State;
  w.PanelLyric->setText(QString());
  w.LyricLines.clear();
  const int i = w.SelectedRow();
  const int target = i + step;
  if (i < 0 || target < 0 || target >= w.RowCount() || s.PlayerState != psPlaying) return;
  const PlaylistRow row = w.ListModel->Row(target);
  s.engine.StreamFree(s.CurrentStream);
  s.CurrentStream = s.engine.StreamCreateFile(false, row.path, 0, 0, 0);
  if (s.CurrentStream == 0) {
    // The state stays playing with no stream; the next tick finds that and stops.
    ShowAudioError(w.Dlg, &w, kStreamError, audio::AudioEngine::ErrorGetCode());
    return;
  }
  s.engine.ChannelPlay(s.CurrentStream, false);
  s.PlayerState = psPlaying;
  const std::string failure =
      w.AnnounceTrackQuiet(row.path, FileNamePart(row.path), row.singer, row.album);
  // From the tray menu the window may be hidden: the focus only goes to a view on screen.
  if (w.isVisible()) w.ListViewLst->setFocus();
  w.ListViewLst->selectionModel()->setCurrentIndex(
      w.ListModel->index(target, 0),
      QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  if (!failure.empty()) ShowErrorBox(w.Dlg, &w, s.VersionText, failure);
}

// A mode item clicked while it carries the mark: the mode goes off and playback stops.
void SwitchModeOff(TfrmMain& w, QAction* item) {
  PlayerShared& s = w.State;
  item->setChecked(false);
  s.PlayerState = psStopped;
  s.PlayMode = pmNone;
  s.engine.ChannelStop(s.CurrentStream);
  s.engine.StreamFree(s.CurrentStream);
  s.CurrentStream = 0;
}

}  // namespace

void TfrmMain::ListViewLstDblClick() {
  SetPlaceholder(*this);
  LyricLines.clear();
  const int row = SelectedRow();
  if (row < 0) return;
  StartRowAfresh(ListModel->Row(row));
}

void TfrmMain::btnPrevClick() {
  switch (State.PlayMode) {
    case pmLoopLst:
      EndForLoopStep(*this);
      LstIndex -= 2;
      State.PlayerState = psStopped;
      break;
    case pmLoopSel:
      EndForLoopStep(*this);
      SelIndex -= 2;
      State.PlayerState = psStopped;
      break;
    case pmLoopSingle:
      break;
    case pmNone:
      StepWithoutMode(*this, -1);
      break;
  }
}

void TfrmMain::btnNextClick() {
  switch (State.PlayMode) {
    case pmLoopLst:
    case pmLoopSel:
      // The cursor already names the following entry.
      EndForLoopStep(*this);
      State.PlayerState = psStopped;
      break;
    case pmLoopSingle:
      break;
    case pmNone:
      StepWithoutMode(*this, +1);
      break;
  }
}

void TfrmMain::ItemLoopLstClick() {
  if (ItemLoopLst->isChecked()) {
    SwitchModeOff(*this, ItemLoopLst);
    return;
  }
  ItemLoopLst->setChecked(true);
  State.PlayMode = pmLoopLst;
  ItemLoopSingle->setChecked(false);
  ItemLoopSel->setChecked(false);
  const int row = SelectedRow();
  LstIndex = row >= 0 ? row : 0;
}

void TfrmMain::ItemLoopSelClick() {
  if (ItemLoopSel->isChecked()) {
    SwitchModeOff(*this, ItemLoopSel);
    SelPaths.clear();
    return;
  }
  SelPaths.clear();
  for (int row : SelectedRows()) SelPaths.push_back(ListModel->Row(row).path);
  SelIndex = 0;
  ItemLoopSel->setChecked(true);
  State.PlayMode = pmLoopSel;
  ItemLoopSingle->setChecked(false);
  ItemLoopLst->setChecked(false);
}

void TfrmMain::ItemLoopSingleClick() {
  if (ItemLoopSingle->isChecked()) {
    SwitchModeOff(*this, ItemLoopSingle);
    return;
  }
  ItemLoopSingle->setChecked(true);
  State.PlayMode = pmLoopSingle;
  ItemLoopLst->setChecked(false);
  ItemLoopSel->setChecked(false);
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
