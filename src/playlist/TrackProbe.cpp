#include "playlist/TrackProbe.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace quillet {

Id3Tag ParseId3Trailer(std::string_view trailer) {
  Id3Tag tag;
  if (trailer.size() != kId3TrailerSize) return tag;
  for (std::size_t i = 0; i < 3; ++i) {
    char c = trailer[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != "TAG"[i]) return tag;
  }
  tag.found = true;
  tag.artist.assign(trailer.substr(33, 30));
  tag.album.assign(trailer.substr(63, 30));
  return tag;
}

Id3Tag ReadId3Tag(const std::string& path) {
  // Non-blocking open: a FIFO without a writer or a device must not hang the caller. Anything
  // but a regular file holds no tag.
  if (path.find('\0') != std::string::npos) return {};
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return {};
  Id3Tag tag;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
      st.st_size >= static_cast<off_t>(kId3TrailerSize)) {
    char buf[kId3TrailerSize];
    std::size_t got = 0;
    const off_t start = st.st_size - static_cast<off_t>(kId3TrailerSize);
    while (got < kId3TrailerSize) {
      ssize_t n = ::pread(fd, buf + got, kId3TrailerSize - got, start + static_cast<off_t>(got));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
    }
    if (got == kId3TrailerSize) tag = ParseId3Trailer(std::string_view(buf, got));
  }
  ::close(fd);
  return tag;
}

std::string FileNamePart(std::string_view path) {
  const auto slash = path.rfind('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

}  // namespace quillet
