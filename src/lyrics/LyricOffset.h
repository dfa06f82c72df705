// Moving a lyric earlier or later: the [offset:] line of a lyric file, written in place.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/FileIo.h"

namespace quillet {

// Offsets written are kept within what the reader reads back (nine digits).
inline constexpr std::int64_t kMaxLyricOffsetMs = 999'999'999;

// The file's bytes with its [offset:] set to offsetMs (clamped to +-kMaxLyricOffsetMs), written
// as "[offset:300]" or "[offset:-200]". Only the tag's value changes when the file has one (the
// first one, the one the reader takes; its key keeps its spelling and the line its line end);
// otherwise one line "[offset:N]" is inserted after the header lines at the top of the file
// (the leading run of tag lines and blank lines), or first when there are none, ended with the
// file's own line end (its first one; CR LF in a file without any). The text keeps its
// encoding: a UTF-16 file (either byte order) gets UTF-16 units, a UTF-8 mark stays, other
// bytes are left as they are. Every byte outside the value or the new line is unchanged.
std::string SetLyricOffsetBytes(std::string_view fileBytes, std::int64_t offsetMs);

// Reads the file, sets its offset as above and replaces it atomically (a failure leaves the old
// file). A file that already holds that offset is not written again.
IoResult WriteLyricOffset(const std::string& path, std::int64_t offsetMs);

// The strip's confirmation of a move by deltaMs: "歌词提前 0.3 秒" for +300 (earlier),
// "歌词延后 0.3 秒" for -300 (later), "歌词时间复原" for 0. Seconds without trailing zeros:
// 1000 gives "1", 250 gives "0.25". UTF-8.
std::string LyricOffsetNotice(std::int64_t deltaMs);

}  // namespace quillet
