// Rows made on several threads arrive in order; cancelling keeps the rows made so far.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "playlist/FolderScan.h"
#include "playlist/RowProber.h"
#include "playlist/TrackProbe.h"
#include "support/fixtures/AudioFixtures.h"
#include "support/fixtures/FileFixtures.h"

namespace quillet {
namespace {

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

  auto prober = RowProber::ForPaths(scan.files);
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
    const PlaylistRow one = ProbeTrackRow(scan.files[i]);
    EXPECT_EQ(rows[i].path, one.path);
    EXPECT_EQ(rows[i].name, one.name);
    EXPECT_EQ(rows[i].length, one.length);
  }
}

}  // namespace
}  // namespace quillet
