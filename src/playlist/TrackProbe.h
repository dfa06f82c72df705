// Turning an audio file path into a playlist row: ID3v1 tag, file name, length text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "playlist/Playlist.h"

namespace quillet {

inline constexpr std::size_t kId3TrailerSize = 128;

struct Id3Tag {
  bool found = false;
  std::string artist, album;  // 30 raw bytes each when found
};

// The last 128 bytes; the "TAG" marker compared case-insensitively. Never blocks on a path
// that is not a regular file.
Id3Tag ReadId3Tag(const std::string& path);

// The tag in a file's last 128 bytes; anything shorter holds no tag.
Id3Tag ParseId3Trailer(std::string_view trailer);

// The part after the last '/', extension kept; the whole path when there is no '/'.
std::string FileNamePart(std::string_view path);

// Length of an audio file as a time text, measured without decoding; empty when unknown.
std::string FileLengthText(const std::string& path);

// name, singer, album, FileLengthText(path), path. A path that is not a regular file gets
// empty tag and length texts.
PlaylistRow ProbeTrackRow(const std::string& path);

}  // namespace quillet
