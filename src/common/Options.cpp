#include "common/Options.h"

#include <QSettings>
#include <QString>
#include <array>

#include "common/ConfigHome.h"

namespace quillet {

namespace {

// The names in the file.
constexpr const char* kExactLyrics = "lyrics/exact";
constexpr const char* kShowTranslation = "lyrics/showTranslation";
constexpr const char* kLyricDelay = "lyrics/delayMs";
constexpr const char* kFullTags = "tags/full";
constexpr const char* kEmbeddedLyrics = "tags/embeddedLyrics";
constexpr const char* kTagEncoding = "tags/encoding";
constexpr const char* kAddFolders = "playlist/addFoldersOnDrop";
constexpr const char* kDesktopShown = "desktopLyrics/shown";
constexpr const char* kDesktopLocked = "desktopLyrics/locked";
constexpr const char* kDesktopPlaced = "desktopLyrics/placed";
constexpr const char* kDesktopX = "desktopLyrics/x";
constexpr const char* kDesktopY = "desktopLyrics/y";
constexpr const char* kDesktopWidth = "desktopLyrics/width";
constexpr const char* kDesktopHeight = "desktopLyrics/height";
constexpr const char* kDesktopFontSize = "desktopLyrics/fontSize";
constexpr const char* kDesktopTextColour = "desktopLyrics/textColour";
constexpr const char* kDesktopHighlightColour = "desktopLyrics/highlightColour";

// The encodings by their names in the file, in the enum's order.
constexpr std::array<const char*, 4> kEncodingNames = {"auto", "gb18030", "big5", "latin1"};

QString Text(const QSettings& s, const char* key) {
  return s.value(QLatin1String(key)).toString().trimmed();
}

void ReadBool(const QSettings& s, const char* key, bool* out) {
  const QString v = Text(s, key).toLower();
  if (v == QLatin1String("true") || v == QLatin1String("1")) *out = true;
  if (v == QLatin1String("false") || v == QLatin1String("0")) *out = false;
}

void ReadInt(const QSettings& s, const char* key, int lo, int hi, int* out) {
  bool ok = false;
  const int v = Text(s, key).toInt(&ok);
  if (ok && v >= lo && v <= hi) *out = v;
}

void ReadColour(const QSettings& s, const char* key, std::string* out) {
  const QString v = Text(s, key);
  if (v.size() != 7 || v[0] != QLatin1Char('#')) return;
  for (qsizetype i = 1; i < v.size(); ++i) {
    const char16_t c = v[i].unicode();
    const bool hex =
        (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
    if (!hex) return;
  }
  *out = v.toLower().toStdString();
}

// Where a window may stand: far beyond any screen is no place.
constexpr int kMaxCoordinate = 100000;

}  // namespace

const char* TagEncodingCaption(TagEncoding encoding) {
  switch (encoding) {
    case TagEncoding::Auto:
      return "自动";
    case TagEncoding::Gb18030:
      return "GB18030";
    case TagEncoding::Big5:
      return "Big5";
    case TagEncoding::Latin1:
      return "Latin-1";
  }
  return "";
}

std::string OptionsFilePath() {
  const std::string dir = ConfigHomeDir();
  return dir.empty() ? std::string() : dir + "/options.ini";
}

IoResult LoadOptions(Options* options) {
  *options = Options{};
  const std::string path = OptionsFilePath();
  if (path.empty()) return {};
  return LoadOptionsFrom(path, options);
}

IoResult LoadOptionsFrom(const std::string& path, Options* options) {
  *options = Options{};
  if (!PathExists(path)) return {};
  // QSettings reads an unreadable file as an empty one; read a byte first to have the reason.
  std::string head;
  IoResult io = ReadFileHead(path, 1, &head);
  if (!io.ok) return io;

  const QSettings s(QString::fromStdString(path), QSettings::IniFormat);
  if (s.status() != QSettings::NoError) {
    return {false, "ignoring " + path + ": not a settings file of INI form"};
  }
  Options o;
  ReadBool(s, kExactLyrics, &o.exactLyrics);
  ReadBool(s, kShowTranslation, &o.showTranslation);
  ReadInt(s, kLyricDelay, kMinLyricDelayMs, kMaxLyricDelayMs, &o.lyricDelayMs);
  ReadBool(s, kFullTags, &o.fullTags);
  ReadBool(s, kEmbeddedLyrics, &o.embeddedLyrics);
  const QString encoding = Text(s, kTagEncoding).toLower();
  for (std::size_t i = 0; i < kEncodingNames.size(); ++i) {
    if (encoding == QLatin1String(kEncodingNames[i])) o.tagEncoding = static_cast<TagEncoding>(i);
  }
  ReadBool(s, kAddFolders, &o.addFoldersOnDrop);
  ReadBool(s, kDesktopShown, &o.desktopLyrics);
  ReadBool(s, kDesktopLocked, &o.desktopLyricsLocked);
  ReadBool(s, kDesktopPlaced, &o.desktopBarPlaced);
  ReadInt(s, kDesktopX, -kMaxCoordinate, kMaxCoordinate, &o.desktopBarX);
  ReadInt(s, kDesktopY, -kMaxCoordinate, kMaxCoordinate, &o.desktopBarY);
  ReadInt(s, kDesktopWidth, 0, kMaxCoordinate, &o.desktopBarWidth);
  ReadInt(s, kDesktopHeight, 0, kMaxCoordinate, &o.desktopBarHeight);
  ReadInt(s, kDesktopFontSize, 0, 400, &o.desktopFontSize);
  ReadColour(s, kDesktopTextColour, &o.desktopTextColour);
  ReadColour(s, kDesktopHighlightColour, &o.desktopHighlightColour);
  // A place without a size is none.
  if (o.desktopBarWidth == 0 || o.desktopBarHeight == 0) o.desktopBarPlaced = false;
  *options = o;
  return {};
}

IoResult SaveOptions(const Options& options) {
  const std::string dir = ConfigHomeDir();
  if (dir.empty())
    return {false, "cannot keep the options: neither XDG_CONFIG_HOME nor HOME is set"};
  IoResult io = MakeDirectories(dir);
  if (!io.ok) return io;
  return SaveOptionsTo(OptionsFilePath(), options);
}

IoResult SaveOptionsTo(const std::string& path, const Options& o) {
  if (IsDirectory(path)) return {false, "cannot write " + path + ": it is a folder"};
  // QSettings replaces the file through a temporary file of its own, so a failed write leaves
  // the old file; keys it does not know stay in the file.
  QSettings s(QString::fromStdString(path), QSettings::IniFormat);
  const auto put = [&s](const char* key, const QVariant& value) {
    s.setValue(QLatin1String(key), value);
  };
  put(kExactLyrics, o.exactLyrics);
  put(kShowTranslation, o.showTranslation);
  put(kLyricDelay, o.lyricDelayMs);
  put(kFullTags, o.fullTags);
  put(kEmbeddedLyrics, o.embeddedLyrics);
  put(kTagEncoding, QLatin1String(kEncodingNames[static_cast<std::size_t>(o.tagEncoding)]));
  put(kAddFolders, o.addFoldersOnDrop);
  put(kDesktopShown, o.desktopLyrics);
  put(kDesktopLocked, o.desktopLyricsLocked);
  put(kDesktopPlaced, o.desktopBarPlaced);
  put(kDesktopX, o.desktopBarX);
  put(kDesktopY, o.desktopBarY);
  put(kDesktopWidth, o.desktopBarWidth);
  put(kDesktopHeight, o.desktopBarHeight);
  put(kDesktopFontSize, o.desktopFontSize);
  put(kDesktopTextColour, QString::fromStdString(o.desktopTextColour));
  put(kDesktopHighlightColour, QString::fromStdString(o.desktopHighlightColour));
  s.sync();
  if (s.status() != QSettings::NoError) {
    return {false, "cannot write " + path +
                       (s.status() == QSettings::AccessError ? ": no access" : ": format error")};
  }
  return {};
}

}  // namespace quillet
