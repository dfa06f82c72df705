// The tags that audio files carry today (ID3v2, APE, Vorbis comments, ID3v1), read through
// TagLib: texts, the embedded front cover and the embedded lyric. Everything comes out as UTF-8;
// no TagLib type shows here.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "playlist/LegacyText.h"

namespace quillet {

// The texts of the best tag. Each field comes from the first tag, in the order ID3v2, APE,
// Vorbis comment, ID3v1, that holds it; empty (0) when none does.
struct TagTexts {
  std::string title, artist, album, albumArtist;  // UTF-8
  int trackNumber = 0;
  bool Empty() const {
    return title.empty() && artist.empty() && album.empty() && albumArtist.empty() &&
           trackNumber == 0;
  }
};

struct EmbeddedPicture {
  std::string bytes;
  std::string mimeType;   // "image/jpeg", "image/png", ... (from the bytes when they say)
  std::string extension;  // "jpg", "png", "gif", "webp", "bmp"; "img" when unknown
  bool Empty() const { return bytes.empty(); }
};

struct EmbeddedTags {
  TagTexts texts;
  // The front cover; else the first picture.
  EmbeddedPicture cover;
  // The embedded lyric as UTF-8: timed LRC text where the file has one (a USLT frame or Vorbis
  // field holding LRC, or a SYLT frame turned into "[mm:ss.xx]line" lines), else plain text.
  std::string lyric;
};

// What to read; covers and lyrics cost time and memory that a playlist row does not need.
enum TagParts : unsigned {
  kTagTexts = 1u << 0,
  kTagCover = 1u << 1,
  kTagLyric = 1u << 2,
  kTagAll = kTagTexts | kTagCover | kTagLyric,
};

// The container, normally found from the file's first bytes.
enum class TagContainer { kDetect, kMpeg, kFlac, kOggVorbis, kOggOpus, kOggFlac, kWave };

// Reads the tags of a file. Only a regular file is opened (a FIFO or device never blocks the
// caller); a missing, unreadable or broken file gives empty results. Texts of ID3v1 and of
// ID3v2 frames that declare Latin-1 are decoded as `encoding` says; UTF-8 and UTF-16 frames are
// taken as they are.
EmbeddedTags ReadEmbeddedTags(const std::string& path,
                              LegacyEncoding encoding = LegacyEncoding::kAuto,
                              unsigned parts = kTagAll);

// The same over a file's bytes in memory.
EmbeddedTags ReadEmbeddedTagsFromBytes(std::string_view bytes,
                                       TagContainer container = TagContainer::kDetect,
                                       LegacyEncoding encoding = LegacyEncoding::kAuto,
                                       unsigned parts = kTagAll);

// The container that a file's first bytes announce (an ID3v2 tag before FLAC is looked past);
// kMpeg for anything else, whose ID3v2, APE and ID3v1 tags are then looked for.
TagContainer DetectTagContainer(std::string_view head);

// SYLT entries as LRC lines: entries without a line break each make a line; otherwise a line
// starts at each entry that begins with a line break (syllable-timed lyrics), stamped with the
// time of its first entry. Texts are UTF-8.
struct TimedText {
  long long milliseconds = 0;
  std::string text;
};
std::string TimedTextToLrc(const std::vector<TimedText>& entries);

// "[mm:ss.xx]" for a time in milliseconds (minutes unbounded, hundredths truncated).
std::string LrcStamp(long long milliseconds);

}  // namespace quillet
