// LRC lyric files: lookup, reading into lines, and the texts the lyric strip shows.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/FileIo.h"
#include "common/TextRules.h"

namespace quillet {

// Refreshes *lyricDir through ReadLyricDir (a read failure leaves it empty and is returned in
// *io), then forms the lyric file's path for the audio file: the file name up to its first
// ".mp3" (else its first ".wav", letters in any case; else up to its last extension) plus
// ".lrc", in the lyric directory when there is one, else beside the audio file.
std::string LyricFileName(const std::string& audioPath, std::string* lyricDir, IoResult* io);

// LF and CR LF end a line, a lone CR is dropped, Ctrl-Z at the start of a line ends the text
// and inside a line ends that line; a last line without a line end counts.
std::vector<std::string> SplitLyricLines(std::string_view bytes);

// The bytes of a lyric file as the line rules read them. Text saved with a byte-order mark is
// taken without it: after a UTF-8 mark the bytes follow as they are, a UTF-16 text (either byte
// order) comes back as UTF-8. Bytes without a mark come back unchanged.
std::string LyricTextBytes(std::string_view bytes);

// Appends the file's lines (LyricTextBytes, then SplitLyricLines) to *lines; on a read failure
// nothing is appended. The file itself is never changed.
IoResult LoadLyricFile(const std::string& path, std::vector<std::string>* lines);

// True exactly when there is no line at all (one empty line is a lyric).
bool LyricTextEmpty(const std::vector<std::string>& lines);

inline constexpr const char* kHeaderInfoKey = "HeaderInfo";

// What the lyric strip shows for a key: the header summary for kHeaderInfoKey, nothing for an
// empty key, else the text after the last "]" of the first line holding the key. An empty
// result means: leave the strip as it is. The result is display text in UTF-8: the labels
// ("标题：" ...) and the values, each value decoded from the file's bytes by DisplayText.
std::string ShowLyricText(const std::vector<std::string>& lines, std::string_view key);

// "歌曲：" name "    歌手：" artist "    专辑：" album, as UTF-8 display text. Each value is
// trimmed, shown up to its first NUL (tag fields are NUL padded) and decoded by DisplayText.
std::string TrackInfoLine(std::string_view name, std::string_view artist, std::string_view album);

}  // namespace quillet
