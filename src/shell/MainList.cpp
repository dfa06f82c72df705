#include "shell/MainList.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QItemSelectionModel>
#include <QProgressDialog>
#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>

#include "common/DisplayText.h"
#include "common/FileIo.h"
#include "playlist/AddSources.h"
#include "playlist/RowProber.h"
#include "shell/TfrmMain.h"

namespace quillet {

namespace {

std::vector<int> RowsOf(const QItemSelection& s) {
  std::vector<int> rows;
  for (const QItemSelectionRange& r : s) {
    for (int row = r.top(); row <= r.bottom(); ++row) rows.push_back(row);
  }
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  return rows;
}

}  // namespace

MainList::MainList(TfrmMain& main) : QObject(&main), w_(main), list_(main.Player.List()) {
  setObjectName(QStringLiteral("MainList"));
  ODAddFile.multiple = true;
  list_.Watch(this);
  QItemSelectionModel* sm = w_.ListViewLst->selectionModel();
  connect(sm, &QItemSelectionModel::selectionChanged, this,
          [this](const QItemSelection& selected, const QItemSelection& deselected) {
            ViewSelectionChanged(RowsOf(selected), RowsOf(deselected));
          });
  connect(sm, &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) { list_.SetFocused(current.row()); });
}

MainList::~MainList() { list_.Unwatch(this); }

int MainList::FocusedRow() const {
  const QModelIndex current = w_.ListViewLst->selectionModel()->currentIndex();
  return current.isValid() ? current.row() : -1;
}

// The player changed the selection: the view shows it, its focus mark on the list's focused row.
void MainList::SelectionChanged() {
  if (mirroring_) return;
  QItemSelectionModel* sm = w_.ListViewLst->selectionModel();
  std::vector<int> shown;
  for (const QModelIndex& index : sm->selectedRows()) shown.push_back(index.row());
  std::sort(shown.begin(), shown.end());
  const int focused = list_.Focused();
  const bool moveFocus = focused >= 0 && focused != FocusedRow();
  if (shown == list_.Selected() && !moveFocus) return;
  mirroring_ = true;
  const std::vector<int>& rows = list_.Selected();
  QItemSelection selection;
  for (std::size_t i = 0; i < rows.size();) {
    std::size_t j = i;
    while (j + 1 < rows.size() && rows[j + 1] == rows[j] + 1) ++j;
    selection.select(w_.ListModel->index(rows[i], 0),
                     w_.ListModel->index(rows[j], PlaylistModel::kColumns - 1));
    i = j + 1;
  }
  if (moveFocus) {
    sm->setCurrentIndex(w_.ListModel->index(focused, 0), QItemSelectionModel::NoUpdate);
  }
  sm->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  mirroring_ = false;
}

// The user changed the view's selection: the list takes it. The view goes to the row that
// became selected (the focused one, when a range did), never back to one that lost the
// selection in the same change: that would move the list away from the row just clicked or moved
// to.
void MainList::ViewSelectionChanged(const std::vector<int>& on, const std::vector<int>& off) {
  if (!mirroring_) {
    std::vector<int> rows;
    for (const QModelIndex& index : w_.ListViewLst->selectionModel()->selectedRows()) {
      rows.push_back(index.row());
    }
    mirroring_ = true;
    list_.SetSelection(std::move(rows), FocusedRow());
    mirroring_ = false;
  }
  if (!on.empty()) {
    const int focused = FocusedRow();
    ListViewLstSelectItem(std::binary_search(on.begin(), on.end(), focused) ? focused : on.front(),
                          true);
  } else if (off.size() == 1) {
    ListViewLstSelectItem(off.front(), false);
  } else if (off.size() > 1) {
    ListViewLstSelectItem(-1, false);
  }
}

void MainList::KeepFocusedSelected() {
  const int focused = FocusedRow();
  if (focused < 0) return;
  std::vector<int> rows = list_.Selected();
  rows.push_back(focused);
  list_.SetSelection(std::move(rows), focused);
}

// Appends a row per path, in order, probed on every core. Many files that take a while show a
// progress dialog with the count, which keeps the window (and the refresh tick) alive while they
// are probed; cancelling it keeps the rows made so far and skips the rest.
void MainList::AddRows(const std::vector<std::string>& paths) {
  if (paths.empty()) return;
  std::shared_ptr<RowProber> prober = RowProber::ForPaths(paths, list_.RowMaker());
  const std::size_t total = paths.size();
  TakeRows({[prober](std::vector<PlaylistRow>* rows, std::size_t max) {
              return prober->TakeReady(rows, max);
            },
            [prober] { return prober->Finished(); }, [prober] { prober->Cancel(); },
            [total] { return total; }});
}

void MainList::AddExpanded(const std::vector<std::string>& paths) {
  if (paths.empty()) return;
  auto job = std::make_shared<AddJob>(paths, AddOptions{}, list_.RowMaker());
  TakeRows(
      {[job](std::vector<PlaylistRow>* rows, std::size_t max) { return job->TakeReady(rows, max); },
       [job] { return job->Finished(); }, [job] { job->Cancel(); },
       [job] {
         const AddJob::Progress p = job->progress();
         return p.planning ? std::size_t{0} : p.total;
       }});
  const std::vector<std::string> errors = job->errors();
  if (errors.empty()) return;
  std::string text;
  for (const std::string& e : errors) text += (text.empty() ? "" : "\n") + e;
  ShowErrorBox(w_.Dlg, &w_, w_.Player.Shared.VersionText, text);
}

// The rows are appended a few at a time as they become ready. The events are served between
// them (not while waiting for the first ones, so a cancel always finds some rows added).
void MainList::TakeRows(const RowFeed& feed) {
  constexpr std::size_t kBatch = 16;
  constexpr qint64 kServeEveryMs = 20;
  QElapsedTimer clock;
  clock.start();
  qint64 served = 0;
  std::size_t taken = 0;
  std::unique_ptr<QProgressDialog> progress;
  while (!feed.finished()) {
    std::vector<PlaylistRow> rows;
    const std::size_t got = feed.take(&rows, kBatch);
    if (got > 0) {
      taken += got;
      list_.Append(std::move(rows));
    }
    const std::size_t total = feed.total();
    const bool many = total == 0 || total >= static_cast<std::size_t>(kAddProgressThreshold);
    if (!progress && many && clock.elapsed() >= AddProgressDelayMs && !feed.finished()) {
      progress = std::make_unique<QProgressDialog>(&w_);
      progress->setObjectName(QStringLiteral("AddProgress"));
      progress->setWindowTitle(DisplayText(w_.Player.Shared.VersionText));
      progress->setCancelButtonText(QString::fromUtf8("取消"));
      progress->setWindowModality(Qt::WindowModal);
      progress->setMinimumDuration(0);
      progress->setAutoReset(false);
      progress->setAutoClose(false);
    }
    if (got == 0 && clock.elapsed() - served < kServeEveryMs) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      continue;
    }
    served = clock.elapsed();
    if (progress) {
      if (progress->wasCanceled()) {
        feed.cancel();
        break;
      }
      if (total == 0) {
        progress->setRange(0, 0);
        progress->setLabelText(QString::fromUtf8("正在查找歌曲……"));
      } else {
        progress->setRange(0, static_cast<int>(total));
        progress->setLabelText(QString::fromUtf8("正在添加歌曲：第 %1 首，共 %2 首")
                                   .arg(std::min(taken + 1, total))
                                   .arg(total));
      }
      // A modal progress dialog serves the events as its value is set.
      progress->setValue(static_cast<int>(std::min(taken, total)));
      if (progress->wasCanceled()) {
        feed.cancel();
        break;
      }
    } else if (clock.elapsed() >= AddProgressDelayMs) {
      QCoreApplication::processEvents();
    }
  }
}

void MainList::AddTrackRow(const std::string& path) { list_.Append(list_.Probe(path)); }

void MainList::btnAddLstClick() {
  ODAddFile.title = QString::fromUtf8("添加歌曲...（可以选择多个！）");
  ODAddFile.filter = QString::fromUtf8(
      "MP3音频文件（*.mp3）|*.mp3|WAV音频文件（*.wav）|*.wav|"
      "所有音频文件（*.mp3,*.wav）|*.mp3;*.wav|所有文件（*.*）|*.*");
  ODAddFile.directory = PathText(w_.Player.Shared.LyricDir);
  ODAddFile.multiple = true;
  const Dialogs::FileResult chosen = w_.Dlg.openFiles(&w_, ODAddFile);
  if (!chosen.accepted) return;
  // The entry chosen now is the one offered next time.
  ODAddFile.filterIndex = chosen.filterIndex;
  std::vector<std::string> paths;
  paths.reserve(static_cast<std::size_t>(chosen.files.size()));
  for (const QString& f : chosen.files) paths.push_back(LocalBytes(f));
  AddRows(paths);
  list_.ClearSelection();
  if (list_.Count() > 0) list_.SelectOnly(0);
  if (w_.isVisible()) w_.ListViewLst->setFocus();
}

void MainList::WMDropFiles(const std::vector<std::string>& paths) {
  // With the option on, folders and playlists open; off, every name whole, whatever it names.
  if (w_.Player.Shared.options.addFoldersOnDrop) {
    AddExpanded(paths);
  } else {
    AddRows(paths);
  }
}

void MainList::btnDelLstClick() {
  // The rows are taken before the question: a tick may move the selection while it is open.
  const std::vector<int> rows = list_.Selected();
  if (rows.empty()) return;
  if (!AskOkCancel(w_.Dlg, &w_, "确定要删除列表中所选择的歌曲吗?")) return;
  list_.Remove(rows);
}

void MainList::ItemClearLstClick() {
  if (list_.Count() == 0) return;
  if (!AskOkCancel(w_.Dlg, &w_, "确定要清空播放列表吗?")) return;
  list_.Clear();
}

void MainList::ListViewLstClick() { KeepFocusedSelected(); }

void MainList::ListViewLstSelectItem(int row, bool) {
  if (row < 0 || row >= list_.Count()) return;
  w_.ListViewLst->scrollTo(w_.ListModel->index(row, 0), QAbstractItemView::EnsureVisible);
}

void MainList::ListViewLstDblClick() { w_.Player.PlayAfresh(); }

void MainList::OpenFiles(const std::vector<std::string>& paths) {
  if (!w_.Player.Snapshot().ready || paths.empty()) return;
  const int first = list_.Count();
  // With the progress dialog for many files, whose cancel keeps the rows made so far.
  AddExpanded(paths);
  if (list_.Count() <= first) return;
  list_.SelectOnly(first);
  if (w_.isVisible()) w_.ListViewLst->setFocus();
  w_.Player.PlayRow(first);
}

}  // namespace quillet
