// MPEG audio frame headers and the Xing/Info + LAME header that an encoder writes in front of an
// MP3's audio, read from bytes alone (no decoder). Where that header still describes the file as
// it is (nothing cut, appended or edited since encoding), it gives the decoded length exactly as
// a full frame scan by libmpg123 in gapless mode would count it, without reading the audio.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace quillet::audio {

struct MpegFrameHeader {
  int version = 0;  // 10 MPEG-1, 20 MPEG-2, 25 MPEG-2.5
  int layer = 0;    // 1, 2 or 3
  bool crc = false;
  int kbps = 0;
  std::uint32_t rate = 0;
  bool padding = false;
  std::uint32_t channels = 0;  // 1 or 2
  std::uint32_t samples = 0;   // per frame
  std::uint32_t bytes = 0;     // the whole frame, header included
};

// The four bytes at `p` as a frame header; free-format and reserved values are refused.
std::optional<MpegFrameHeader> ParseMpegFrameHeader(const unsigned char* p);

// The whole size (header, body, footer) of an ID3v2 tag starting at `head`, 0 when `head` does
// not start with a well-formed ID3v2 header. Needs 10 bytes.
std::uint64_t Id3v2TagSize(std::string_view head);

// Where the audio ends: the file's size less an ID3v1 tag and an APEv2 tag before it. `tail` is
// the file's last bytes (at least 160 of them, or the whole file when it is shorter).
std::uint64_t AudioEndBeforeTrailers(std::string_view tail, std::uint64_t file_size);

// What the first frame's Xing/Info and LAME headers hold.
struct LameHeader {
  MpegFrameHeader frame;           // the header frame's own header
  bool vbr = false;                // "Xing" rather than "Info"
  std::uint32_t frames = 0;        // audio frames after the header frame
  std::uint32_t bytes = 0;         // the Xing byte count: header frame and audio frames
  std::uint32_t delay = 0;         // encoder delay, samples
  std::uint32_t padding = 0;       // encoder padding, samples
  std::uint32_t music_length = 0;  // the LAME header's own byte count
  int vbr_method = 0;              // low nibble of the LAME revision byte
};

// Reads the header frame at the start of `frame` (the bytes from its frame header on). Only a
// Layer III frame whose Xing/Info header carries the frame and byte counts and whose LAME
// extension is present with a matching CRC counts.
std::optional<LameHeader> ParseLameHeader(std::string_view frame);

// The CRC-16 the LAME header is checked with (reflected 0x8005, start 0).
std::uint16_t LameCrc16(std::string_view bytes);

struct Mp3Length {
  std::uint64_t samples = 0;  // per channel, as a gapless full scan counts them
  std::uint32_t rate = 0;
  std::uint32_t channels = 0;
};

// Reads `count` bytes of the file at `offset`; fewer only at its end. Empty on an error.
using ReadAt = std::function<std::string(std::uint64_t offset, std::size_t count)>;

// The exact length from the LAME header when the file agrees with it: an optional ID3v2 tag,
// the header frame right after it, as many audio bytes as the header counts, the last frame
// ending where the audio ends, and then nothing but an ID3v1 tag. Anything else (no header, a
// file cut or lengthened after encoding, junk, another layer) gives nothing, and the caller
// scans the frames.
std::optional<Mp3Length> Mp3LengthFromLameHeader(std::uint64_t file_size, const ReadAt& read);

class ByteSource;
// The same over a decoder's source, from wherever it stands (Mp3HeaderLength.cpp).
std::optional<Mp3Length> Mp3LengthFromLameHeader(ByteSource& source);

}  // namespace quillet::audio
