// Making many playlist rows at once: the rows are made on a few worker threads (one per core)
// off the caller's thread and handed out in their order, so a user-interface tick can take
// what is ready without waiting. Cancelling keeps the rows made so far.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "playlist/ForeignPlaylist.h"
#include "playlist/Playlist.h"
#include "playlist/TrackProbe.h"

namespace quillet {

// The row a file becomes (ProbeTrackRow with the caller's length probe and options). Called on
// the worker threads: it must be safe to call from several at once.
using FileRow = std::function<PlaylistRow(const std::string& path)>;

// The row for a playlist entry: made by `fileRow` when its path is a regular file, RowFromEntry
// otherwise. A file that does not exist is never opened.
PlaylistRow EntryRow(const PlaylistEntry& entry, const FileRow& fileRow);

class RowProber {
 public:
  // Makes the row of item `index`; called on the worker threads, for each index once.
  using MakeRow = std::function<PlaylistRow(std::size_t index)>;

  // Starts at once on `threads` workers (0: one per core), never more than `count`.
  RowProber(std::size_t count, MakeRow make, unsigned threads = 0);
  // Cancels and waits for the workers (each finishes the row it is making).
  ~RowProber();
  RowProber(const RowProber&) = delete;
  RowProber& operator=(const RowProber&) = delete;

  // `fileRow` for each path, in order.
  static std::unique_ptr<RowProber> ForPaths(std::vector<std::string> paths, FileRow fileRow,
                                             unsigned threads = 0);
  // EntryRow for each playlist entry: files that exist are probed, the rest become rows from
  // what the playlist says.
  static std::unique_ptr<RowProber> ForEntries(std::vector<PlaylistEntry> entries, FileRow fileRow,
                                               unsigned threads = 0);

  // Moves up to `max` rows that are ready, in order and without a gap, to the end of *rows;
  // returns how many. Never blocks on the workers.
  std::size_t TakeReady(std::vector<PlaylistRow>* rows, std::size_t max = SIZE_MAX);
  // Waits until TakeReady has something, or Finished(), or the time is up.
  bool WaitReady(std::chrono::milliseconds timeout);
  // No further rows are started. Rows already made that follow the taken ones in order can
  // still be taken; the rest are dropped.
  void Cancel();
  // True when every row has been taken, or after Cancel once nothing more will come.
  bool Finished() const;

  std::size_t count() const { return count_; }
  std::size_t taken() const;

 private:
  struct Shared;
  void Work();

  std::size_t count_;
  std::shared_ptr<Shared> shared_;
};

// Makes `count` rows on the workers and hands them to `on_row` on the calling thread, in order.
// `cancelled` is asked between rows (and while waiting); once it says yes no further row is
// delivered. Returns the number of rows delivered.
std::size_t ProbeInOrder(std::size_t count, const RowProber::MakeRow& make,
                         const std::function<void(std::size_t index, PlaylistRow&& row)>& on_row,
                         const std::function<bool()>& cancelled = {}, unsigned threads = 0);

}  // namespace quillet
