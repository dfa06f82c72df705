#include "playlist/ForeignPlaylist.h"

#include <QByteArray>
#include <QString>
#include <QXmlStreamReader>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>

#include "common/TextRules.h"
#include "playlist/TrackProbe.h"

namespace quillet {

namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && EqualsNoCase(s.substr(0, prefix.size()), prefix);
}

std::string_view TrimBlanks(std::string_view s) {
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

// The text without a byte-order mark; UTF-16 (with its mark) becomes UTF-8.
std::string WithoutBom(std::string_view bytes) {
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") return std::string(bytes.substr(3));
  const bool le = bytes.substr(0, 2) == "\xFF\xFE";
  const bool be = bytes.substr(0, 2) == "\xFE\xFF";
  if (!le && !be) return std::string(bytes);
  std::u16string units;
  for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
    const auto a = static_cast<unsigned char>(bytes[i]);
    const auto b = static_cast<unsigned char>(bytes[i + 1]);
    units.push_back(static_cast<char16_t>(le ? (b << 8 | a) : (a << 8 | b)));
  }
  const QByteArray utf8 =
      QString::fromUtf16(units.data(), static_cast<qsizetype>(units.size())).toUtf8();
  return std::string(utf8.constData(), static_cast<std::size_t>(utf8.size()));
}

// Lines ended by LF, CR LF or a lone CR, without their ends.
std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\n' && text[i] != '\r') continue;
    lines.push_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string PercentDecoded(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size()) {
      const int hi = HexValue(s[i + 1]), lo = HexValue(s[i + 2]);
      if (hi >= 0 && lo >= 0) {
        out += static_cast<char>(hi << 4 | lo);
        i += 2;
        continue;
      }
    }
    out += s[i];
  }
  return out;
}

// "scheme://" at the start: a URL, not a path.
bool HasScheme(std::string_view s) {
  const std::size_t colon = s.find("://");
  if (colon == std::string_view::npos || colon == 0) return false;
  for (std::size_t i = 0; i < colon; ++i) {
    const char c = s[i];
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                    (i > 0 && ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'));
    if (!ok) return false;
  }
  return true;
}

// "C:\..." or "C:/...": a path of another system, kept as it is.
bool IsDrivePath(std::string_view s) {
  return s.size() >= 3 && ((s[0] >= 'A' && s[0] <= 'Z') || (s[0] >= 'a' && s[0] <= 'z')) &&
         s[1] == ':' && (s[2] == '\\' || s[2] == '/');
}

// "." and empty components dropped, ".." taking off the one before; always absolute.
std::string Normalized(std::string_view path) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t slash = path.find('/', start);
    if (slash == std::string_view::npos) slash = path.size();
    const std::string_view part = path.substr(start, slash - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = slash + 1;
  }
  std::string out;
  for (std::string_view part : parts) {
    out += '/';
    out += part;
  }
  return out.empty() ? "/" : out;
}

// A path, URL or relative path of a playlist, as the entry's path.
std::string EntryPath(std::string_view text, const std::string& base_dir) {
  std::string path;
  if (FileUrlToPath(text, &path)) return path;
  if (HasScheme(text) || IsDrivePath(text)) return std::string(text);
  if (text.empty()) return {};
  std::string local(text);
  // A playlist from another system may separate with backslashes only.
  if (local.find('/') == std::string::npos) std::replace(local.begin(), local.end(), '\\', '/');
  if (local.front() == '/') return Normalized(local);
  return Normalized(base_dir + "/" + local);
}

// A number at the start of `s` ("245", "-1", "12.5 tvg-id=..."); `fallback` when there is none.
double LeadingNumber(std::string_view s, double fallback) {
  s = TrimBlanks(s);
  double value = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (ec != std::errc() || end == s.data() || !std::isfinite(value)) return fallback;
  return value;
}

// "mm:ss" exactly as TimeText writes it, in seconds; -1 for anything else.
long long TimeTextSeconds(std::string_view text) {
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos || colon < 2 || text.size() != colon + 3) return -1;
  long long minutes = 0, secs = 0;
  const auto m = std::from_chars(text.data(), text.data() + colon, minutes);
  const auto s = std::from_chars(text.data() + colon + 1, text.data() + text.size(), secs);
  if (m.ec != std::errc() || m.ptr != text.data() + colon || s.ec != std::errc() ||
      s.ptr != text.data() + text.size() || minutes < 0 || secs < 0 || secs > 59 ||
      minutes > 1'000'000'000)
    return -1;
  const long long total = minutes * 60 + secs;
  return TimeText(static_cast<double>(total)) == text ? total : -1;
}

// A row text on one line: up to its first NUL, line breaks as spaces.
std::string LineText(std::string_view text) {
  std::string out(text.substr(0, text.find('\0')));
  std::replace(out.begin(), out.end(), '\n', ' ');
  std::replace(out.begin(), out.end(), '\r', ' ');
  return out;
}

std::string ToBytes(const QString& s) {
  const QByteArray utf8 = s.toUtf8();
  return std::string(utf8.constData(), static_cast<std::size_t>(utf8.size()));
}

}  // namespace

PlaylistFormat PlaylistFormatOfPath(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return PlaylistFormat::kNone;
  const std::string_view ext = name.substr(dot + 1);
  if (EqualsNoCase(ext, "pst")) return PlaylistFormat::kPst;
  if (EqualsNoCase(ext, "m3u")) return PlaylistFormat::kM3u;
  if (EqualsNoCase(ext, "m3u8")) return PlaylistFormat::kM3u8;
  if (EqualsNoCase(ext, "pls")) return PlaylistFormat::kPls;
  if (EqualsNoCase(ext, "xspf")) return PlaylistFormat::kXspf;
  return PlaylistFormat::kNone;
}

bool FileUrlToPath(std::string_view url, std::string* path) {
  if (!StartsWithNoCase(url, "file:")) return false;
  std::string_view rest = url.substr(5);
  if (rest.substr(0, 2) == "//") {
    rest.remove_prefix(2);
    const std::size_t slash = rest.find('/');
    if (slash == std::string_view::npos) return false;
    const std::string_view host = rest.substr(0, slash);
    if (!host.empty() && !EqualsNoCase(host, "localhost")) return false;
    rest.remove_prefix(slash);
  }
  if (rest.empty() || rest.front() != '/') return false;
  // A query or fragment has no place in a file URL; '#' and '?' in names come escaped.
  *path = PercentDecoded(rest);
  return true;
}

std::string PathToFileUrl(std::string_view path) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string url = "file://";
  for (char ch : path) {
    const auto c = static_cast<unsigned char>(ch);
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '.' || c == '_' || c == '~' || c == '/';
    if (plain) {
      url += ch;
    } else {
      url += '%';
      url += kHex[c >> 4];
      url += kHex[c & 15];
    }
  }
  return url;
}

std::vector<PlaylistEntry> ParseM3u(std::string_view bytes, const std::string& base_dir) {
  const std::string text = WithoutBom(bytes);
  std::vector<PlaylistEntry> entries;
  PlaylistEntry next;  // what the # lines said about the next path
  for (std::string_view raw : Lines(text)) {
    const std::string_view line = TrimBlanks(raw);
    if (line.empty()) continue;
    if (line.front() == '#') {
      // A directive's text is taken to the end of its line, blanks and all.
      const std::string_view directive = raw.substr(raw.find('#'));
      if (StartsWithNoCase(directive, "#EXTINF:")) {
        const std::string_view info = directive.substr(8);
        const std::size_t comma = info.find(',');
        next.seconds = LeadingNumber(info.substr(0, comma), -1);
        next.title =
            comma == std::string_view::npos ? std::string() : std::string(info.substr(comma + 1));
      } else if (StartsWithNoCase(directive, "#EXTART:")) {
        next.artist = std::string(directive.substr(8));
      } else if (StartsWithNoCase(directive, "#EXTALB:")) {
        next.album = std::string(directive.substr(8));
      }
      continue;  // #EXTM3U, other directives and comments
    }
    next.path = EntryPath(line, base_dir);
    entries.push_back(std::move(next));
    next = PlaylistEntry{};
  }
  return entries;
}

std::vector<PlaylistEntry> ParsePls(std::string_view bytes, const std::string& base_dir) {
  const std::string text = WithoutBom(bytes);
  std::map<long long, PlaylistEntry> numbered;
  std::map<long long, bool> has_file;
  for (std::string_view raw : Lines(text)) {
    const std::string_view line = TrimBlanks(raw);
    const std::size_t eq = line.find('=');
    if (line.empty() || line.front() == '[' || line.front() == ';' || eq == std::string_view::npos)
      continue;
    const std::string_view key = TrimBlanks(line.substr(0, eq));
    const std::string_view value = TrimBlanks(line.substr(eq + 1));
    std::string_view field;
    for (std::string_view name : {"File", "Title", "Length"})
      if (StartsWithNoCase(key, name)) field = name;
    if (field.empty()) continue;
    long long n = 0;
    const std::string_view digits = key.substr(field.size());
    const auto parsed = std::from_chars(digits.data(), digits.data() + digits.size(), n);
    if (digits.empty() || parsed.ec != std::errc() || parsed.ptr != digits.data() + digits.size())
      continue;
    PlaylistEntry& e = numbered[n];
    if (field == "File") {
      if (value.empty()) continue;
      e.path = EntryPath(value, base_dir);
      has_file[n] = true;
    } else if (field == "Title") {
      e.title = std::string(value);
    } else {
      e.seconds = LeadingNumber(value, -1);
    }
  }
  std::vector<PlaylistEntry> entries;
  for (auto& [n, e] : numbered)
    if (has_file[n]) entries.push_back(std::move(e));
  return entries;
}

std::vector<PlaylistEntry> ParseXspf(std::string_view bytes, const std::string& base_dir) {
  std::vector<PlaylistEntry> entries;
  QXmlStreamReader xml(QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size())));
  int depth_in_track = 0;  // element depth inside the current <track>, 0 outside one
  PlaylistEntry entry;
  bool has_location = false;
  while (!xml.atEnd()) {
    const QXmlStreamReader::TokenType token = xml.readNext();
    if (token == QXmlStreamReader::StartElement) {
      const auto name = xml.name();
      if (depth_in_track == 0) {
        if (name == QLatin1String("track")) {
          depth_in_track = 1;
          entry = PlaylistEntry{};
          has_location = false;
        }
        continue;
      }
      if (depth_in_track > 1) {  // inside an extension or other nested element
        ++depth_in_track;
        continue;
      }
      if (name == QLatin1String("location") && !has_location) {
        const std::string location = std::string(
            TrimBlanks(ToBytes(xml.readElementText(QXmlStreamReader::SkipChildElements))));
        if (!location.empty()) {
          std::string path;
          if (FileUrlToPath(location, &path))
            entry.path = path;
          else if (HasScheme(location))
            entry.path = location;
          else
            entry.path = EntryPath(PercentDecoded(location), base_dir);
          has_location = true;
        }
      } else if (name == QLatin1String("title")) {
        entry.title = ToBytes(xml.readElementText(QXmlStreamReader::SkipChildElements));
      } else if (name == QLatin1String("creator")) {
        entry.artist = ToBytes(xml.readElementText(QXmlStreamReader::SkipChildElements));
      } else if (name == QLatin1String("album")) {
        entry.album = ToBytes(xml.readElementText(QXmlStreamReader::SkipChildElements));
      } else if (name == QLatin1String("duration")) {
        const double ms =
            LeadingNumber(ToBytes(xml.readElementText(QXmlStreamReader::SkipChildElements)), -1);
        entry.seconds = ms >= 0 ? ms / 1000.0 : -1;
      } else {
        ++depth_in_track;
      }
    } else if (token == QXmlStreamReader::EndElement && depth_in_track > 0) {
      if (--depth_in_track == 0 && has_location) entries.push_back(std::move(entry));
    }
  }
  // A document broken part-way gives the tracks before the break.
  return entries;
}

IoResult ReadForeignPlaylist(const std::string& path, std::vector<PlaylistEntry>* entries) {
  std::string bytes;
  IoResult io = ReadWholeFile(path, &bytes);
  if (!io.ok) return io;
  const std::size_t slash = path.rfind('/');
  std::string base_dir = slash == std::string::npos ? CurrentDirectory() : path.substr(0, slash);
  if (base_dir.empty()) base_dir = "/";
  if (base_dir.front() != '/') base_dir = CurrentDirectory() + "/" + base_dir;
  PlaylistFormat format = PlaylistFormatOfPath(path);
  if (format == PlaylistFormat::kNone || format == PlaylistFormat::kPst) {
    const std::string_view head = TrimBlanks(std::string_view(WithoutBom(bytes.substr(0, 512))));
    if (StartsWithNoCase(head, "[playlist]"))
      format = PlaylistFormat::kPls;
    else if (head.substr(0, 5) == "<?xml" || head.substr(0, 9) == "<playlist")
      format = PlaylistFormat::kXspf;
    else
      format = PlaylistFormat::kM3u;
  }
  std::vector<PlaylistEntry> found;
  if (format == PlaylistFormat::kPls)
    found = ParsePls(bytes, base_dir);
  else if (format == PlaylistFormat::kXspf)
    found = ParseXspf(bytes, base_dir);
  else
    found = ParseM3u(bytes, base_dir);
  entries->insert(entries->end(), std::make_move_iterator(found.begin()),
                  std::make_move_iterator(found.end()));
  return io;
}

PlaylistRow RowFromEntry(const PlaylistEntry& entry) {
  PlaylistRow row;
  row.name = entry.title.empty() ? FileNamePart(entry.path) : entry.title;
  row.singer = entry.artist;
  row.album = entry.album;
  if (entry.seconds >= 0) row.length = TimeText(entry.seconds);
  row.path = entry.path;
  return row;
}

std::string EncodeM3u8(const std::vector<PlaylistRow>& rows, const std::string& playlist_dir) {
  std::string dir = playlist_dir;
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  const std::string prefix = dir == "/" ? dir : dir + "/";
  std::string out = "#EXTM3U\n";
  for (const PlaylistRow& row : rows) {
    out +=
        "#EXTINF:" + std::to_string(TimeTextSeconds(row.length)) + "," + LineText(row.name) + "\n";
    if (const std::string singer = LineText(row.singer); !singer.empty())
      out += "#EXTART:" + singer + "\n";
    if (const std::string album = LineText(row.album); !album.empty())
      out += "#EXTALB:" + album + "\n";
    // The path below the playlist's folder is written relative to it; whatever would not read
    // back as the same path (line breaks, leading blanks, a leading '#', "..") goes as a URL.
    std::string line = row.path;
    if (row.path.size() > prefix.size() && row.path.compare(0, prefix.size(), prefix) == 0)
      line = row.path.substr(prefix.size());
    const bool reads_back = !line.empty() && line.find_first_of("\r\n") == std::string::npos &&
                            TrimBlanks(line).size() == line.size() && line.front() != '#' &&
                            EntryPath(line, dir) == row.path;
    if (!reads_back && !row.path.empty() && row.path.front() == '/')
      line = PathToFileUrl(row.path);
    else if (!reads_back)
      line = LineText(row.path);
    if (line.empty()) line = "-";  // an empty path still keeps its row
    out += line + "\n";
  }
  return out;
}

IoResult SaveM3u8File(const std::string& path, const std::vector<PlaylistRow>& rows) {
  const std::size_t slash = path.rfind('/');
  std::string dir = slash == std::string::npos ? CurrentDirectory() : path.substr(0, slash);
  if (dir.empty()) dir = "/";
  if (dir.front() != '/') dir = CurrentDirectory() + "/" + dir;
  return WriteFileAtomic(path, EncodeM3u8(rows, dir));
}

}  // namespace quillet
