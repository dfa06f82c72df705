#include "playlist/AddSources.h"

#include "common/FileIo.h"

namespace quillet {

namespace {

PlaylistEntry EntryOf(std::string path) {
  PlaylistEntry e;
  e.path = std::move(path);
  return e;
}

}  // namespace

AddPlan PlanAdding(const std::vector<std::string>& paths, const AddOptions& options,
                   const FolderScanCallback& progress) {
  AddPlan plan;
  for (const std::string& path : paths) {
    if (options.open_folders && IsDirectory(path)) {
      FolderScanResult scan = ScanFolder(path, progress);
      for (std::string& file : scan.files) plan.items.emplace_back(EntryOf(std::move(file)));
      plan.errors.insert(plan.errors.end(), scan.unreadable.begin(), scan.unreadable.end());
      if (scan.cancelled) {
        plan.cancelled = true;
        return plan;
      }
      continue;
    }
    const PlaylistFormat format = PlaylistFormatOfPath(path);
    if (options.open_playlists && format != PlaylistFormat::kNone && IsRegularFile(path)) {
      if (format == PlaylistFormat::kPst) {
        std::vector<PlaylistRow> rows;
        const IoResult io = LoadPlaylistFile(path, &rows);
        if (!io.ok) plan.errors.push_back(io.error);
        for (PlaylistRow& row : rows) plan.items.emplace_back(std::move(row));
      } else {
        std::vector<PlaylistEntry> entries;
        const IoResult io = ReadForeignPlaylist(path, &entries);
        if (!io.ok) plan.errors.push_back(io.error);
        for (PlaylistEntry& e : entries) plan.items.emplace_back(std::move(e));
      }
      continue;
    }
    plan.items.emplace_back(EntryOf(path));
  }
  return plan;
}

std::unique_ptr<RowProber> ProberFor(std::vector<AddItem> items, unsigned threads) {
  const std::size_t n = items.size();
  auto shared = std::make_shared<std::vector<AddItem>>(std::move(items));
  return std::make_unique<RowProber>(
      n,
      [shared](std::size_t i) {
        const AddItem& item = (*shared)[i];
        if (const auto* row = std::get_if<PlaylistRow>(&item)) return *row;
        return EntryRow(std::get<PlaylistEntry>(item));
      },
      threads);
}

}  // namespace quillet
