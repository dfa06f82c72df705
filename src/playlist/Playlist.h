// Playlist files (.pst): a flat sequence of 225-byte records, no header.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "common/FileIo.h"

namespace quillet {

// The five texts of a playlist row, in column order.
struct PlaylistRow {
  std::string name, singer, album, length, path;
};

inline constexpr std::size_t kPlaylistRecordSize = 225;
// Byte capacities of the record's text fields.
inline constexpr std::size_t kSongNameCapacity = 30, kSingerNameCapacity = 30,
                             kAlbumNameCapacity = 30, kSongLengthCapacity = 10,
                             kFilePathCapacity = 120;

// 225 bytes; fields cut by bytes to 30/30/30/10/120.
std::string EncodePlaylistRecord(const PlaylistRow&);
// A length byte above a field's capacity reads as the capacity.
PlaylistRow DecodePlaylistRecord(std::string_view record225);
// size/225 records; a trailing remainder is ignored.
std::vector<PlaylistRow> DecodePlaylistFile(std::string_view bytes);
std::string EncodePlaylistFile(const std::vector<PlaylistRow>&);

// Atomic replace of the file.
IoResult SavePlaylistFile(const std::string& path, const std::vector<PlaylistRow>& rows);
// Appends the file's rows to *rows.
IoResult LoadPlaylistFile(const std::string& path, std::vector<PlaylistRow>* rows);

}  // namespace quillet
