#include "playlist/RowProber.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

#include "common/FileIo.h"
#include "playlist/TrackProbe.h"

namespace quillet {

PlaylistRow EntryRow(const PlaylistEntry& entry, const FileRow& fileRow) {
  if (!entry.path.empty() && IsRegularFile(entry.path)) return fileRow(entry.path);
  return RowFromEntry(entry);
}

struct RowProber::Shared {
  MakeRow make;
  std::mutex mu;
  std::condition_variable ready;  // a row was made, or a worker stopped
  std::vector<std::optional<PlaylistRow>> slots;
  std::atomic<std::size_t> next{0};  // the next index a worker takes
  std::atomic<bool> cancelled{false};
  std::size_t taken = 0;  // rows handed out so far (under mu)
  unsigned running = 0;   // workers still running (under mu)
  std::vector<std::thread> workers;

  bool HasReady() const { return taken < slots.size() && slots[taken].has_value(); }
  bool Done() const { return taken == slots.size() || (cancelled && running == 0 && !HasReady()); }
};

RowProber::RowProber(std::size_t count, MakeRow make, unsigned threads)
    : count_(count), shared_(std::make_shared<Shared>()) {
  shared_->make = std::move(make);
  shared_->slots.resize(count);
  if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
  threads = static_cast<unsigned>(std::min<std::size_t>(threads, count));
  shared_->running = threads;
  for (unsigned i = 0; i < threads; ++i) shared_->workers.emplace_back([this] { Work(); });
}

RowProber::~RowProber() {
  Cancel();
  for (std::thread& t : shared_->workers) t.join();
}

void RowProber::Work() {
  Shared& s = *shared_;
  for (;;) {
    if (s.cancelled) break;
    const std::size_t i = s.next.fetch_add(1);
    if (i >= s.slots.size()) break;
    PlaylistRow row = s.make(i);
    std::lock_guard<std::mutex> lk(s.mu);
    s.slots[i] = std::move(row);
    if (i == s.taken) s.ready.notify_all();
  }
  std::lock_guard<std::mutex> lk(s.mu);
  --s.running;
  s.ready.notify_all();
}

std::unique_ptr<RowProber> RowProber::ForPaths(std::vector<std::string> paths, FileRow fileRow,
                                               unsigned threads) {
  const std::size_t n = paths.size();
  auto shared_paths = std::make_shared<std::vector<std::string>>(std::move(paths));
  return std::make_unique<RowProber>(
      n, [shared_paths, fileRow](std::size_t i) { return fileRow((*shared_paths)[i]); }, threads);
}

std::unique_ptr<RowProber> RowProber::ForEntries(std::vector<PlaylistEntry> entries, FileRow fileRow,
                                                 unsigned threads) {
  const std::size_t n = entries.size();
  auto shared_entries = std::make_shared<std::vector<PlaylistEntry>>(std::move(entries));
  return std::make_unique<RowProber>(
      n, [shared_entries, fileRow](std::size_t i) { return EntryRow((*shared_entries)[i], fileRow); },
      threads);
}

std::size_t RowProber::TakeReady(std::vector<PlaylistRow>* rows, std::size_t max) {
  Shared& s = *shared_;
  std::lock_guard<std::mutex> lk(s.mu);
  std::size_t n = 0;
  while (n < max && s.HasReady()) {
    rows->push_back(std::move(*s.slots[s.taken]));
    s.slots[s.taken].reset();
    ++s.taken;
    ++n;
  }
  return n;
}

bool RowProber::WaitReady(std::chrono::milliseconds timeout) {
  Shared& s = *shared_;
  std::unique_lock<std::mutex> lk(s.mu);
  return s.ready.wait_for(lk, timeout, [&s] { return s.HasReady() || s.Done(); });
}

void RowProber::Cancel() {
  Shared& s = *shared_;
  std::lock_guard<std::mutex> lk(s.mu);
  s.cancelled = true;
  s.ready.notify_all();
}

bool RowProber::Finished() const {
  Shared& s = *shared_;
  std::lock_guard<std::mutex> lk(s.mu);
  return s.Done();
}

std::size_t RowProber::taken() const {
  Shared& s = *shared_;
  std::lock_guard<std::mutex> lk(s.mu);
  return s.taken;
}

std::size_t ProbeInOrder(std::size_t count, const RowProber::MakeRow& make,
                         const std::function<void(std::size_t, PlaylistRow&&)>& on_row,
                         const std::function<bool()>& cancelled, unsigned threads) {
  RowProber prober(count, make, threads);
  std::vector<PlaylistRow> rows;
  std::size_t delivered = 0;
  while (!prober.Finished()) {
    if (cancelled && cancelled()) {
      prober.Cancel();
      break;
    }
    prober.WaitReady(std::chrono::milliseconds(20));
    rows.clear();
    prober.TakeReady(&rows);
    for (PlaylistRow& row : rows) {
      if (cancelled && cancelled()) {
        prober.Cancel();
        return delivered;
      }
      on_row(delivered++, std::move(row));
    }
  }
  return delivered;
}

}  // namespace quillet
