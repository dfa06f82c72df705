#include "common/TextRules.h"
#include "playlist/TagReader.h"
#include "playlist/TrackProbe.h"

namespace quillet {

std::string FileLengthText(const std::string& path, const LengthProbe& probe) {
  if (!probe) return {};
  const std::optional<double> seconds = probe(path);
  if (!seconds || !(*seconds > 0)) return {};
  return TimeText(*seconds);
}

PlaylistRow ProbeTrackRow(const std::string& path, const LengthProbe& probe,
                          const TrackProbeOptions& options) {
  PlaylistRow row;
  row.name = FileNamePart(path);
  row.path = path;
  // Only a regular file is read or measured: a folder, FIFO or device gets a row of its own
  // name and path with nothing else, and never blocks the caller.
  if (!IsRegularFile(path)) return row;
  Id3Tag tag = ReadId3Tag(path);
  if (tag.found) {
    row.singer = std::move(tag.artist);
    row.album = std::move(tag.album);
  }
  if (options.fullTags) {
    const TagTexts tags = ReadEmbeddedTags(path, options.tagEncoding, kTagTexts).texts;
    auto put = [&](std::string* field, const std::string& text, std::size_t capacity) {
      if (!text.empty()) *field = RowTextFromUtf8(text, capacity, options.rowEncoding);
    };
    put(&row.name, tags.title, kSongNameCapacity);
    put(&row.singer, tags.artist, kSingerNameCapacity);
    put(&row.album, tags.album, kAlbumNameCapacity);
  }
  row.length = FileLengthText(path, probe);
  return row;
}

}  // namespace quillet
