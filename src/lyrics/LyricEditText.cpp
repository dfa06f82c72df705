#include "lyrics/LyricEditText.h"

namespace quillet {

std::string NormaliseLineBreaks(std::string_view bytes) { return std::string(bytes); }
std::string CompleteHeaderSkeleton(std::string_view text) { return std::string(text); }
std::string StampLine(std::string_view lineText, std::string_view timeText) {
  return "[" + std::string(timeText) + "]" + std::string(lineText);
}

}  // namespace quillet
