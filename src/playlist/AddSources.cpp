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

std::unique_ptr<RowProber> ProberFor(std::vector<AddItem> items, FileRow fileRow,
                                     unsigned threads) {
  const std::size_t n = items.size();
  auto shared = std::make_shared<std::vector<AddItem>>(std::move(items));
  return std::make_unique<RowProber>(
      n,
      [shared, fileRow](std::size_t i) {
        const AddItem& item = (*shared)[i];
        if (const auto* row = std::get_if<PlaylistRow>(&item)) return *row;
        return EntryRow(std::get<PlaylistEntry>(item), fileRow);
      },
      threads);
}

AddJob::AddJob(std::vector<std::string> paths, AddOptions options, FileRow fileRow,
               unsigned threads)
    : fileRow_(std::move(fileRow)), threads_(threads) {
  planner_ = std::thread([this, paths = std::move(paths), options] {
    AddPlan plan = PlanAdding(paths, options, [this](const FolderScanProgress& p) {
      std::lock_guard<std::mutex> lk(mu_);
      scan_ = p;
      return !cancelled_;
    });
    std::unique_ptr<RowProber> prober = ProberFor(std::move(plan.items), fileRow_, threads_);
    std::lock_guard<std::mutex> lk(mu_);
    if (cancelled_) prober->Cancel();
    prober_ = std::move(prober);
    errors_ = std::move(plan.errors);
    planned_ = true;
  });
}

AddJob::~AddJob() {
  Cancel();
  planner_.join();
  prober_.reset();  // joins the prober's workers
}

std::size_t AddJob::TakeReady(std::vector<PlaylistRow>* rows, std::size_t max) {
  std::lock_guard<std::mutex> lk(mu_);
  return prober_ ? prober_->TakeReady(rows, max) : 0;
}

void AddJob::Cancel() {
  std::lock_guard<std::mutex> lk(mu_);
  cancelled_ = true;
  if (prober_) prober_->Cancel();
}

bool AddJob::Finished() const {
  std::lock_guard<std::mutex> lk(mu_);
  return planned_ && prober_->Finished();
}

AddJob::Progress AddJob::progress() const {
  std::lock_guard<std::mutex> lk(mu_);
  Progress p;
  p.planning = !planned_;
  p.scan = scan_;
  if (prober_) {
    p.total = prober_->count();
    p.taken = prober_->taken();
  }
  return p;
}

std::vector<std::string> AddJob::errors() const {
  std::lock_guard<std::mutex> lk(mu_);
  return errors_;
}

}  // namespace quillet
