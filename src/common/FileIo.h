// Whole-file reads and atomic whole-file writes over byte paths.
#pragma once

#include <cstddef>
#include <string>

namespace quillet {

struct IoResult {
  bool ok = true;
  std::string error;  // readable reason with the system's text, e.g. "cannot write /x/cfrMsg: ..."
};

// Reads a regular file whole. A folder, FIFO or device is an error and never blocks.
IoResult ReadWholeFile(const std::string& path, std::string* out);

// Reads at most maxBytes from the start of a regular file (fewer when the file is shorter).
IoResult ReadFileHead(const std::string& path, std::size_t maxBytes, std::string* out);

// Writes a temporary file beside the target, flushes and syncs it, then renames it over the
// target. On any failure the old file stays byte for byte as it was. A symbolic link as target
// is followed, so the link stays and the file it names is replaced; an existing file keeps its
// permission bits.
IoResult WriteFileAtomic(const std::string& path, const std::string& bytes);

bool PathExists(const std::string& path);
bool IsDirectory(const std::string& path);
bool IsRegularFile(const std::string& path);
std::string CurrentDirectory();

}  // namespace quillet
