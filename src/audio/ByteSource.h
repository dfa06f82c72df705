// Random-access bytes for the decoders: a region of a file read through a 64 KiB buffer (one
// system call per buffer, not per decoder request), or a region of a block held in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace quillet::audio {

class ByteSource {
 public:
  static constexpr std::size_t kBufferSize = 64 * 1024;

  // The bytes [offset, offset + length) of a file; length 0 means to the end. Null with an
  // error code (kErrFileOpen, kErrIllegalParam) when the path is not a readable regular file.
  static std::unique_ptr<ByteSource> OpenFile(const std::string& path, std::uint64_t offset,
                                              std::uint64_t length, int* error);
  // A copy of the bytes [offset, offset + length) of a block; length 0 means to the end.
  static std::unique_ptr<ByteSource> FromMemory(const std::string& bytes, std::uint64_t offset,
                                                std::uint64_t length, int* error);

  virtual ~ByteSource() = default;
  // POSIX-like: bytes read (0 at the end), -1 on a read error.
  virtual std::int64_t Read(void* dst, std::size_t count) = 0;
  // POSIX-like: the new position, -1 for a position before the start or a bad whence.
  std::int64_t Seek(std::int64_t offset, int whence);
  std::int64_t Tell() const { return pos_; }
  std::int64_t Size() const { return size_; }

 protected:
  explicit ByteSource(std::int64_t size) : size_(size) {}
  std::int64_t size_;
  std::int64_t pos_ = 0;
};

}  // namespace quillet::audio
