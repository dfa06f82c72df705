// Whole-file reads and atomic replacement: what users' files go through on every save.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <thread>

#include "common/FileIo.h"
#include "support/fixtures/FileFixtures.h"

namespace quillet {
namespace {

using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

std::size_t EntriesIn(const std::string& dir) {
  std::size_t n = 0;
  for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir)) ++n;
  return n;
}

// Lowers the file size limit for its lifetime, so that writes fail part-way like on a full disk.
class ScopedFileSizeLimit {
 public:
  explicit ScopedFileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &old_);
    oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit lim = old_;
    lim.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &lim);
  }
  ~ScopedFileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, oldHandler_);
  }

 private:
  rlimit old_{};
  void (*oldHandler_)(int) = nullptr;
};

TEST(AtomicWrite, CreatesAndReplacesWithExactBytes) {
  TempDir dir;
  const std::string path = dir.File("list.pst");
  const std::string first("a\0b\r\n\xff", 6);
  ASSERT_TRUE(WriteFileAtomic(path, first).ok);
  std::string got;
  ASSERT_TRUE(ReadBytes(path, &got));
  EXPECT_EQ(got, first);

  // A shorter replacement leaves no tail of the longer old content.
  ASSERT_TRUE(WriteFileAtomic(path, "xy").ok);
  ASSERT_TRUE(ReadBytes(path, &got));
  EXPECT_EQ(got, "xy");
  EXPECT_EQ(EntriesIn(dir.path()), 1u) << "no temporary file may stay behind";
}

TEST(AtomicWrite, WriteFailingPartWayLeavesOldFileWholeAndSaysWhy) {
  TempDir dir;
  const std::string path = dir.File("cfrMsg");
  const std::string old(123, 'o');
  WriteBytes(path, old);

  IoResult io;
  {
    ScopedFileSizeLimit limit(100);  // the new content is 675 bytes: the write stops at 100
    io = WriteFileAtomic(path, std::string(675, 'n'));
  }
  EXPECT_FALSE(io.ok);
  EXPECT_NE(io.error.find(path), std::string::npos) << io.error;
  EXPECT_NE(io.error.find(": "), std::string::npos) << "carries the system's reason: " << io.error;

  std::string got;
  ASSERT_TRUE(ReadBytes(path, &got));
  EXPECT_EQ(got, old);
  EXPECT_EQ(EntriesIn(dir.path()), 1u) << "the half-written temporary file is removed";
}

TEST(AtomicWrite, UnwritableOrMissingPlaceLeavesOldFileWhole) {
  TempDir dir;
  EXPECT_FALSE(WriteFileAtomic(dir.File("no/such/dir/x.pst"), "data").ok);
  // A folder is never replaced by a file.
  testing::MakeDir(dir.File("folder"));
  EXPECT_FALSE(WriteFileAtomic(dir.File("folder"), "data").ok);
  EXPECT_TRUE(std::filesystem::is_directory(dir.File("folder")));

  if (geteuid() == 0) GTEST_SKIP() << "permission bits do not stop root";
  const std::string sub = dir.File("ro");
  testing::MakeDir(sub);
  WriteBytes(sub + "/list.pst", "old");
  chmod(sub.c_str(), 0555);
  IoResult io = WriteFileAtomic(sub + "/list.pst", "new");
  EXPECT_FALSE(io.ok);
  std::string got;
  ASSERT_TRUE(ReadBytes(sub + "/list.pst", &got));
  EXPECT_EQ(got, "old");
}

TEST(AtomicWrite, KeepsPermissionsAndWritesThroughSymlinks) {
  TempDir dir;
  const std::string real = dir.File("real.lrc");
  WriteBytes(real, "old");
  chmod(real.c_str(), 0640);
  const std::string link = dir.File("link.lrc");
  std::filesystem::create_symlink("real.lrc", link);

  ASSERT_TRUE(WriteFileAtomic(link, "new").ok);
  EXPECT_TRUE(std::filesystem::is_symlink(link)) << "the link itself survives";
  std::string got;
  ASSERT_TRUE(ReadBytes(real, &got));
  EXPECT_EQ(got, "new");
  struct stat st {};
  ASSERT_EQ(stat(real.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(AtomicWrite, LongNamesNewFileModesAndNulBytes) {
  TempDir dir;
  // The temporary name must fit wherever the target's own name fits.
  const std::string longName = dir.File(std::string(250, 'n') + ".pst");
  ASSERT_TRUE(WriteFileAtomic(longName, "x").ok);

  const mode_t oldMask = umask(027);
  IoResult io = WriteFileAtomic(dir.File("new.lrc"), "x");
  umask(oldMask);
  ASSERT_TRUE(io.ok);
  struct stat st {};
  ASSERT_EQ(stat(dir.File("new.lrc").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u) << "a new file is created as any program would create it";

  // A NUL inside a byte path would quietly name a shorter path: never write or read there.
  WriteBytes(dir.File("a"), "old");
  EXPECT_FALSE(WriteFileAtomic(dir.File(std::string("a\0b", 3)), "new").ok);
  std::string got;
  ASSERT_TRUE(ReadBytes(dir.File("a"), &got));
  EXPECT_EQ(got, "old");
  EXPECT_FALSE(ReadWholeFile(dir.File(std::string("a\0b", 3)), &got).ok);
  EXPECT_FALSE(PathExists(dir.File(std::string("a\0b", 3))));
  EXPECT_FALSE(IsDirectory(dir.path() + std::string("\0junk", 5)));
}

TEST(WholeFileRead, RefusesWhatIsNotARegularFileWithoutBlocking) {
  TempDir dir;
  std::string out = "untouched";
  EXPECT_FALSE(ReadWholeFile(dir.path(), &out).ok);
  EXPECT_FALSE(ReadWholeFile(dir.File("missing"), &out).ok);
  EXPECT_EQ(out, "untouched");

  // A FIFO with no writer would block a plain open for ever.
  const std::string fifo = dir.File("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  IoResult io = ReadWholeFile(fifo, &out);
  EXPECT_FALSE(io.ok);
  EXPECT_FALSE(io.error.empty());
  EXPECT_FALSE(ReadWholeFile("/dev/zero", &out).ok) << "a device never ends";
}

TEST(WholeFileRead, ReadsLargeAndEmptyFilesExactly) {
  TempDir dir;
  std::string big(300000, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7);
  WriteBytes(dir.File("big"), big);
  WriteBytes(dir.File("empty"), "");
  std::string got = "x";
  ASSERT_TRUE(ReadWholeFile(dir.File("big"), &got).ok);
  EXPECT_EQ(got, big);
  ASSERT_TRUE(ReadWholeFile(dir.File("empty"), &got).ok);
  EXPECT_EQ(got, "");
  ASSERT_TRUE(ReadFileHead(dir.File("big"), 123, &got).ok);
  EXPECT_EQ(got, big.substr(0, 123));
}

TEST(PathTests, TellKindsApart) {
  TempDir dir;
  WriteBytes(dir.File("f"), "x");
  EXPECT_TRUE(IsRegularFile(dir.File("f")));
  EXPECT_FALSE(IsDirectory(dir.File("f")));
  EXPECT_TRUE(IsDirectory(dir.path()));
  EXPECT_FALSE(IsRegularFile(dir.path()));
  EXPECT_FALSE(PathExists(dir.File("nothing")));
  EXPECT_FALSE(PathExists(""));
  EXPECT_FALSE(IsDirectory(""));
  testing::ScopedCurrentDir cd(dir.path());
  EXPECT_EQ(std::filesystem::path(CurrentDirectory()), std::filesystem::canonical(dir.path()));
}

}  // namespace
}  // namespace quillet
