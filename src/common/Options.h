// The choices of the Options window, kept in a settings file of Quillet's own,
// ConfigHomeDir()/options.ini (INI form), next to the kept volume; never in the settings record.
// Every option's default is off, zero or empty, and with all of them at their defaults the
// player behaves as it always has.
#pragma once

#include <string>

#include "common/FileIo.h"

namespace quillet {

// How tag texts that declare no encoding (ID3v1, Latin-1 frames) are read.
enum class TagEncoding { Auto, Gb18030, Big5, Latin1 };

inline constexpr int kMinLyricDelayMs = -2000;
inline constexpr int kMaxLyricDelayMs = 2000;

struct Options {
  // Lyrics.
  bool exactLyrics = false;      // 精确歌词: each line from its exact stamp
  bool showTranslation = false;  // 显示翻译: a group's translation after its original
  int lyricDelayMs = 0;          // output delay: lyrics follow the sound this much later

  // Tags and files.
  bool fullTags = false;        // 读取完整标签
  bool embeddedLyrics = false;  // 读取内嵌歌词
  TagEncoding tagEncoding = TagEncoding::Auto;
  bool addFoldersOnDrop = false;  // 拖入文件夹时添加其中的歌曲

  // The desktop lyric bar.
  bool desktopLyrics = false;        // 桌面歌词
  bool desktopLyricsLocked = false;  // 锁定桌面歌词
  bool desktopBarPlaced = false;     // the four numbers below hold a place of the bar
  int desktopBarX = 0, desktopBarY = 0, desktopBarWidth = 0, desktopBarHeight = 0;
  int desktopFontSize = 0;             // pixels; 0: the bar's own size
  std::string desktopTextColour;       // "#rrggbb"; empty: the bar's own colour
  std::string desktopHighlightColour;  // "#rrggbb"; empty: the bar's own colour

  bool operator==(const Options&) const = default;
};

// "自动", "GB18030", "Big5", "Latin-1" (UTF-8).
const char* TagEncodingCaption(TagEncoding encoding);

// ConfigHomeDir() + "/options.ini"; empty when there is no configuration folder.
std::string OptionsFilePath();

// Sets *options from the file. A missing file (or no configuration folder) gives the defaults
// and no error; a value that is missing or not one the option takes (a word where a number
// belongs, a delay beyond -2000..2000, "#12345" as a colour) leaves that option at its default.
// A file that cannot be read or is not INI text gives the defaults and an error naming it.
IoResult LoadOptions(Options* options);
// The same from a file of the caller's choice.
IoResult LoadOptionsFrom(const std::string& path, Options* options);

// Creates the folder when missing and writes every option. The file is replaced as a whole; a
// failure leaves the old file and is returned.
IoResult SaveOptions(const Options& options);
IoResult SaveOptionsTo(const std::string& path, const Options& options);

}  // namespace quillet
