// The main window's playback, refresh, seek, volume and playlist handlers, and closing and exit.
#include <QCoreApplication>
#include <QFile>
#include <QItemSelectionModel>
#include <QProgressDialog>
#include <exception>
#include <string>
#include <vector>

#include "app/DisplayText.h"
#include "app/FileIo.h"
#include "lyrics/Lyrics.h"
#include "player/PlaybackRules.h"
#include "player/TimeTexts.h"
#include "player/audio/AudioEngine.h"
#include "playlist/TrackProbe.h"
#include "shell/TfrmMain.h"

namespace quillet {

namespace {

constexpr const char* kStreamError = "不支持的文件格式：创建数据流时出现错误！";

void SetPlaceholder(TfrmMain& w) {
  const QString placeholder = QString::fromUtf8(TfrmMain::kLyricPlaceholder);
  if (w.PanelLyric->text() != placeholder) w.PanelLyric->setText(placeholder);
}

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

// Appends a row per path, in order. Many files show a progress dialog with the count, which
// keeps the window (and the refresh tick) alive while they are probed; cancelling it keeps the
// rows made so far and skips the rest.
void AddRows(TfrmMain& w, const std::vector<std::string>& paths) {
  const int total = static_cast<int>(paths.size());
  if (total < kAddProgressThreshold) {
    for (const std::string& p : paths) w.AddTrackRow(p);
    return;
  }
  QProgressDialog progress(&w);
  progress.setObjectName(QStringLiteral("AddProgress"));
  progress.setWindowTitle(DisplayText(w.State.VersionText));
  progress.setCancelButtonText(QString::fromUtf8("取消"));
  progress.setRange(0, total);
  progress.setWindowModality(Qt::WindowModal);
  progress.setMinimumDuration(0);
  progress.setAutoReset(false);
  for (int i = 0; i < total; ++i) {
    if (progress.wasCanceled()) break;
    progress.setLabelText(
        QString::fromUtf8("正在添加歌曲：第 %1 首，共 %2 首").arg(i + 1).arg(total));
    w.AddTrackRow(paths[static_cast<std::size_t>(i)]);
    progress.setValue(i + 1);
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

void AppendFailure(std::string* all, const std::string& failure) {
  if (failure.empty()) return;
  if (!all->empty()) *all += '\n';
  *all += failure;
}

// Tick step 2: the volume bar follows the output volume, without writing it back.
void FollowVolume(TfrmMain& w) {
  const std::optional<int> to =
      VolumeBarFollow(w.State.engine.GetVolume(), w.tbSetVolume->Position());
  if (to) w.tbSetVolume->SetPosition(*to);
}

// Starts the next track of list loop or loop selection. A file that cannot be played is passed
// over without a message (the cursor has moved on already); an input/output failure of the
// lyric lookup comes back as its text.
std::string StartModeTrack(TfrmMain& w, const std::string& path, const std::string& name,
                           const std::string& artist, const std::string& album) {
  PlayerShared& s = w.State;
  s.engine.StreamFree(s.CurrentStream);
  s.CurrentStream = s.engine.StreamCreateFile(false, path, 0, 0, 0);
  if (s.engine.ChannelPlay(s.CurrentStream, false)) {
    s.PlayerState = psPlaying;
    return w.AnnounceTrackQuiet(path, name, artist, album);
  }
  s.PlayerState = psStopped;
  s.engine.ChannelStop(s.CurrentStream);
  s.engine.StreamFree(s.CurrentStream);
  s.CurrentStream = 0;
  return {};
}

// Tick step 3: in list loop, a stopped player starts the row at LstIndex.
std::string ListLoopStep(TfrmMain& w) {
  PlayerShared& s = w.State;
  if (s.PlayMode != pmLoopLst || s.PlayerState != psStopped) return {};
  // With no row there is nothing to start; the mode waits for rows.
  if (w.RowCount() == 0) return {};
  SetPlaceholder(w);
  w.LyricLines.clear();
  w.LstIndex = WrapCursor(w.LstIndex, w.RowCount());
  const PlaylistRow row = w.ListModel->Row(w.LstIndex);
  SelectOnly(w, w.LstIndex);
  const std::string name = FileNamePart(row.path);
  ++w.LstIndex;
  return StartModeTrack(w, row.path, name, row.singer, row.album);
}

// Tick step 4: in single loop, a stopped stream plays again from its start.
void SingleLoopStep(TfrmMain& w) {
  PlayerShared& s = w.State;
  if (s.PlayMode != pmLoopSingle || s.CurrentStream == 0 || s.PlayerState != psStopped) return;
  SetPlaceholder(w);
  if (s.engine.ChannelPlay(s.CurrentStream, false)) {
    s.PlayerState = psPlaying;
    if (!LyricTextEmpty(w.LyricLines)) w.ShowLyric(kHeaderInfoKey);
    return;
  }
  s.PlayerState = psStopped;
  s.PlayMode = pmNone;
  // The mode is off, so its check mark goes too: the marks are its only display.
  w.ItemLoopSingle->setChecked(false);
  w.LyricLines.clear();
  SetPlaceholder(w);
  s.engine.StreamFree(s.CurrentStream);
  s.CurrentStream = 0;
}

// Tick step 5: in loop selection, a stopped player starts the path at SelIndex.
std::string LoopSelectionStep(TfrmMain& w) {
  PlayerShared& s = w.State;
  if (s.PlayMode != pmLoopSel || s.PlayerState != psStopped || w.SelPaths.empty()) return {};
  w.LyricLines.clear();
  SetPlaceholder(w);
  w.SelIndex = WrapCursor(w.SelIndex, static_cast<int>(w.SelPaths.size()));
  const std::string path = w.SelPaths[static_cast<std::size_t>(w.SelIndex)];
  std::string name, artist, album;
  if (PathExists(path)) {
    const Id3Tag tag = ReadId3Tag(path);
    if (tag.found) {
      artist = tag.artist;
      album = tag.album;
    }
    name = FileNamePart(path);
  }
  const std::string failure = StartModeTrack(w, path, name, artist, album);
  ++w.SelIndex;
  return failure;
}

// Tick step 6: the progress caption, the seek bar and the lyric line of the current second.
void ProgressStep(TfrmMain& w) {
  PlayerShared& s = w.State;
  if (s.PlayerState != psStopped) {
    if (s.CurrentStream == 0) return;
    const TimeInfo pos = StreamPositionInfo(s.engine, s.CurrentStream);
    const TimeInfo len = StreamLengthInfo(s.engine, s.CurrentStream);
    SetProgressCaption(w, ProgressCaption(pos.text, len.text));
    w.tbPlayProgress->SetMax(WholeSeconds(len.seconds));
    w.tbPlayProgress->SetPosition(WholeSeconds(pos.seconds));
    if (!LyricTextEmpty(w.LyricLines)) {
      w.ShowLyric(StreamPositionInfo(s.engine, s.CurrentStream).text);
    }
    return;
  }
  const int row = w.SelectedRow();
  SetProgressCaption(
      w, StoppedProgressCaption(row >= 0, row >= 0 ? w.ListModel->Row(row).length : std::string()));
  w.tbPlayProgress->SetPosition(0);
}

// Tick step 7: a stream that is no longer active means stopped.
void EndOfTrackStep(TfrmMain& w) {
  PlayerShared& s = w.State;
  if (s.engine.ChannelIsActive(s.CurrentStream) != audio::kStopped) return;
  SetPlaceholder(w);
  s.PlayerState = psStopped;
}

// Tick step 8: the transport buttons.
void ButtonStep(TfrmMain& w) {
  const TransportStates b =
      TransportButtonStates(w.State.PlayerState, w.SelectedRow(), w.RowCount());
  if (b.prev) w.btnPrev->setEnabled(*b.prev);
  if (b.next) w.btnNext->setEnabled(*b.next);
  if (b.play) w.btnPlay->setEnabled(*b.play);
  if (b.pause) w.btnPause->setEnabled(*b.pause);
  if (b.stop) w.btnStop->setEnabled(*b.stop);
}

}  // namespace

std::string TfrmMain::AnnounceTrackQuiet(const std::string& path, const std::string& name,
                                         const std::string& artist, const std::string& album) {
  std::string failure;
  IoResult io;
  const std::string lyricPath = LyricFileName(path, &State.LyricDir, &io);
  // An unreadable settings file is reported; the lookup goes on beside the audio file.
  if (!io.ok) AppendFailure(&failure, io.error);
  if (IsRegularFile(lyricPath)) {
    const IoResult read = LoadLyricFile(lyricPath, &LyricLines);
    if (read.ok) {
      if (!LyricTextEmpty(LyricLines)) ShowLyric(kHeaderInfoKey);
      return failure;
    }
    // The track plays on without its lyric; the strip says what it is instead.
    AppendFailure(&failure, read.error);
  }
  PanelLyric->setText(QString::fromUtf8(TrackInfoLine(name, artist, album)));
  return failure;
}

void TfrmMain::AnnounceTrack(const std::string& path, const std::string& name,
                             const std::string& artist, const std::string& album) {
  const std::string failure = AnnounceTrackQuiet(path, name, artist, album);
  if (!failure.empty()) ShowErrorBox(Dlg, this, State.VersionText, failure);
}

void TfrmMain::btnPlayClick() {
  const int row = SelectedRow();
  if (row < 0) return;
  if (State.PlayerState == psPaused) {
    State.engine.ChannelPlay(State.CurrentStream, false);
    State.PlayerState = psPlaying;
    return;
  }
  PanelLyric->setText(QString());
  LyricLines.clear();
  StartRowAfresh(ListModel->Row(row));
}

void TfrmMain::StartRowAfresh(const PlaylistRow& r) {
  State.engine.ChannelStop(State.CurrentStream);
  State.engine.StreamFree(State.CurrentStream);
  State.CurrentStream = State.engine.StreamCreateFile(false, r.path, 0, 0, 0);
  if (State.CurrentStream != 0) {
    const std::string failure = AnnounceTrackQuiet(r.path, FileNamePart(r.path), r.singer, r.album);
    State.engine.ChannelPlay(State.CurrentStream, false);
    State.PlayerState = psPlaying;
    if (!failure.empty()) ShowErrorBox(Dlg, this, State.VersionText, failure);
    return;
  }
  // The state is settled before the box opens: ticks run while it is open, and one may start a
  // track in a play mode, which must not be undone when the box closes.
  const int code = audio::AudioEngine::ErrorGetCode();
  State.PlayerState = psStopped;
  ShowAudioError(Dlg, this, kStreamError, code);
}

void TfrmMain::btnPauseClick() {
  if (State.CurrentStream == 0) return;
  State.engine.ChannelPause(State.CurrentStream);
  State.PlayerState = psPaused;
}

void TfrmMain::btnStopClick() {
  if (State.CurrentStream == 0) return;
  State.engine.ChannelStop(State.CurrentStream);
  State.engine.StreamFree(State.CurrentStream);
  State.CurrentStream = 0;
  LyricLines.clear();
  PanelLyric->setText(QString());
  State.PlayerState = psStopped;
  State.PlayMode = pmNone;
  ItemLoopLst->setChecked(false);
  ItemLoopSel->setChecked(false);
  ItemLoopSingle->setChecked(false);
}

void TfrmMain::ShowTimerTimer() {
  // Nothing acts before the creation step has set the state up, nor after exit.
  if (!State.Ready) return;
  ShowTimer->stop();
  RearmGuard rearm(*this);
  std::string failure;
  try {
    FollowVolume(*this);
    AppendFailure(&failure, ListLoopStep(*this));
    SingleLoopStep(*this);
    AppendFailure(&failure, LoopSelectionStep(*this));
    ProgressStep(*this);
    EndOfTrackStep(*this);
    ButtonStep(*this);
  } catch (const std::exception& e) {
    AppendFailure(&failure, e.what());
  } catch (...) {
    AppendFailure(&failure, "the refresh step failed");
  }
  // Reported while the timer is still off, so a failure that repeats does not pile up boxes.
  if (!failure.empty()) ShowErrorBox(Dlg, this, State.VersionText, failure);
}

void TfrmMain::tbPlayProgressEnter() { GBPlayProgress->setFocus(); }

void TfrmMain::tbPlayProgressMouseDown(Qt::MouseButton, Qt::KeyboardModifiers, int, int) {
  ShowTimer->stop();
  State.PlayerState = psSeeking;
  State.engine.ChannelPause(State.CurrentStream);
}

void TfrmMain::tbPlayProgressChange() {
  if (State.PlayerState != psSeeking || State.CurrentStream == 0) return;
  const TimeInfo len = StreamLengthInfo(State.engine, State.CurrentStream);
  const std::string at = TimeText(tbPlayProgress->Position());
  SetProgressCaption(*this, ProgressCaption(at, len.text));
  if (!LyricTextEmpty(LyricLines)) ShowLyric(at);
}

void TfrmMain::tbPlayProgressMouseUp(Qt::MouseButton, Qt::KeyboardModifiers, int, int) {
  const audio::Handle h = State.CurrentStream;
  std::uint64_t bytes = State.engine.ChannelSeconds2Bytes(h, tbPlayProgress->Position());
  // The bar's last second is the length rounded, which may lie a little past the end; the seek
  // then goes to the end instead of failing and leaving the track where it was.
  const std::uint64_t length = State.engine.ChannelGetLength(h);
  if (length != audio::kNotAvailable && bytes != audio::kNotAvailable && bytes > length) {
    bytes = length;
  }
  State.engine.ChannelSetPosition(h, bytes);
  State.engine.ChannelPlay(h, false);
  State.PlayerState = psPlaying;
  if (State.Ready) ShowTimer->start();
}

void TfrmMain::tbSetVolumeEnter() { GBPlayControl->setFocus(); }

void TfrmMain::tbSetVolumeUserChange() {
  State.engine.SetVolume(PackedVolume(tbSetVolume->Position()));
}

void TfrmMain::ShowLyric(const std::string& key) {
  const std::string text = ShowLyricText(LyricLines, key);
  if (!text.empty()) PanelLyric->setText(QString::fromUtf8(text));
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
  State.engine.StreamFree(State.CurrentStream);
  State.CurrentStream = 0;
  State.engine.Free();
  LyricLines.clear();
  SelPaths.clear();
  AppTrayIcon->SetEnabled(false);
  // quit() would first ask the windows to close, and the close query refuses every close.
  QCoreApplication::exit(0);
}

}  // namespace quillet
