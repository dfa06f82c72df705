#include "lyrics/Lyrics.h"

#include <QStringDecoder>
#include <algorithm>

#include "common/DisplayText.h"
#include "playlist/Settings.h"
#include "playlist/TrackProbe.h"

namespace quillet {

namespace {

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Position of the first occurrence of an ASCII needle, letters compared without case.
std::size_t FindNoCase(std::string_view hay, std::string_view needle) {
  auto it = std::search(hay.begin(), hay.end(), needle.begin(), needle.end(),
                        [](char a, char b) { return UpperAscii(a) == UpperAscii(b); });
  return it == hay.end() ? std::string_view::npos : static_cast<std::size_t>(it - hay.begin());
}

// The lyric base name of an audio file name: up to the first ".mp3", else the first ".wav",
// else up to the last extension (a leading dot does not start an extension).
std::string_view LyricBase(std::string_view name) {
  std::size_t p = FindNoCase(name, ".mp3");
  if (p == std::string_view::npos) p = FindNoCase(name, ".wav");
  if (p == std::string_view::npos) {
    p = name.rfind('.');
    if (p == 0) p = std::string_view::npos;
  }
  return p == std::string_view::npos ? name : name.substr(0, p);
}

std::string Utf8(std::string_view bytes) { return DisplayText(bytes).toStdString(); }

constexpr char kCtrlZ = 26;

}  // namespace

std::string LyricFileName(const std::string& audioPath, std::string* lyricDir, IoResult* io) {
  *io = ReadLyricDir(lyricDir);
  if (!io->ok) lyricDir->clear();

  const std::string name = FileNamePart(audioPath);
  const std::string base(LyricBase(name));
  if (!lyricDir->empty()) {
    std::string out = *lyricDir;
    if (out.back() != '/') out += '/';
    return out + base + ".lrc";
  }
  // Beside the audio file: its own directory part, the base, ".lrc".
  return audioPath.substr(0, audioPath.size() - name.size()) + base + ".lrc";
}

std::vector<std::string> SplitLyricLines(std::string_view bytes) {
  std::vector<std::string> lines;
  std::string line;
  bool lineStarted = false;  // a character of this line was taken (or a line end is pending)
  std::size_t i = 0;
  const std::size_t n = bytes.size();
  while (i < n) {
    const char c = bytes[i];
    if (c == '\n') {
      lines.push_back(std::move(line));
      line.clear();
      lineStarted = false;
      ++i;
    } else if (c == '\r') {
      if (i + 1 < n && bytes[i + 1] == '\n') {
        lines.push_back(std::move(line));
        line.clear();
        lineStarted = false;
        i += 2;
      } else {
        ++i;  // a lone carriage return is dropped
      }
    } else if (c == kCtrlZ) {
      if (!lineStarted) return lines;  // end of the text
      // Ends this line; the rest of the physical line is skipped.
      lines.push_back(std::move(line));
      line.clear();
      lineStarted = false;
      const std::size_t lf = bytes.find('\n', i);
      if (lf == std::string_view::npos) return lines;
      i = lf + 1;
    } else {
      line += c;
      lineStarted = true;
      ++i;
    }
  }
  if (lineStarted) lines.push_back(std::move(line));
  return lines;
}

std::string LyricTextBytes(std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) return std::string(bytes.substr(3));
  const bool le = bytes.starts_with("\xFF\xFE");
  if (!le && !bytes.starts_with("\xFE\xFF")) return std::string(bytes);
  // Neither pair can start GBK or UTF-8 text. A trailing odd byte and a lone surrogate become
  // U+FFFD, so the result is always valid UTF-8.
  QStringDecoder utf16(le ? QStringConverter::Utf16LE : QStringConverter::Utf16BE,
                       QStringConverter::Flag::Stateless);
  const std::string_view body = bytes.substr(2);
  QString text = utf16.decode(QByteArrayView(body.data(), std::ssize(body)));
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
      ++i;
    } else if (text[i].isSurrogate()) {
      text[i] = QChar::ReplacementCharacter;
    }
  }
  return text.toStdString();
}

IoResult LoadLyricFile(const std::string& path, std::vector<std::string>* lines) {
  std::string bytes;
  IoResult io = ReadWholeFile(path, &bytes);
  if (!io.ok) return io;
  std::vector<std::string> read = SplitLyricLines(LyricTextBytes(bytes));
  lines->insert(lines->end(), std::make_move_iterator(read.begin()),
                std::make_move_iterator(read.end()));
  return {};
}

bool LyricTextEmpty(const std::vector<std::string>& lines) { return lines.empty(); }

std::string ShowLyricText(const std::vector<std::string>& lines, std::string_view key) {
  std::string text;
  if (key == kHeaderInfoKey) {
    const std::size_t count = std::min<std::size_t>(lines.size(), 4);
    for (std::size_t i = 0; i < count; ++i) {
      const std::string& line = lines[i];
      if (line.size() < 3) continue;
      const char tag[3] = {UpperAscii(line[1]), UpperAscii(line[2]), '\0'};
      const std::string_view t(tag, 2);
      const char* label = t == "TI"   ? "标题："
                          : t == "AR" ? "歌手名："
                          : t == "AL" ? "专辑："
                          : t == "BY" ? "By："
                                      : nullptr;
      if (!label) continue;
      // From the fifth character up to the first "]"; empty without one or when it comes
      // at the fifth place or earlier.
      std::string_view value;
      const std::size_t close = line.find(']');
      if (close != std::string::npos && close > 4)
        value = std::string_view(line).substr(4, close - 4);
      text += label;
      text += Utf8(value);
      text += "    ";
    }
  } else if (!key.empty()) {
    for (const std::string& line : lines) {
      if (line.find(key) == std::string::npos) continue;
      const std::size_t last = line.rfind(']');
      text = Utf8(last == std::string::npos ? std::string_view(line)
                                            : std::string_view(line).substr(last + 1));
      break;
    }
  }
  return text;
}

namespace {

// A value of the track information line: trimmed, up to its first NUL, trimmed again.
std::string InfoValue(std::string_view v) {
  std::string t = TrimControl(v);
  return Utf8(TrimControl(std::string_view(t).substr(0, t.find('\0'))));
}

}  // namespace

std::string TrackInfoLine(std::string_view name, std::string_view artist, std::string_view album) {
  return "歌曲：" + InfoValue(name) + "    歌手：" + InfoValue(artist) + "    专辑：" +
         InfoValue(album);
}

}  // namespace quillet
