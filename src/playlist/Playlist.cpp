#include "playlist/Playlist.h"

#include <algorithm>
#include <array>

namespace quillet {

namespace {

struct Field {
  std::string PlaylistRow::*text;
  std::size_t capacity;
};

// Record layout: each field is a length byte followed by its capacity.
constexpr std::array<Field, 5> kFields{{
    {&PlaylistRow::name, kSongNameCapacity},      // SongName
    {&PlaylistRow::singer, kSingerNameCapacity},  // SingerName
    {&PlaylistRow::album, kAlbumNameCapacity},    // AlbumName
    {&PlaylistRow::length, kSongLengthCapacity},  // SongLength
    {&PlaylistRow::path, kFilePathCapacity},      // FilePath
}};

static_assert(
    [] {
      std::size_t total = 0;
      for (const Field& f : kFields) total += 1 + f.capacity;
      return total;
    }() == kPlaylistRecordSize,
    "the fields must fill the record");

}  // namespace

std::string EncodePlaylistRecord(const PlaylistRow& row) {
  std::string out(kPlaylistRecordSize, '\0');
  std::size_t at = 0;
  for (const Field& f : kFields) {
    const std::string& text = row.*f.text;
    const std::size_t n = std::min(text.size(), f.capacity);
    out[at] = static_cast<char>(n);
    text.copy(&out[at + 1], n);
    at += 1 + f.capacity;
  }
  return out;
}

PlaylistRow DecodePlaylistRecord(std::string_view record) {
  PlaylistRow row;
  if (record.size() < kPlaylistRecordSize) return row;
  std::size_t at = 0;
  for (const Field& f : kFields) {
    const std::size_t n = std::min<std::size_t>(static_cast<unsigned char>(record[at]), f.capacity);
    (row.*f.text).assign(record.substr(at + 1, n));
    at += 1 + f.capacity;
  }
  return row;
}

std::vector<PlaylistRow> DecodePlaylistFile(std::string_view bytes) {
  std::vector<PlaylistRow> rows;
  const std::size_t count = bytes.size() / kPlaylistRecordSize;
  rows.reserve(count);
  for (std::size_t i = 0; i < count; ++i)
    rows.push_back(
        DecodePlaylistRecord(bytes.substr(i * kPlaylistRecordSize, kPlaylistRecordSize)));
  return rows;
}

std::string EncodePlaylistFile(const std::vector<PlaylistRow>& rows) {
  std::string out;
  out.reserve(rows.size() * kPlaylistRecordSize);
  for (const PlaylistRow& row : rows) out += EncodePlaylistRecord(row);
  return out;
}

IoResult SavePlaylistFile(const std::string& path, const std::vector<PlaylistRow>& rows) {
  return WriteFileAtomic(path, EncodePlaylistFile(rows));
}

IoResult LoadPlaylistFile(const std::string& path, std::vector<PlaylistRow>* rows) {
  std::string bytes;
  IoResult io = ReadWholeFile(path, &bytes);
  if (!io.ok) return io;
  std::vector<PlaylistRow> loaded = DecodePlaylistFile(bytes);
  rows->insert(rows->end(), std::make_move_iterator(loaded.begin()),
               std::make_move_iterator(loaded.end()));
  return {};
}

}  // namespace quillet
