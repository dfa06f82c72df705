#include "audio/ByteSource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "audio/AudioEngine.h"

namespace quillet::audio {

namespace {

class FileSource final : public ByteSource {
 public:
  FileSource(int fd, std::int64_t base, std::int64_t size)
      : ByteSource(size), fd_(fd), base_(base), buf_(kBufferSize) {}
  ~FileSource() override { ::close(fd_); }

  std::int64_t Read(void* dst, std::size_t count) override {
    auto* out = static_cast<unsigned char*>(dst);
    std::size_t done = 0;
    while (done < count && pos_ < size_) {
      const std::size_t want =
          static_cast<std::size_t>(std::min<std::int64_t>(count - done, size_ - pos_));
      if (pos_ >= buf_pos_ && pos_ < buf_pos_ + buf_len_) {
        const std::size_t at = static_cast<std::size_t>(pos_ - buf_pos_);
        const std::size_t n = std::min(want, static_cast<std::size_t>(buf_len_) - at);
        std::memcpy(out + done, buf_.data() + at, n);
        done += n;
        pos_ += static_cast<std::int64_t>(n);
        continue;
      }
      if (want >= kBufferSize) {  // large reads bypass the buffer
        const ssize_t got = ReadAt(out + done, want, pos_);
        if (got < 0) return done > 0 ? static_cast<std::int64_t>(done) : -1;
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
        pos_ += got;
        continue;
      }
      const std::size_t fill =
          static_cast<std::size_t>(std::min<std::int64_t>(kBufferSize, size_ - pos_));
      const ssize_t got = ReadAt(buf_.data(), fill, pos_);
      if (got < 0) return done > 0 ? static_cast<std::int64_t>(done) : -1;
      if (got == 0) break;  // the file shrank under us
      buf_pos_ = pos_;
      buf_len_ = got;
    }
    return static_cast<std::int64_t>(done);
  }

 private:
  ssize_t ReadAt(void* dst, std::size_t n, std::int64_t at) {
    for (;;) {
      const ssize_t got = ::pread(fd_, dst, n, static_cast<off_t>(base_ + at));
      if (got >= 0 || errno != EINTR) return got;
    }
  }

  int fd_;
  std::int64_t base_;
  std::vector<unsigned char> buf_;
  std::int64_t buf_pos_ = 0;
  std::int64_t buf_len_ = 0;
};

class MemorySource final : public ByteSource {
 public:
  explicit MemorySource(std::string bytes)
      : ByteSource(static_cast<std::int64_t>(bytes.size())), bytes_(std::move(bytes)) {}

  std::int64_t Read(void* dst, std::size_t count) override {
    if (pos_ >= size_) return 0;
    const std::size_t n = static_cast<std::size_t>(
        std::min<std::int64_t>(static_cast<std::int64_t>(count), size_ - pos_));
    std::memcpy(dst, bytes_.data() + pos_, n);
    pos_ += static_cast<std::int64_t>(n);
    return static_cast<std::int64_t>(n);
  }

 private:
  std::string bytes_;
};

// Clamps [offset, offset + length) to a total size; false when the offset lies beyond it.
bool Region(std::uint64_t total, std::uint64_t offset, std::uint64_t length, std::int64_t* size) {
  if (offset > total) return false;
  std::uint64_t n = total - offset;
  if (length != 0 && length < n) n = length;
  *size = static_cast<std::int64_t>(n);
  return true;
}

}  // namespace

std::int64_t ByteSource::Seek(std::int64_t offset, int whence) {
  std::int64_t to;
  switch (whence) {
    case SEEK_SET:
      to = offset;
      break;
    case SEEK_CUR:
      to = pos_ + offset;
      break;
    case SEEK_END:
      to = size_ + offset;
      break;
    default:
      return -1;
  }
  if (to < 0) return -1;
  pos_ = to;
  return to;
}

std::unique_ptr<ByteSource> ByteSource::OpenFile(const std::string& path, std::uint64_t offset,
                                                 std::uint64_t length, int* error) {
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    *error = errno == ENOMEM ? kErrMemory : kErrFileOpen;
    return nullptr;
  }
  struct stat st {};
  // Only regular files: a folder, a pipe or a device is not an audio file (and a pipe would
  // block the caller).
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    *error = kErrFileOpen;
    return nullptr;
  }
  std::int64_t size = 0;
  if (!Region(static_cast<std::uint64_t>(st.st_size), offset, length, &size)) {
    ::close(fd);
    *error = kErrIllegalParam;
    return nullptr;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  return std::unique_ptr<ByteSource>(new FileSource(fd, static_cast<std::int64_t>(offset), size));
}

std::unique_ptr<ByteSource> ByteSource::FromMemory(const std::string& bytes, std::uint64_t offset,
                                                   std::uint64_t length, int* error) {
  std::int64_t size = 0;
  if (!Region(bytes.size(), offset, length, &size)) {
    *error = kErrIllegalParam;
    return nullptr;
  }
  return std::unique_ptr<ByteSource>(new MemorySource(
      bytes.substr(static_cast<std::size_t>(offset), static_cast<std::size_t>(size))));
}

}  // namespace quillet::audio
