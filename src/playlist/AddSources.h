// What a list of named paths adds to the playlist (the command line, a drop, a running
// Quillet handed paths): folders open into the audio files below them, playlists into their
// entries, anything else is one row as always. The items come out in order, ready for a
// RowProber: a path or playlist entry is probed (when its file exists), a row of a .pst is
// taken as stored.
#pragma once

#include <memory>
#include <string>
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
std::unique_ptr<RowProber> ProberFor(std::vector<AddItem> items, unsigned threads = 0);

}  // namespace quillet
