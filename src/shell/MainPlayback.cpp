// The main window's playback, refresh, seek, volume and playlist handlers, and closing and exit.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QItemSelectionModel>
#include <QProgressDialog>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "common/DisplayText.h"
#include "common/FileIo.h"
#include "player/PlaySession.h"
#include "player/PlaybackRules.h"
#include "playlist/TrackProbe.h"
#include "shell/TfrmMain.h"

namespace quillet {

namespace {

void SetProgressCaption(TfrmMain& w, const std::string& caption) {
  w.GBPlayProgress->setTitle(DisplayTagText(caption));
}

// Makes `row` the focused and only selected row; the keyboard focus stays where it is.
void SelectOnly(TfrmMain& w, int row) {
  w.ListViewLst->selectionModel()->setCurrentIndex(
      w.ListModel->index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

// Adds the focused row to the selection, keeping the rows already selected.
void KeepFocusedSelected(TfrmMain& w) {
  const int focused = w.FocusedRow();
  if (focused < 0) return;
  w.ListViewLst->selectionModel()->select(w.ListModel->index(focused, 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

// Appends a row per path, in order. Many files that take a while show a progress dialog with the
// count, which keeps the window (and the refresh tick) alive while they are probed; cancelling it
// keeps the rows made so far and skips the rest.
void AddRows(TfrmMain& w, const std::vector<std::string>& paths) {
  const int total = static_cast<int>(paths.size());
  QElapsedTimer clock;
  clock.start();
  std::unique_ptr<QProgressDialog> progress;
  for (int i = 0; i < total; ++i) {
    if (!progress && total >= kAddProgressThreshold && clock.elapsed() >= w.AddProgressDelayMs) {
      progress = std::make_unique<QProgressDialog>(&w);
      progress->setObjectName(QStringLiteral("AddProgress"));
      progress->setWindowTitle(DisplayText(w.State.VersionText));
      progress->setCancelButtonText(QString::fromUtf8("取消"));
      progress->setRange(0, total);
      progress->setWindowModality(Qt::WindowModal);
      progress->setMinimumDuration(0);
      progress->setAutoReset(false);
    }
    if (progress) {
      if (progress->wasCanceled()) break;
      progress->setLabelText(
          QString::fromUtf8("正在添加歌曲：第 %1 首，共 %2 首").arg(i + 1).arg(total));
    }
    w.AddTrackRow(paths[static_cast<std::size_t>(i)]);
    if (progress) progress->setValue(i + 1);
  }
}

// Restarts the refresh timer when a tick ends, however it ends: normally, by an exception, or
// after its failure was reported. Not after exit, and not while the user holds the seek bar
// (a press during a box the tick showed): the release starts it again.
class RearmGuard {
 public:
  explicit RearmGuard(TfrmMain& w) : w_(w) {}
  ~RearmGuard() {
    if (w_.State.Ready && w_.State.PlayerState != psSeeking) w_.ShowTimer->start();
  }
  RearmGuard(const RearmGuard&) = delete;
  RearmGuard& operator=(const RearmGuard&) = delete;

 private:
  TfrmMain& w_;
};

// The transport buttons; members left empty keep their state.
void ShowButtons(TfrmMain& w, const TransportStates& b) {
  if (b.prev) w.btnPrev->setEnabled(*b.prev);
  if (b.next) w.btnNext->setEnabled(*b.next);
  if (b.play) w.btnPlay->setEnabled(*b.play);
  if (b.pause) w.btnPause->setEnabled(*b.pause);
  if (b.stop) w.btnStop->setEnabled(*b.stop);
}

}  // namespace

void TfrmMain::ShowResult(const Shown& shown) {
  if (shown.strip) PanelLyric->setText(QString::fromUtf8(*shown.strip));
  if (shown.focusList && isVisible()) ListViewLst->setFocus();
  // From the tray menu the window may be hidden: the focus only goes to a view on screen.
  if (shown.selectOnly) SelectOnly(*this, *shown.selectOnly);
  ShowPlayMode();
  if (shown.streamError) ShowAudioError(Dlg, this, PlaySession::kStreamError, *shown.streamError);
  if (shown.outputError) ShowAudioError(Dlg, this, PlaySession::kOutputError, *shown.outputError);
  if (!shown.failure.empty()) ShowErrorBox(Dlg, this, State.VersionText, shown.failure);
}

void TfrmMain::ShowPlayMode() {
  ItemLoopLst->setChecked(State.PlayMode == pmLoopLst);
  ItemLoopSel->setChecked(State.PlayMode == pmLoopSel);
  ItemLoopSingle->setChecked(State.PlayMode == pmLoopSingle);
}

void TfrmMain::AnnounceTrack(const std::string& path, const std::string& name,
                             const std::string& artist, const std::string& album) {
  ShowResult(Session.Announce(path, name, artist, album));
}

void TfrmMain::btnPlayClick() {
  const int row = SelectedRow();
  if (row < 0) return;
  const PlaylistRow selected = ListModel->Row(row);
  ShowResult(Session.Play(&selected));
}

void TfrmMain::btnPauseClick() { Session.Pause(); }

void TfrmMain::btnStopClick() { ShowResult(Session.Stop()); }

void TfrmMain::ShowTimerTimer() {
  // Nothing acts before the creation step has set the state up, nor after exit.
  if (!State.Ready) return;
  ShowTimer->stop();
  RearmGuard rearm(*this);
  std::string failure;
  std::optional<int> outputError;
  try {
    const TickShown t = Session.Tick(ListModel->Rows(), SelectedRow(), tbSetVolume->Position());
    if (t.volumeBar) tbSetVolume->SetPosition(*t.volumeBar);
    if (t.strip) PanelLyric->setText(QString::fromUtf8(*t.strip));
    if (t.selectOnly) SelectOnly(*this, *t.selectOnly);
    ShowPlayMode();
    if (t.progressCaption) SetProgressCaption(*this, *t.progressCaption);
    if (t.progressMax) tbPlayProgress->SetMax(*t.progressMax);
    if (t.progressPosition) tbPlayProgress->SetPosition(*t.progressPosition);
    ShowButtons(*this, t.buttons);
    outputError = t.outputError;
    failure = t.failure;
    if (AfterTick) AfterTick();
  } catch (const std::exception& e) {
    failure = e.what();
  } catch (...) {
    failure = "the refresh step failed";
  }
  // Reported while the timer is still off, so a failure that repeats does not pile up boxes.
  if (outputError) ShowAudioError(Dlg, this, PlaySession::kOutputError, *outputError);
  if (!failure.empty()) ShowErrorBox(Dlg, this, State.VersionText, failure);
}

void TfrmMain::tbPlayProgressEnter() { GBPlayProgress->setFocus(); }

void TfrmMain::tbPlayProgressMouseDown(Qt::MouseButton, Qt::KeyboardModifiers, int, int) {
  ShowTimer->stop();
  Session.BeginSeek();
}

void TfrmMain::tbPlayProgressChange() {
  const SeekShown shown = Session.SeekPreview(tbPlayProgress->Position());
  if (shown.progressCaption) SetProgressCaption(*this, *shown.progressCaption);
  if (shown.strip) PanelLyric->setText(QString::fromUtf8(*shown.strip));
}

void TfrmMain::tbPlayProgressMouseUp(Qt::MouseButton, Qt::KeyboardModifiers, int, int) {
  Session.EndSeek(tbPlayProgress->Position());
  if (State.Ready) ShowTimer->start();
}

void TfrmMain::tbSetVolumeEnter() { GBPlayControl->setFocus(); }

void TfrmMain::tbSetVolumeUserChange() { Session.SetVolumeFromBar(tbSetVolume->Position()); }

void TfrmMain::ShowLyric(const std::string& key) {
  if (const auto text = Session.LyricFor(key)) PanelLyric->setText(QString::fromUtf8(*text));
}

void TfrmMain::AddTrackRow(const std::string& path) { ListModel->Append(ProbeTrackRow(path)); }

void TfrmMain::btnAddLstClick() {
  ODAddFile.title = QString::fromUtf8("添加歌曲...（可以选择多个！）");
  ODAddFile.filter = QString::fromUtf8(
      "MP3音频文件（*.mp3）|*.mp3|WAV音频文件（*.wav）|*.wav|"
      "所有音频文件（*.mp3,*.wav）|*.mp3;*.wav|所有文件（*.*）|*.*");
  ODAddFile.directory = PathText(State.LyricDir);
  ODAddFile.multiple = true;
  const Dialogs::FileResult chosen = Dlg.openFiles(this, ODAddFile);
  if (!chosen.accepted) return;
  // The entry chosen now is the one offered next time.
  ODAddFile.filterIndex = chosen.filterIndex;
  std::vector<std::string> paths;
  paths.reserve(static_cast<std::size_t>(chosen.files.size()));
  for (const QString& f : chosen.files) paths.push_back(LocalBytes(f));
  AddRows(*this, paths);
  ListViewLst->selectionModel()->clearSelection();
  if (RowCount() > 0) SelectOnly(*this, 0);
  if (isVisible()) ListViewLst->setFocus();
}

void TfrmMain::WMDropFiles(const std::vector<std::string>& paths) {
  // Every name whole, whatever it names.
  AddRows(*this, paths);
}

void TfrmMain::btnDelLstClick() {
  // The rows are taken before the question: a tick may move the selection while it is open.
  const std::vector<int> rows = SelectedRows();
  if (rows.empty()) return;
  if (!AskOkCancel(Dlg, this, "确定要删除列表中所选择的歌曲吗?")) return;
  ListModel->RemoveRows(rows);
}

void TfrmMain::ItemClearLstClick() {
  if (RowCount() == 0) return;
  if (!AskOkCancel(Dlg, this, "确定要清空播放列表吗?")) return;
  ListModel->Clear();
}

void TfrmMain::ListViewLstClick() { KeepFocusedSelected(*this); }

void TfrmMain::ListViewLstSelectItem(int row, bool) {
  if (row < 0 || row >= RowCount()) return;
  ListViewLst->scrollTo(ListModel->index(row, 0), QAbstractItemView::EnsureVisible);
}

void TfrmMain::PopupMenuContrlsPopup() {
  KeepFocusedSelected(*this);
  const MenuStates m = PopupMenuStates(RowCount(), !SelectedRows().empty(), State.CurrentStream);
  ItemDelLst->setEnabled(m.delLst);
  ItemSaveLst->setEnabled(m.saveLst);
  ItemClearLst->setEnabled(m.clearLst);
  ItemLoopLst->setEnabled(m.loopLst);
  ItemLoopSel->setEnabled(m.loopSel);
  ItemLoopSingle->setEnabled(m.loopSingle);
  ItemHide->setText(QString::fromUtf8(isVisible() ? "隐藏程序" : "显示程序"));
  ItemPlay->setEnabled(btnPlay->isEnabled());
  ItemPause->setEnabled(btnPause->isEnabled());
  ItemStop->setEnabled(btnStop->isEnabled());
  ItemPrev->setEnabled(btnPrev->isEnabled());
  ItemNext->setEnabled(btnNext->isEnabled());
}

void TfrmMain::FormCloseQuery(bool& CanClose) {
  CanClose = false;
  // To the notification area, playing on.
  if (isVisible()) btnHideAppClick();
}

void TfrmMain::btnExitAppClick() {
  // No tick acts from here on, also one that would come from a box still open.
  State.Ready = false;
  ShowTimer->stop();
  Session.Shutdown();
  AppTrayIcon->SetEnabled(false);
  // quit() would first ask the windows to close, and the close query refuses every close.
  QCoreApplication::exit(0);
}

}  // namespace quillet
