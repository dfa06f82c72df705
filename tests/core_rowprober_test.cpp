// Rows made on several threads arrive in order; cancelling keeps the rows made so far.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "player/PlaySession.h"
#include "playlist/AddSources.h"
#include "playlist/FolderScan.h"
#include "playlist/RowProber.h"
#include "playlist/TrackProbe.h"
#include "support/fixtures/AudioFixtures.h"
#include "support/fixtures/FileFixtures.h"

namespace quillet {
namespace {

// Rows as the program makes them: the engine's length probe, today's tag texts.
quillet::FileRow Rows() {
  return [probe = quillet::EngineLengthProbe()](const std::string& path) {
    return quillet::ProbeTrackRow(path, probe);
  };
}

// A row named after its index, made slowly and unevenly so that later rows often finish first.
PlaylistRow SlowRow(std::size_t i) {
  std::this_thread::sleep_for(std::chrono::microseconds((i * 7919) % 5 * 300));
  PlaylistRow row;
  row.name = std::to_string(i);
  return row;
}

std::vector<PlaylistRow> TakeAll(RowProber& prober) {
  std::vector<PlaylistRow> rows;
  while (!prober.Finished()) {
    prober.WaitReady(std::chrono::milliseconds(50));
    prober.TakeReady(&rows, 7);  // a tick takes a few at a time
  }
  return rows;
}

TEST(RowProber, HandsOutRowsInOrderAndKeepsThemOnCancel) {
  for (unsigned threads : {1u, 2u, 5u}) {
    SCOPED_TRACE(threads);
    RowProber prober(120, SlowRow, threads);
    const std::vector<PlaylistRow> rows = TakeAll(prober);
    ASSERT_EQ(rows.size(), 120u);
    for (std::size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(rows[i].name, std::to_string(i));
  }

  std::atomic<std::size_t> made{0};
  RowProber prober(
      5000,
      [&made](std::size_t i) {
        ++made;
        return SlowRow(i);
      },
      3);
  std::vector<PlaylistRow> rows;
  while (rows.size() < 40) {
    prober.WaitReady(std::chrono::milliseconds(50));
    prober.TakeReady(&rows);
  }
  prober.Cancel();
  for (const PlaylistRow& row : TakeAll(prober)) rows.push_back(row);
  EXPECT_TRUE(prober.Finished());
  ASSERT_GE(rows.size(), 40u);
  EXPECT_LT(made.load(), 5000u);  // the work stopped
  for (std::size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(rows[i].name, std::to_string(i));

  std::vector<std::size_t> seen;
  const std::size_t delivered = ProbeInOrder(
      300, SlowRow,
      [&seen](std::size_t i, PlaylistRow&& row) {
        EXPECT_EQ(row.name, std::to_string(i));
        seen.push_back(i);
      },
      [&seen] { return seen.size() >= 30; }, 2);
  EXPECT_EQ(delivered, 30u);
  EXPECT_EQ(seen.size(), 30u);
}

// A folder of 1,000 files scanned and probed on every core, cancelled half-way: the rows made
// are the first files' rows, exactly as probing them one by one makes them.
TEST(RowProber, ThousandFilesFromAFolderCancelledHalfWay) {
  testing::TempDir dir;
  for (int i = 1; i <= 1000; ++i)
    testing::WriteSineWave(dir.File("song " + std::to_string(i) + ".wav"), 0.01 * (i % 7 + 1),
                           {8000, 1, testing::WaveFormat::kPcm16});
  const FolderScanResult scan = ScanFolder(dir.path());
  ASSERT_EQ(scan.files.size(), 1000u);
  EXPECT_EQ(FileNamePart(scan.files[9]), "song 10.wav");

  auto prober = RowProber::ForPaths(scan.files, Rows());
  std::vector<PlaylistRow> rows;
  while (rows.size() < 500) {
    prober->WaitReady(std::chrono::milliseconds(50));
    prober->TakeReady(&rows);
  }
  prober->Cancel();
  while (!prober->Finished()) {
    prober->WaitReady(std::chrono::milliseconds(50));
    prober->TakeReady(&rows);
  }
  ASSERT_GE(rows.size(), 500u);
  ASSERT_LT(rows.size(), 1000u);
  for (std::size_t i = 0; i < rows.size(); i += 37) {
    const PlaylistRow one = ProbeTrackRow(scan.files[i], EngineLengthProbe());
    EXPECT_EQ(rows[i].path, one.path);
    EXPECT_EQ(rows[i].name, one.name);
    EXPECT_EQ(rows[i].length, one.length);
  }
}

// Named paths open into folders' files and playlists' rows in order; with the options off, each
// is one row as before. Rows of missing files come from what the playlist says.
TEST(PlanAdding, OpensFoldersAndPlaylistsInOrder) {
  testing::TempDir dir;
  testing::MakeDir(dir.File("album"));
  const testing::WaveSpec tiny{8000, 1, testing::WaveFormat::kPcm16};
  testing::WriteSineWave(dir.File("album/2.wav"), 0.01, tiny);
  testing::WriteSineWave(dir.File("album/10.wav"), 0.01, tiny);
  testing::WriteSineWave(dir.File("single.wav"), 1.5, tiny);
  testing::WriteBytes(dir.File("list.m3u"), "#EXTINF:61,Gone\ngone.mp3\nsingle.wav\n");
  ASSERT_TRUE(SavePlaylistFile(dir.File("old.pst"), {{"n", "s", "a", "01:02", "/p.mp3"}}).ok);
  const std::vector<std::string> paths = {dir.File("album"), dir.File("list.m3u"),
                                          dir.File("old.pst"), dir.File("single.wav"),
                                          dir.File("missing.m3u")};

  const AddPlan plan = PlanAdding(paths);
  EXPECT_FALSE(plan.cancelled);
  EXPECT_TRUE(plan.errors.empty());  // a missing file is a row like any other
  auto prober = ProberFor(plan.items, Rows());
  std::vector<PlaylistRow> rows;
  while (!prober->Finished()) {
    prober->WaitReady(std::chrono::milliseconds(50));
    prober->TakeReady(&rows);
  }
  std::vector<std::string> names, lengths;
  for (const auto& r : rows) {
    names.push_back(r.name);
    lengths.push_back(r.length);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"2.wav", "10.wav", "Gone", "single.wav", "n",
                                             "single.wav", "missing.m3u"}));
  EXPECT_EQ(lengths,
            (std::vector<std::string>{"00:00", "00:00", "01:01", "00:01", "01:02", "00:01", ""}));

  const AddPlan plain = PlanAdding(paths, AddOptions{false, false});
  ASSERT_EQ(plain.items.size(), paths.size());
  EXPECT_EQ(std::get<PlaylistEntry>(plain.items[0]).path, dir.File("album"));

  // The same through a job off this thread, as a tick takes the rows.
  AddJob job(paths, {}, Rows());
  std::vector<PlaylistRow> from_job;
  while (!job.Finished()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    job.TakeReady(&from_job);
  }
  EXPECT_FALSE(job.progress().planning);
  EXPECT_EQ(job.progress().taken, names.size());
  ASSERT_EQ(from_job.size(), names.size());
  for (std::size_t i = 0; i < names.size(); ++i) EXPECT_EQ(from_job[i].name, names[i]);

  const AddPlan stopped = PlanAdding(paths, {}, [](const FolderScanProgress&) { return false; });
  EXPECT_TRUE(stopped.cancelled);
  EXPECT_TRUE(stopped.items.empty());
}

}  // namespace
}  // namespace quillet
