// Turning an audio file path into a playlist row: ID3v1 tag, file name, length text.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "playlist/LegacyText.h"
#include "playlist/Playlist.h"
#include "playlist/RowText.h"

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

// Measures an audio file's length in seconds without a device; nothing when it cannot. The
// engine supplies it: this layer reads bytes and never decodes.
using LengthProbe = std::function<std::optional<double>(const std::string& path)>;

// Length of an audio file as a time text; empty when unknown or not above zero.
std::string FileLengthText(const std::string& path, const LengthProbe& probe);

struct TrackProbeOptions {
  // Song, singer and album from the best tag (ID3v2, APE, Vorbis comment, ID3v1) instead of
  // the file name and the raw ID3v1 fields; a text that no tag holds stays as without it.
  bool fullTags = false;
  // How ID3v1 texts and ID3v2 frames declared Latin-1 are read.
  LegacyEncoding tagEncoding = LegacyEncoding::kAuto;
  // The bytes tag texts are stored in, cut to the record's field capacities.
  RowEncoding rowEncoding = LocaleRowEncoding();
};

// name, singer, album, FileLengthText(path), path. A path that is not a regular file gets
// empty tag and length texts. With fullTags on, the texts the best tag holds replace them.
PlaylistRow ProbeTrackRow(const std::string& path, const LengthProbe& probe,
                          const TrackProbeOptions& options = {});

}  // namespace quillet
