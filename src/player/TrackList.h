// The playlist the player plays: rows of five byte texts (name, singer, album, length, path) and
// which of them are selected. The list view shows it and hands the user's selection to it; every
// other face (the player's commands, the media controls, the command line) reads and changes it
// here. Watchers hear of every change, rows before and after it (so a Qt model can wrap it), the
// selection after it.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "common/Options.h"
#include "playlist/Playlist.h"
#include "playlist/RowProber.h"
#include "playlist/TrackProbe.h"

namespace quillet {

// The Options window's tag encoding as the tag reader takes it.
LegacyEncoding LegacyEncodingFor(TagEncoding encoding);
// How files become rows under the options: full tags and the tag encoding (the row encoding
// stays the locale's).
TrackProbeOptions RowOptionsFor(const Options& options);

class TrackList {
 public:
  // What a watcher is told. Rows [first, last] are inserted or removed; a reset replaces all.
  struct Watcher {
    virtual ~Watcher() = default;
    virtual void BeforeInsert(int /*first*/, int /*last*/) {}
    virtual void AfterInsert() {}
    virtual void BeforeRemove(int /*first*/, int /*last*/) {}
    virtual void AfterRemove() {}
    virtual void BeforeReset() {}
    virtual void AfterReset() {}
    virtual void SelectionChanged() {}
  };

  // `probe` measures a file's length for the rows that files become.
  explicit TrackList(LengthProbe probe);
  TrackList(const TrackList&) = delete;
  TrackList& operator=(const TrackList&) = delete;

  void Watch(Watcher* watcher);
  void Unwatch(Watcher* watcher);

  // ---- Rows ------------------------------------------------------------------------------------
  const std::vector<PlaylistRow>& Rows() const { return rows_; }
  const PlaylistRow& Row(int row) const { return rows_.at(static_cast<std::size_t>(row)); }
  int Count() const { return static_cast<int>(rows_.size()); }

  // The row a file becomes (its tag, name and length, under the row options); nothing is added.
  PlaylistRow Probe(const std::string& path) const;
  // What Probe and RowMaker read from files; the defaults read ID3v1 alone.
  void SetRowOptions(const TrackProbeOptions& options) { rowOptions_ = options; }
  const TrackProbeOptions& RowOptions() const { return rowOptions_; }
  // Probe as a function of its own, with the length probe and the row options of now bound in:
  // it may be copied and called from any thread, and later changes of the options do not reach it.
  FileRow RowMaker() const;
  void Append(PlaylistRow row);
  void Append(std::vector<PlaylistRow> rows);
  // Removes the given rows (any order, duplicates and rows out of range allowed); the rest keep
  // their order, and their selection.
  void Remove(std::vector<int> rows);
  void Clear();

  // ---- Selection -------------------------------------------------------------------------------
  // Every selected row, ascending.
  const std::vector<int>& Selected() const { return selected_; }
  // The first selected row (lowest index), or -1.
  int FirstSelected() const { return selected_.empty() ? -1 : selected_.front(); }
  // The focused row (where the view's focus mark is), or -1.
  int Focused() const { return focused_; }
  std::vector<std::string> SelectedPaths() const;

  // Selects exactly `rows` (out-of-range ones are left out); `focused` -1 keeps the focus mark.
  void SetSelection(std::vector<int> rows, int focused = -1);
  // `row` becomes the focused and only selected row.
  void SelectOnly(int row);
  void ClearSelection();
  // The view moved its focus mark; nothing is told.
  void SetFocused(int row) { focused_ = row >= 0 && row < Count() ? row : -1; }

 private:
  template <typename F>
  void Tell(F f) {
    const std::vector<Watcher*> now = watchers_;
    for (Watcher* w : now) f(*w);
  }

  LengthProbe probe_;
  TrackProbeOptions rowOptions_;
  std::vector<PlaylistRow> rows_;
  std::vector<int> selected_;
  int focused_ = -1;
  std::vector<Watcher*> watchers_;
};

}  // namespace quillet
