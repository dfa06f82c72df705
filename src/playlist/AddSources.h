// What a list of named paths adds to the playlist (the command line, a drop, a running
// Quillet handed paths): folders open into the audio files below them, playlists into their
// entries, anything else is one row as always. The items come out in order, ready for a
// RowProber: a path or playlist entry is probed (when its file exists), a row of a .pst is
// taken as stored.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "playlist/FolderScan.h"
#include "playlist/ForeignPlaylist.h"
#include "playlist/Playlist.h"
#include "playlist/RowProber.h"

namespace quillet {

// One thing to add: an entry (a path, perhaps with what a playlist says of it) or a stored row.
using AddItem = std::variant<PlaylistEntry, PlaylistRow>;

struct AddOptions {
  bool open_folders = true;    // a folder adds the audio below it (else: one row, as before)
  bool open_playlists = true;  // .pst, .m3u, .m3u8, .pls, .xspf add their rows (else: one row)
};

struct AddPlan {
  std::vector<AddItem> items;
  std::vector<std::string> errors;  // playlists or folders that could not be read, with why
  bool cancelled = false;           // a folder scan was cancelled; `items` holds what came before
};

// Expands `paths` in order. `progress` follows the folder scans and may cancel them.
AddPlan PlanAdding(const std::vector<std::string>& paths, const AddOptions& options = {},
                   const FolderScanCallback& progress = {});

// A prober making the items' rows: EntryRow for entries, stored rows as they are.
std::unique_ptr<RowProber> ProberFor(std::vector<AddItem> items, FileRow fileRow,
                                     unsigned threads = 0);

// The whole of adding named paths off the caller's thread: PlanAdding on a thread of its own,
// then the rows on every core. The caller's tick takes the rows in order as they come.
class AddJob {
 public:
  AddJob(std::vector<std::string> paths, AddOptions options, FileRow fileRow, unsigned threads = 0);
  // Cancels and waits for the threads (each finishes the file it is reading).
  ~AddJob();
  AddJob(const AddJob&) = delete;
  AddJob& operator=(const AddJob&) = delete;

  // Moves up to `max` rows that are ready, in order, to the end of *rows; returns how many.
  std::size_t TakeReady(std::vector<PlaylistRow>* rows, std::size_t max = SIZE_MAX);
  // Stops scanning folders and making rows; the rows made so far in order can still be taken.
  void Cancel();
  // True once every row has been taken (or, after Cancel, once nothing more will come).
  bool Finished() const;

  struct Progress {
    bool planning = true;     // folders are still being scanned
    FolderScanProgress scan;  // the folder scan so far
    std::size_t total = 0;    // rows to make, once planned
    std::size_t taken = 0;    // rows taken so far
  };
  Progress progress() const;
  // Folders and playlists that could not be read, once planning is over.
  std::vector<std::string> errors() const;

 private:
  mutable std::mutex mu_;
  bool cancelled_ = false;
  bool planned_ = false;
  FolderScanProgress scan_;
  std::vector<std::string> errors_;
  std::unique_ptr<RowProber> prober_;
  FileRow fileRow_;
  unsigned threads_;
  std::thread planner_;
};

}  // namespace quillet
