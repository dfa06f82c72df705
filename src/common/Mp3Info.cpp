#include "common/Mp3Info.h"

#include <algorithm>
#include <array>

namespace quillet::audio {

namespace {

// kbps by [MPEG-1 or not][layer - 1][index]; index 0 (free format) and 15 are refused.
constexpr int kKbps[2][3][16] = {
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}},
};
constexpr std::uint32_t kRates[3] = {44100, 48000, 32000};

std::uint32_t Be32(const unsigned char* p) {
  return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

std::uint32_t Le32(const unsigned char* p) {
  return std::uint32_t{p[3]} << 24 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0];
}

const unsigned char* Bytes(std::string_view s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}

std::uint32_t FrameBytes(int version, int layer, int kbps, std::uint32_t rate, bool padding) {
  const std::uint32_t bps = static_cast<std::uint32_t>(kbps) * 1000;
  if (layer == 1) return (12 * bps / rate + (padding ? 1 : 0)) * 4;
  const std::uint32_t per = (layer == 3 && version != 10) ? 72 : 144;
  return per * bps / rate + (padding ? 1 : 0);
}

bool SameStream(const MpegFrameHeader& a, const MpegFrameHeader& b) {
  return a.version == b.version && a.layer == b.layer && a.rate == b.rate;
}

}  // namespace

std::optional<MpegFrameHeader> ParseMpegFrameHeader(const unsigned char* p) {
  if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0) return std::nullopt;
  const int version_bits = (p[1] >> 3) & 3;
  const int layer_bits = (p[1] >> 1) & 3;
  const int kbps_index = p[2] >> 4;
  const int rate_index = (p[2] >> 2) & 3;
  if (version_bits == 1 || layer_bits == 0 || kbps_index == 0 || kbps_index == 15 ||
      rate_index == 3)
    return std::nullopt;
  MpegFrameHeader h;
  h.version = version_bits == 3 ? 10 : (version_bits == 2 ? 20 : 25);
  h.layer = 4 - layer_bits;
  h.crc = (p[1] & 1) == 0;
  h.kbps = kKbps[h.version == 10 ? 0 : 1][h.layer - 1][kbps_index];
  h.rate = kRates[rate_index] >> (h.version == 10 ? 0 : (h.version == 20 ? 1 : 2));
  h.padding = (p[2] >> 1) & 1;
  h.channels = (p[3] >> 6) == 3 ? 1 : 2;
  h.samples = h.layer == 1 ? 384 : (h.layer == 3 && h.version != 10 ? 576 : 1152);
  h.bytes = FrameBytes(h.version, h.layer, h.kbps, h.rate, h.padding);
  return h;
}

std::uint64_t Id3v2TagSize(std::string_view head) {
  if (head.size() < 10) return 0;
  const unsigned char* p = Bytes(head);
  if (p[0] != 'I' || p[1] != 'D' || p[2] != '3' || p[3] == 0xFF || p[4] == 0xFF) return 0;
  std::uint64_t size = 0;
  for (int i = 6; i < 10; ++i) {
    if (p[i] & 0x80) return 0;
    size = size << 7 | p[i];
  }
  const bool footer = (p[5] & 0x10) != 0;
  return 10 + size + (footer ? 10 : 0);
}

std::uint64_t AudioEndBeforeTrailers(std::string_view tail, std::uint64_t file_size) {
  if (tail.size() > file_size) return file_size;
  std::uint64_t end = file_size;
  // The tail's bytes end at the end of the file; `at(pos)` is the file byte at pos.
  const std::uint64_t tail_start = file_size - tail.size();
  if (end - tail_start >= 128 && tail.compare(tail.size() - 128, 3, "TAG") == 0) end -= 128;
  if (end - tail_start >= 32) {
    const std::size_t footer = static_cast<std::size_t>(end - 32 - tail_start);
    if (tail.compare(footer, 8, "APETAGEX") == 0) {
      const unsigned char* f = Bytes(tail) + footer;
      const std::uint64_t size = Le32(f + 12);  // items and footer
      const bool has_header = (Le32(f + 20) & 0x80000000u) != 0;
      const std::uint64_t whole = size + (has_header ? 32 : 0);
      if (size >= 32 && whole <= end) end -= whole;
    }
  }
  return end;
}

std::uint16_t LameCrc16(std::string_view bytes) {
  static const std::array<std::uint16_t, 256> table = [] {
    std::array<std::uint16_t, 256> t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xA001 : c >> 1;
      t[i] = static_cast<std::uint16_t>(c);
    }
    return t;
  }();
  std::uint16_t crc = 0;
  for (unsigned char b : bytes)
    crc = static_cast<std::uint16_t>((crc >> 8) ^ table[(crc ^ b) & 0xFF]);
  return crc;
}

std::optional<LameHeader> ParseLameHeader(std::string_view frame) {
  if (frame.size() < 4) return std::nullopt;
  const unsigned char* p = Bytes(frame);
  const auto h = ParseMpegFrameHeader(p);
  if (!h || h->layer != 3 || frame.size() < h->bytes) return std::nullopt;
  // The Xing/Info header sits after the side information; libmpg123 takes it for one only when
  // every byte between (a CRC apart) is zero, so we do too.
  const std::size_t side =
      h->version == 10 ? (h->channels == 2 ? 32 : 17) : (h->channels == 2 ? 17 : 9);
  std::size_t at = 4 + side;
  if (at + 8 > h->bytes) return std::nullopt;
  for (std::size_t i = 4 + 2; i < at; ++i)
    if (p[i] != 0) return std::nullopt;
  LameHeader lame;
  lame.frame = *h;
  const std::string_view tag = frame.substr(at, 4);
  if (tag == "Xing")
    lame.vbr = true;
  else if (tag != "Info")
    return std::nullopt;
  const std::uint32_t flags = Be32(p + at + 4);
  at += 8;
  if ((flags & 3) != 3) return std::nullopt;  // both counts are needed
  const std::size_t fields = 8 + ((flags & 4) ? 100 : 0) + ((flags & 8) ? 4 : 0);
  if (at + fields + 36 > h->bytes) return std::nullopt;
  lame.frames = Be32(p + at);
  lame.bytes = Be32(p + at + 4);
  at += fields;
  // The LAME extension: encoder name, revision and method, ..., delay and padding at 21, the
  // music length at 28, its CRC at 32, and the header's own CRC at 34 over every byte before.
  if (p[at] == 0) return std::nullopt;
  const std::uint16_t stored = static_cast<std::uint16_t>(p[at + 34] << 8 | p[at + 35]);
  if (LameCrc16(frame.substr(0, at + 34)) != stored) return std::nullopt;
  lame.vbr_method = p[at + 9] & 15;
  lame.delay = static_cast<std::uint32_t>(p[at + 21]) << 4 | p[at + 22] >> 4;
  lame.padding = (static_cast<std::uint32_t>(p[at + 22]) << 8 | p[at + 23]) & 0xFFF;
  lame.music_length = Be32(p + at + 28);
  return lame;
}

std::optional<Mp3Length> Mp3LengthFromLameHeader(std::uint64_t file_size, const ReadAt& read) {
  constexpr std::size_t kMaxFrame = 2 * 1441 + 4;  // more than any Layer III frame
  const std::string head = read(0, 10);
  const std::uint64_t start = Id3v2TagSize(head);
  if (start >= file_size) return std::nullopt;
  const std::string first = read(start, kMaxFrame);
  const auto lame = ParseLameHeader(first);
  if (!lame || lame->frames == 0) return std::nullopt;
  const MpegFrameHeader& fh = lame->frame;

  // The file's end: trailers off, then the audio must be exactly what the encoder counted.
  const std::size_t tail_len = static_cast<std::size_t>(std::min<std::uint64_t>(file_size, 4096));
  const std::string tail = read(file_size - tail_len, tail_len);
  if (tail.size() != tail_len) return std::nullopt;
  const std::uint64_t end = AudioEndBeforeTrailers(tail, file_size);
  if (end <= start + fh.bytes) return std::nullopt;
  const std::uint64_t audio = end - start;
  if (lame->bytes != audio || lame->music_length != audio) return std::nullopt;

  // The first audio frame follows the header frame at once.
  if (first.size() < fh.bytes + 4) return std::nullopt;
  const auto next = ParseMpegFrameHeader(Bytes(first) + fh.bytes);
  if (!next || !SameStream(*next, fh) || next->channels != fh.channels) return std::nullopt;

  // The frame count must fit the byte count: each frame lies between the smallest and the
  // largest frame of this kind, and a CBR file's frames are all of the first audio frame's size
  // (give or take a padding byte). The header frame itself may be larger, to hold the header.
  const std::uint64_t body = audio - fh.bytes;
  const int kind = fh.version == 10 ? 0 : 1;
  std::uint64_t least = FrameBytes(fh.version, 3, kKbps[kind][2][1], fh.rate, false);
  std::uint64_t most = FrameBytes(fh.version, 3, kKbps[kind][2][14], fh.rate, true);
  if (!lame->vbr && (lame->vbr_method == 1 || lame->vbr_method == 8)) {
    least = FrameBytes(fh.version, 3, next->kbps, fh.rate, false);
    most = least + 1;
  }
  if (body < least * lame->frames || body > most * lame->frames) return std::nullopt;

  // The last frame ends where the audio ends: a file whose end was cut off or replaced fails.
  const std::uint64_t window_start = end > kMaxFrame ? end - kMaxFrame : 0;
  std::string window;
  if (window_start >= file_size - tail_len)
    window = tail.substr(static_cast<std::size_t>(window_start - (file_size - tail_len)),
                         static_cast<std::size_t>(end - window_start));
  else
    window = read(window_start, static_cast<std::size_t>(end - window_start));
  if (window.size() != end - window_start) return std::nullopt;
  bool ends_on_frame = false;
  for (std::size_t i = window.size() >= 4 ? window.size() - 4 : 0;
       i + 4 <= window.size() && !ends_on_frame; --i) {
    const auto h = ParseMpegFrameHeader(Bytes(window) + i);
    if (h && SameStream(*h, fh) && window_start + i + h->bytes == end &&
        window_start + i >= start + fh.bytes)
      ends_on_frame = true;
    if (i == 0) break;
  }
  if (!ends_on_frame) return std::nullopt;

  const std::uint64_t coded = std::uint64_t{lame->frames} * fh.samples;
  if (coded <= std::uint64_t{lame->delay} + lame->padding) return std::nullopt;
  Mp3Length out;
  out.samples = coded - lame->delay - lame->padding;
  out.rate = fh.rate;
  out.channels = fh.channels;
  return out;
}

}  // namespace quillet::audio
