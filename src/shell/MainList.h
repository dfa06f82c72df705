// The main window's playlist seam: adding (by dialog, drop, command line), deleting, clearing,
// double-clicking a row, and the view's selection kept the same as the player's track list in
// both directions.
#pragma once

#include <QObject>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "platform/Dialogs.h"
#include "player/PlaybackRules.h"
#include "player/TrackList.h"

namespace quillet {

class TfrmMain;

class MainList : public QObject, private TrackList::Watcher {
 public:
  explicit MainList(TfrmMain& main);
  ~MainList() override;
  MainList(const MainList&) = delete;
  MainList& operator=(const MainList&) = delete;

  // The add dialog's settings; set up just before each use and kept between uses.
  Dialogs::FileRequest ODAddFile;
  // How long adding many files runs before its progress dialog appears; tests shorten it.
  int AddProgressDelayMs = kAddProgressDelayMs;

  // The row with the view's focus mark, or -1.
  int FocusedRow() const;

  void AddTrackRow(const std::string& path);
  void btnAddLstClick();
  void WMDropFiles(const std::vector<std::string>& paths);
  void btnDelLstClick();
  void ItemClearLstClick();
  void ListViewLstClick();
  // row -1: the view changed the selection of many rows at once without naming one.
  void ListViewLstSelectItem(int row, bool selected);
  void ListViewLstDblClick();
  // Adds the named paths as rows, in order, then starts the first new row as a double-click on
  // it does: folders add the audio below them and playlists their entries. Nothing happens
  // before start-up is done or after exit.
  void OpenFiles(const std::vector<std::string>& paths);
  // Adds the focused row to the selection, keeping the rows already selected.
  void KeepFocusedSelected();

 private:
  void SelectionChanged() override;
  void ViewSelectionChanged(const std::vector<int>& on, const std::vector<int>& off);
  void AddRows(const std::vector<std::string>& paths);
  // Folders and playlists opened (the command line, a drop with the option on); unreadable
  // ones are reported in the error box once the rest is added.
  void AddExpanded(const std::vector<std::string>& paths);

  // Rows made off this thread, taken in order as they come.
  struct RowFeed {
    std::function<std::size_t(std::vector<PlaylistRow>*, std::size_t)> take;
    std::function<bool()> finished;
    std::function<void()> cancel;
    std::function<std::size_t()> total;  // 0 while not yet known
  };
  void TakeRows(const RowFeed& feed);

  TfrmMain& w_;
  TrackList& list_;
  bool mirroring_ = false;
};

}  // namespace quillet
