// Other players' playlists: M3U and M3U8 (with #EXTINF), PLS and XSPF are read; M3U8 is
// written. Paths stay bytes: whatever a playlist holds is taken as it is (an M3U in the
// locale's narrow encoding, GB18030 say, gives its bytes unchanged), only a byte-order mark is
// dropped and UTF-16 turned into UTF-8.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/FileIo.h"
#include "playlist/Playlist.h"

namespace quillet {

// One entry of a playlist, as the playlist tells it. Nothing here has been looked up on disk.
struct PlaylistEntry {
  std::string path;     // absolute path bytes; a URL that names no local file is kept as it is
  std::string title;    // #EXTINF title, TitleN=, <title>; empty when none
  double seconds = -1;  // the length the playlist gives; negative when none
  std::string artist, album;  // #EXTART/#EXTALB, <creator>/<album>; empty when none
};

enum class PlaylistFormat { kNone, kPst, kM3u, kM3u8, kPls, kXspf };

// By the name's extension, without regard to case: .pst, .m3u, .m3u8, .pls, .xspf.
PlaylistFormat PlaylistFormatOfPath(std::string_view path);

// The entries of a playlist's bytes. Relative paths are taken from `base_dir` (the playlist's
// folder), and "." and ".." are resolved by name. Lines or elements that name nothing are
// skipped; no error is ever raised over content.
std::vector<PlaylistEntry> ParseM3u(std::string_view bytes, const std::string& base_dir);
std::vector<PlaylistEntry> ParsePls(std::string_view bytes, const std::string& base_dir);
std::vector<PlaylistEntry> ParseXspf(std::string_view bytes, const std::string& base_dir);

// Reads an M3U, M3U8, PLS or XSPF file (the format by its extension, or by its content when
// the extension says nothing) and appends its entries. A file that cannot be read is an error;
// a .pst is not read here (LoadPlaylistFile).
IoResult ReadForeignPlaylist(const std::string& path, std::vector<PlaylistEntry>* entries);

// The row an entry stands for when its file is not probed (it does not exist, or is no regular
// file): the title as song name, or the path's file name when there is none; the artist and
// album as singer and album; the length as a time text ("" when unknown); the path.
PlaylistRow RowFromEntry(const PlaylistEntry& entry);

// An M3U8 of the rows: "#EXTM3U", then for each row "#EXTINF:<seconds>,<song name>" (-1 when
// the length text is no mm:ss time), "#EXTART:"/"#EXTALB:" for a singer or album, and the path:
// relative to `playlist_dir` where the file lies below it, whole otherwise. Texts are cut at a
// NUL (as the view shows them) and a line break in them becomes a space; a path that cannot
// stand on a line of its own is written as a file:// URL. Reading it back gives the same rows.
std::string EncodeM3u8(const std::vector<PlaylistRow>& rows, const std::string& playlist_dir);

// Atomic replace of the file with EncodeM3u8 for the file's own folder.
IoResult SaveM3u8File(const std::string& path, const std::vector<PlaylistRow>& rows);

// A file: URL's path bytes (%-escapes decoded; "localhost" or no host); false for any other
// URL or text.
bool FileUrlToPath(std::string_view url, std::string* path);
// The file:// URL of an absolute path, every byte but unreserved ASCII and '/' %-escaped.
std::string PathToFileUrl(std::string_view path);

}  // namespace quillet
