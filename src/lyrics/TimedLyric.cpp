#include "lyrics/TimedLyric.h"

#include <QStringDecoder>
#include <algorithm>
#include <map>

#include "common/TextRules.h"
#include "lyrics/LrcTags.h"
#include "lyrics/Lyrics.h"

namespace quillet {

namespace {

using View = std::string_view;

// Stamps within this distance of a group's first stamp belong to the group.
constexpr std::int64_t kGroupSpanMs = 10;

// Well-formed UTF-8 (no overlong forms, no surrogates, nothing beyond U+10FFFF): what the
// UTF-8 decoder takes without error. Checked on every line, so kept cheap.
bool ValidUtf8(View bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t n = bytes.size();
  std::size_t i = 0;
  while (i < n) {
    const unsigned char c = p[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    std::size_t len = 0;
    unsigned char lo = 0x80, hi = 0xBF;  // the range of the second byte
    if (c >= 0xC2 && c <= 0xDF) {
      len = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
      len = 3;
      if (c == 0xE0) lo = 0xA0;
      if (c == 0xED) hi = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      len = 4;
      if (c == 0xF0) lo = 0x90;
      if (c == 0xF4) hi = 0x8F;
    } else {
      return false;
    }
    if (i + len > n || p[i + 1] < lo || p[i + 1] > hi) return false;
    for (std::size_t k = 2; k < len; ++k) {
      if (p[i + k] < 0x80 || p[i + k] > 0xBF) return false;
    }
    i += len;
  }
  return true;
}

std::string Trimmed(View s) {
  std::size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= 32) ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= 32) --e;
  return std::string(s.substr(b, e - b));
}

// Finds word times inside a line's text: "<" stamp ">" or "[" stamp "]". The closing
// characters found are remembered, so a line full of "<" or "[" is still read in linear time.
class WordTimes {
 public:
  explicit WordTimes(View text) : text_(text) {}

  // A word time starting at `at`; sets *end past its closing character.
  bool At(std::size_t at, std::int64_t* ms, std::size_t* end) {
    const char open = text_[at];
    if (open != '<' && open != '[') return false;
    std::size_t& close = open == '<' ? angle_ : square_;
    if (close != View::npos && close <= at) close = text_.find(open == '<' ? '>' : ']', at + 1);
    if (close == View::npos) return false;
    if (!lrc::ParseStamp(text_.substr(at + 1, close - at - 1), ms)) return false;
    *end = close + 1;
    return true;
  }

 private:
  View text_;
  std::size_t angle_ = 0, square_ = 0;  // the next ">" and "]" after the last look; npos: none
};

// Takes the word times out of a line's text. The pieces go to *words when there is at least one
// word time; the returned text is the pieces joined, trimmed.
std::string SplitWords(View text, std::int64_t lineMs, std::vector<TimedWord>* words) {
  std::string joined;
  TimedWord piece{lineMs, {}};
  bool anyTime = false;
  WordTimes times(text);
  std::size_t i = 0;
  while (i < text.size()) {
    std::int64_t ms = 0;
    std::size_t end = 0;
    if ((text[i] == '<' || text[i] == '[') && times.At(i, &ms, &end)) {
      if (anyTime || !piece.text.empty()) words->push_back(std::move(piece));
      piece = {ms, {}};
      anyTime = true;
      i = end;
      continue;
    }
    piece.text += text[i];
    joined += text[i];
    ++i;
  }
  if (anyTime) {
    words->push_back(std::move(piece));
  }
  return Trimmed(joined);
}

struct Stamped {
  std::int64_t ms;
  std::size_t order;  // file order: the source line, then the stamp's place in it
  std::size_t source;
  View text;
};

QString DecodeGb18030(View bytes) {
  // Finding a codec by name is slow next to decoding a line; one stateless decoder serves all.
  thread_local QStringDecoder gb("GB18030", QStringDecoder::Flag::Stateless);
  const QByteArrayView view(bytes.data(), static_cast<qsizetype>(bytes.size()));
  if (gb.isValid()) return gb.decode(view);
  return QString::fromLatin1(view);
}

std::string JoinDecoded(const TimedLyric& lyric, std::size_t from, std::size_t to) {
  std::string out;
  for (std::size_t i = from; i < to; ++i) {
    if (i > from) out += " / ";
    out += LyricDisplayText(lyric, lyric.lines[i].text);
  }
  return out;
}

}  // namespace

TimedLyric ParseTimedLyric(const std::vector<std::string>& lines) {
  TimedLyric lyric;
  std::vector<Stamped> stamped;
  bool offsetSeen = false;
  for (std::size_t li = 0; li < lines.size(); ++li) {
    const View line = lines[li];
    if (lyric.utf8 && !ValidUtf8(line)) lyric.utf8 = false;
    std::size_t stampIndex = 0;
    const lrc::LineShape<char> shape = lrc::ReadLineShape<char>(
        line,
        [&](std::int64_t ms) {
          stamped.push_back({ms, li * 64 + std::min<std::size_t>(stampIndex++, 63), li, {}});
        },
        [&](const lrc::TagParts& t) {
          std::string key(line.substr(t.keyBegin, t.keyEnd - t.keyBegin));
          for (char& c : key) c = lrc::LowerAscii(c);
          lyric.tags.push_back(
              {std::move(key), Trimmed(line.substr(t.valueBegin, t.valueEnd - t.valueBegin))});
        });
    if (shape.stamps > 0) {
      const View text = line.substr(shape.textBegin);
      for (std::size_t k = stamped.size() - static_cast<std::size_t>(shape.stamps);
           k < stamped.size(); ++k)
        stamped[k].text = text;
    } else if (shape.tags > 0) {
      if (shape.offsetFound && !offsetSeen) {
        offsetSeen = true;
        const lrc::TagParts& o = shape.offset;
        std::int64_t ms = 0;
        if (lrc::ParseOffset(line.substr(o.valueBegin, o.valueEnd - o.valueBegin), &ms))
          lyric.offsetMs = ms;
      }
    } else {
      lyric.untimed.emplace_back(line);
    }
  }

  std::stable_sort(stamped.begin(), stamped.end(),
                   [](const Stamped& a, const Stamped& b) { return a.ms < b.ms; });

  // Groups: runs within kGroupSpanMs of their first stamp, their lines put back in file order.
  std::map<std::size_t, int> sizes;  // lines per group with text -> how many such groups
  for (std::size_t i = 0; i < stamped.size();) {
    std::size_t j = i + 1;
    while (j < stamped.size() && stamped[j].ms - stamped[i].ms <= kGroupSpanMs) ++j;
    LyricGroup group;
    group.stampMs = stamped[i].ms;  // the earliest, before file order is restored
    std::stable_sort(stamped.begin() + static_cast<std::ptrdiff_t>(i),
                     stamped.begin() + static_cast<std::ptrdiff_t>(j),
                     [](const Stamped& a, const Stamped& b) { return a.order < b.order; });
    group.first = lyric.lines.size();
    for (std::size_t k = i; k < j; ++k) {
      TimedLine line;
      line.stampMs = stamped[k].ms;
      line.sourceLine = stamped[k].source;
      line.text = SplitWords(stamped[k].text, stamped[k].ms, &line.words);
      if (!line.text.empty()) lyric.lines.push_back(std::move(line));
    }
    group.count = lyric.lines.size() - group.first;
    if (group.count == 0) {
      // Only empty lines: one of them stands for the group.
      TimedLine line;
      line.stampMs = group.stampMs;
      line.sourceLine = stamped[i].source;
      lyric.lines.push_back(std::move(line));
      group.count = 1;
      group.empty = true;
    } else {
      ++sizes[group.count];
    }
    lyric.groups.push_back(group);
    i = j;
  }

  // The layers: the most common group size, the smaller one on a tie (std::map runs upwards).
  int best = 0;
  for (const auto& [size, howMany] : sizes) {
    if (howMany > best) {
      best = howMany;
      lyric.layers = static_cast<int>(size);
    }
  }
  for (LyricGroup& g : lyric.groups) {
    const std::size_t layers = static_cast<std::size_t>(lyric.layers);
    g.originals = layers <= 1 ? g.count : (g.count + layers - 1) / layers;
  }
  return lyric;
}

TimedLyric ParseTimedLyricBytes(std::string_view fileBytes) {
  return ParseTimedLyric(SplitLyricLines(LyricTextBytes(fileBytes)));
}

std::string_view LyricTagValue(const TimedLyric& lyric, std::string_view key) {
  for (const LyricTag& t : lyric.tags) {
    if (t.key == key) return t.value;
  }
  return {};
}

LyricPosition FindLyricGroup(const TimedLyric& lyric, std::int64_t playMs, std::int64_t delayMs,
                             std::int64_t offsetMs) {
  // On the stamps' own scale: a stamp s is due once s <= play - delay + offset.
  const std::int64_t key = playMs - delayMs + offsetMs;
  const auto& g = lyric.groups;
  const auto next = std::upper_bound(
      g.begin(), g.end(), key, [](std::int64_t k, const LyricGroup& x) { return k < x.stampMs; });
  LyricPosition pos;
  pos.group = static_cast<int>(next - g.begin()) - 1;
  if (next != g.end()) pos.nextChangeMs = next->stampMs - offsetMs + delayMs;
  return pos;
}

LyricGroupText GroupText(const TimedLyric& lyric, int group) {
  if (group < 0 || static_cast<std::size_t>(group) >= lyric.groups.size()) return {};
  const LyricGroup& g = lyric.groups[static_cast<std::size_t>(group)];
  if (g.empty) return {};
  return {JoinDecoded(lyric, g.first, g.first + g.originals),
          JoinDecoded(lyric, g.first + g.originals, g.first + g.count)};
}

std::string LyricDisplayText(const TimedLyric& lyric, std::string_view bytes) {
  if (lyric.utf8) return std::string(bytes);
  return DecodeGb18030(bytes).toStdString();
}

std::string LyricPlainText(const TimedLyric& lyric) {
  std::string out;
  if (!lyric.lines.empty()) {
    for (std::size_t i = 0; i < lyric.lines.size(); ++i) {
      if (i) out += '\n';
      out += LyricDisplayText(lyric, lyric.lines[i].text);
    }
    return out;
  }
  std::size_t b = 0, e = lyric.untimed.size();
  while (b < e && TrimControl(lyric.untimed[b]).empty()) ++b;
  while (e > b && TrimControl(lyric.untimed[e - 1]).empty()) --e;
  for (std::size_t i = b; i < e; ++i) {
    if (i > b) out += '\n';
    out += LyricDisplayText(lyric, lyric.untimed[i]);
  }
  return out;
}

}  // namespace quillet
