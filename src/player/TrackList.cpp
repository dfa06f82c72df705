#include "player/TrackList.h"

#include <algorithm>

namespace quillet {

namespace {

// Sorted, without duplicates and without rows outside [0, count).
void Normalise(std::vector<int>* rows, int count) {
  std::sort(rows->begin(), rows->end());
  rows->erase(std::unique(rows->begin(), rows->end()), rows->end());
  std::erase_if(*rows, [count](int r) { return r < 0 || r >= count; });
}

}  // namespace

TrackList::TrackList(LengthProbe probe) : probe_(std::move(probe)) {}

void TrackList::Watch(Watcher* watcher) { watchers_.push_back(watcher); }

void TrackList::Unwatch(Watcher* watcher) { std::erase(watchers_, watcher); }

LegacyEncoding LegacyEncodingFor(TagEncoding encoding) {
  switch (encoding) {
    case TagEncoding::Gb18030:
      return LegacyEncoding::kGb18030;
    case TagEncoding::Big5:
      return LegacyEncoding::kBig5;
    case TagEncoding::Latin1:
      return LegacyEncoding::kLatin1;
    case TagEncoding::Auto:
      break;
  }
  return LegacyEncoding::kAuto;
}

TrackProbeOptions RowOptionsFor(const Options& options) {
  TrackProbeOptions o;
  o.fullTags = options.fullTags;
  o.tagEncoding = LegacyEncodingFor(options.tagEncoding);
  return o;
}

PlaylistRow TrackList::Probe(const std::string& path) const {
  return ProbeTrackRow(path, probe_, rowOptions_);
}

FileRow TrackList::RowMaker() const {
  return [probe = probe_, options = rowOptions_](const std::string& path) {
    return ProbeTrackRow(path, probe, options);
  };
}

void TrackList::Append(PlaylistRow row) {
  const int at = Count();
  Tell([at](Watcher& w) { w.BeforeInsert(at, at); });
  rows_.push_back(std::move(row));
  Tell([](Watcher& w) { w.AfterInsert(); });
}

void TrackList::Append(std::vector<PlaylistRow> rows) {
  if (rows.empty()) return;
  const int first = Count();
  const int last = first + static_cast<int>(rows.size()) - 1;
  Tell([first, last](Watcher& w) { w.BeforeInsert(first, last); });
  rows_.insert(rows_.end(), std::make_move_iterator(rows.begin()),
               std::make_move_iterator(rows.end()));
  Tell([](Watcher& w) { w.AfterInsert(); });
}

void TrackList::Remove(std::vector<int> rows) {
  Normalise(&rows, Count());
  if (rows.empty()) return;
  // From the bottom up, one contiguous run at a time, so the indices above stay valid.
  auto it = rows.rbegin();
  while (it != rows.rend()) {
    const int last = *it;
    int first = last;
    ++it;
    while (it != rows.rend() && *it == first - 1) {
      first = *it;
      ++it;
    }
    Tell([first, last](Watcher& w) { w.BeforeRemove(first, last); });
    rows_.erase(rows_.begin() + first, rows_.begin() + last + 1);
    // The selection follows its rows: removed ones go, those below move up.
    const int gone = last - first + 1;
    std::vector<int> kept;
    for (int s : selected_) {
      if (s < first) {
        kept.push_back(s);
      } else if (s > last) {
        kept.push_back(s - gone);
      }
    }
    selected_ = std::move(kept);
    if (focused_ > last) {
      focused_ -= gone;
    } else if (focused_ >= first) {
      focused_ = -1;
    }
    Tell([](Watcher& w) { w.AfterRemove(); });
  }
  Tell([](Watcher& w) { w.SelectionChanged(); });
}

void TrackList::Clear() {
  if (rows_.empty()) return;
  Tell([](Watcher& w) { w.BeforeReset(); });
  rows_.clear();
  selected_.clear();
  focused_ = -1;
  Tell([](Watcher& w) { w.AfterReset(); });
  Tell([](Watcher& w) { w.SelectionChanged(); });
}

std::vector<std::string> TrackList::SelectedPaths() const {
  std::vector<std::string> paths;
  paths.reserve(selected_.size());
  for (int r : selected_) paths.push_back(Row(r).path);
  return paths;
}

void TrackList::SetSelection(std::vector<int> rows, int focused) {
  Normalise(&rows, Count());
  if (focused >= 0 && focused < Count()) focused_ = focused;
  if (rows == selected_) return;
  selected_ = std::move(rows);
  Tell([](Watcher& w) { w.SelectionChanged(); });
}

void TrackList::SelectOnly(int row) {
  if (row < 0 || row >= Count()) return;
  focused_ = row;
  selected_ = {row};
  // Told even when it was so already: the view may have moved its focus mark meanwhile.
  Tell([](Watcher& w) { w.SelectionChanged(); });
}

void TrackList::ClearSelection() { SetSelection({}); }

}  // namespace quillet
