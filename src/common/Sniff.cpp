#include "common/Sniff.h"

#include <array>

#include "common/Mp3Info.h"

namespace quillet {

namespace {

using audio::Id3v2TagSize;
using audio::MpegFrameHeader;
using audio::ParseMpegFrameHeader;

bool At(std::string_view head, std::size_t at, std::string_view magic) {
  return head.size() >= at + magic.size() && head.compare(at, magic.size(), magic) == 0;
}

// Frame headers of one stream from `at` on, each where the one before ends, up to three: how
// many, and whether the run ended exactly at the end of `head`.
int FrameRun(std::string_view head, std::size_t at, bool* reached_end) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(head.data());
  std::optional<MpegFrameHeader> first;
  int n = 0;
  *reached_end = false;
  while (n < 3 && at + 4 <= head.size()) {
    const auto h = ParseMpegFrameHeader(bytes + at);
    if (!h || (first && (h->version != first->version || h->layer != first->layer ||
                         h->rate != first->rate)))
      break;
    if (!first) first = h;
    ++n;
    at += h->bytes;
  }
  *reached_end = at >= head.size();
  return n;
}

}  // namespace

bool LooksLikeAudio(std::string_view head) {
  // An ID3v2 tag of a version that exists (2.2 to 2.4), not just text that starts "ID3".
  if (Id3v2TagSize(head) > 0 && head[3] >= 2 && head[3] <= 4) return true;
  const bool riff =
      At(head, 0, "RIFF") || At(head, 0, "RIFX") || At(head, 0, "RF64") || At(head, 0, "BW64");
  if (riff && At(head, 8, "WAVE")) return true;
  if (At(head, 0, "FORM") && (At(head, 8, "AIFF") || At(head, 8, "AIFC") || At(head, 8, "8SVX")))
    return true;
  static constexpr std::array<std::string_view, 8> kMagic = {
      "fLaC",
      "OggS",
      ".snd",
      "dns.",
      "caff",
      "NIST_1A",
      "Creative Voice File",
      std::string_view("riff\x2E\x91\xCF\x11", 8),  // Sony Wave64
  };
  for (std::string_view magic : kMagic)
    if (At(head, 0, magic)) return true;
  // MPEG audio: frames from the first byte (a short file may hold only one or two), or three in
  // a row behind some junk, which the engine skips too.
  bool reached_end = false;
  const int run = FrameRun(head, 0, &reached_end);
  if (run >= 3 || (run >= 1 && reached_end)) return true;
  for (std::size_t at = 1; at + 4 <= head.size(); ++at)
    if (static_cast<unsigned char>(head[at]) == 0xFF && FrameRun(head, at, &reached_end) >= 3)
      return true;
  return false;
}

}  // namespace quillet
