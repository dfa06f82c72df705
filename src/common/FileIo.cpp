#include "common/FileIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

namespace quillet {

namespace {

std::string SystemText(int err) { return std::strerror(err); }

IoResult Fail(const char* what, const std::string& path, int err) {
  return {false, std::string(what) + " " + path + ": " + SystemText(err)};
}

// A NUL inside a byte path would silently name a different, shorter path to the system.
bool Unusable(const std::string& path) {
  return path.empty() || path.find('\0') != std::string::npos;
}

// Opens for reading without ever blocking (a FIFO with no writer would block a plain open) and
// insists on a regular file. Returns the descriptor or -1 with *result set.
int OpenRegularForRead(const std::string& path, IoResult* result) {
  if (Unusable(path)) {
    *result = Fail("cannot read", path, ENOENT);
    return -1;
  }
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    *result = Fail("cannot read", path, errno);
    return -1;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    *result = Fail("cannot read", path, errno);
    ::close(fd);
    return -1;
  }
  if (!S_ISREG(st.st_mode)) {
    *result = {false, "cannot read " + path + ": " +
                          (S_ISDIR(st.st_mode) ? SystemText(EISDIR) : "not a regular file")};
    ::close(fd);
    return -1;
  }
  return fd;
}

IoResult ReadUpTo(const std::string& path, std::size_t maxBytes, std::string* out) {
  IoResult result;
  int fd = OpenRegularForRead(path, &result);
  if (fd < 0) return result;
  std::string data;
  char buf[65536];
  while (data.size() < maxBytes) {
    std::size_t want = std::min(sizeof buf, maxBytes - data.size());
    ssize_t n = ::read(fd, buf, want);
    if (n < 0) {
      if (errno == EINTR) continue;
      result = Fail("cannot read", path, errno);
      ::close(fd);
      return result;
    }
    if (n == 0) break;
    data.append(buf, static_cast<std::size_t>(n));
  }
  ::close(fd);
  *out = std::move(data);
  return result;
}

std::string DirectoryOf(const std::string& path) {
  auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// The file a write should replace: a symbolic link is followed so that the link itself survives.
std::string ResolveTarget(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  char* real = ::realpath(path.c_str(), nullptr);
  if (real) {
    std::string r = real;
    std::free(real);
    return r;
  }
  // A dangling link: write the file it names.
  std::vector<char> buf(PATH_MAX + 1);
  ssize_t n = ::readlink(path.c_str(), buf.data(), buf.size() - 1);
  if (n <= 0) return path;
  std::string target(buf.data(), static_cast<std::size_t>(n));
  if (target.front() == '/') return target;
  return DirectoryOf(path) + "/" + target;
}

int OpenTempBeside(const std::string& dir, const std::string& base, std::string* tmp) {
  static std::atomic<unsigned> counter{0};
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    *tmp = dir + "/." + base.substr(0, 200) + ".tmp-" + std::to_string(::getpid()) + "-" +
           std::to_string(counter++) + "-" + std::to_string(random() % 1000000);
    int fd = ::open(tmp->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

bool WriteAll(int fd, const std::string& bytes) {
  const char* p = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) {
      errno = EIO;
      return false;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

IoResult ReadWholeFile(const std::string& path, std::string* out) {
  return ReadUpTo(path, std::string::npos, out);
}

IoResult ReadFileHead(const std::string& path, std::size_t maxBytes, std::string* out) {
  return ReadUpTo(path, maxBytes, out);
}

IoResult WriteFileAtomic(const std::string& path, const std::string& bytes) {
  if (Unusable(path)) return Fail("cannot write", path, ENOENT);
  if (path.back() == '/') return {false, "cannot write " + path + ": " + SystemText(EISDIR)};
  const std::string target = ResolveTarget(path);
  const std::string dir = DirectoryOf(target);
  const std::string base =
      target.substr(target.rfind('/') == std::string::npos ? 0 : target.rfind('/') + 1);

  // The new file gets the old file's permission bits; a new name gets what a plain create
  // gives (0666 less the umask, applied by the system).
  struct stat old {};
  const bool replacing = ::stat(target.c_str(), &old) == 0;
  if (replacing) {
    if (S_ISDIR(old.st_mode)) return {false, "cannot write " + path + ": " + SystemText(EISDIR)};
    if (!S_ISREG(old.st_mode)) return {false, "cannot write " + path + ": not a regular file"};
  }

  // Beside the target, so the rename stays within one file system; the name is kept short
  // enough for any name the target itself may have.
  std::string tmp;
  int fd = OpenTempBeside(dir, base, &tmp);
  if (fd < 0) return Fail("cannot write", path, errno);

  int err = 0;
  // Keep the old file's owner where we may (a privileged user saving someone else's file).
  if (replacing && (old.st_uid != ::geteuid() || old.st_gid != ::getegid())) {
    if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
      // Not ours to give away: the file then belongs to whoever saved it, as a new file would.
    }
  }
  if (!WriteAll(fd, bytes) || (replacing && ::fchmod(fd, old.st_mode & 0777) != 0) ||
      ::fsync(fd) != 0)
    err = errno;
  if (::close(fd) != 0 && err == 0) err = errno;
  if (err == 0 && ::rename(tmp.c_str(), target.c_str()) != 0) err = errno;
  if (err != 0) {
    ::unlink(tmp.c_str());
    return Fail("cannot write", path, err);
  }
  // Make the rename itself durable; the data is already safe, so a failure here is not reported.
  int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
  return {};
}

bool PathExists(const std::string& path) {
  struct stat st {};
  return !Unusable(path) && ::stat(path.c_str(), &st) == 0;
}

bool IsDirectory(const std::string& path) {
  struct stat st {};
  return !Unusable(path) && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsRegularFile(const std::string& path) {
  struct stat st {};
  return !Unusable(path) && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string CurrentDirectory() {
  std::vector<char> buf(PATH_MAX + 1);
  while (::getcwd(buf.data(), buf.size()) == nullptr) {
    if (errno != ERANGE) return ".";
    buf.resize(buf.size() * 2);
  }
  return buf.data();
}

}  // namespace quillet
