// Whole folders as lists of audio files: the natural name order users expect (track 2 before
// track 10), and a recursive walk that keeps what is audio by its first bytes.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

// Natural order of names as bytes: runs of ASCII digits compare by their value ("2" < "10";
// with equal values the run with fewer leading zeros first), ASCII letters without regard to
// case, every other byte by its value. Names that still tie compare as plain bytes, so the
// order is total. Negative, zero or positive like strcmp.
int NaturalCompare(std::string_view a, std::string_view b);
inline bool NaturalLess(std::string_view a, std::string_view b) { return NaturalCompare(a, b) < 0; }

struct FolderScanProgress {
  std::size_t folders = 0;  // folders read so far
  std::size_t files = 0;    // files looked at so far
  std::size_t audio = 0;    // of which kept as audio
  std::string folder;       // the folder being read
};

// Called on the scanning thread after each folder is listed, every few files and once at the
// end with the totals; returning false (but at the end) cancels the scan.
using FolderScanCallback = std::function<bool(const FolderScanProgress&)>;

struct FolderScanResult {
  std::vector<std::string> files;       // whole paths of the audio files, in walk order
  std::vector<std::string> unreadable;  // "path: reason" for folders that could not be listed
  bool cancelled = false;               // `files` then holds what was found until then
};

// Every audio file below `folder`, recursively. Each folder's entries are taken in natural
// order, files and subfolders interleaved by name, so the result is the files' relative paths
// in natural order, folder by folder. Entries whose names start with '.' are skipped. Symbolic
// links are followed, but no folder is entered twice, so a link loop ends. A file is kept when
// its first bytes look like audio the engine plays (whatever its name says); a file that cannot
// be read is left out.
FolderScanResult ScanFolder(const std::string& folder, const FolderScanCallback& progress = {});

// True when the file's first bytes look like audio (see ScanFolder).
bool FileLooksLikeAudio(const std::string& path);

}  // namespace quillet
