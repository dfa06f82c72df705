// Lyric files and imported texts of any content: lines never hold a line end or Ctrl-Z, and the
// editor's rules leave only CR LF pairs and a complete header skeleton.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "lyrics/LyricEditText.h"
#include "lyrics/Lyrics.h"

namespace {

bool OnlyPairs(std::string_view s) {
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\r' && (i + 1 == s.size() || s[i + 1] != '\n')) return false;
    if (s[i] == '\n' && (i == 0 || s[i - 1] != '\r')) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::size_t total = 0;
  for (const std::string& line : quillet::SplitLyricLines(bytes)) {
    if (line.find_first_of(std::string_view("\r\n\x1a", 3)) != std::string::npos) std::abort();
    total += line.size();
  }
  if (total > size) std::abort();

  const std::string text = quillet::NormaliseLineBreaks(bytes);
  if (!OnlyPairs(text)) std::abort();
  const std::string full = quillet::CompleteHeaderSkeleton(text);
  if (!OnlyPairs(full) || full.size() < text.size()) std::abort();
  // Completing again finds nothing to add.
  if (quillet::CompleteHeaderSkeleton(full) != full) std::abort();
  return 0;
}
