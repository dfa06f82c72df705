// LRC lyric files: lookup, reading into lines, and the texts the lyric strip shows.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/FileIo.h"

namespace quillet {

// Refreshes *lyricDir through ReadLyricDir (a read failure leaves it empty and is returned in
// *io), then forms the lyric file's path for the audio file.
std::string LyricFileName(const std::string& audioPath, std::string* lyricDir, IoResult* io);

// LF and CR LF end a line, a lone CR is dropped, Ctrl-Z at the start of a line ends the text
// and inside a line ends that line; a last line without a line end counts.
std::vector<std::string> SplitLyricLines(std::string_view bytes);

// Appends the file's lines to *lines.
IoResult LoadLyricFile(const std::string& path, std::vector<std::string>* lines);

// True exactly when there is no line at all.
bool LyricTextEmpty(const std::vector<std::string>& lines);

inline constexpr const char* kHeaderInfoKey = "HeaderInfo";

// What the lyric strip shows for a key. An empty result means: leave the strip as it is.
// Labels are UTF-8 ("标题：" ...); the values are the file's bytes.
std::string ShowLyricText(const std::vector<std::string>& lines, std::string_view key);

// Removes characters of code 32 or below at both ends.
std::string TrimControl(std::string_view s);

// "歌曲：" name "    歌手：" artist "    专辑：" album (UTF-8 labels); values trimmed.
std::string TrackInfoLine(std::string_view name, std::string_view artist, std::string_view album);

}  // namespace quillet
