#include "playlist/LegacyText.h"

#include <QString>
#include <QStringDecoder>
#include <cstddef>
#include <cstdint>

namespace quillet {

namespace {

using Bytes = std::string_view;

std::uint8_t At(Bytes b, std::size_t i) { return static_cast<std::uint8_t>(b[i]); }

bool IsAscii(Bytes b) {
  for (char c : b)
    if (static_cast<std::uint8_t>(c) >= 0x80) return false;
  return true;
}

bool IsAsciiLetter(std::uint8_t c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; }

// A Latin-1 letter (À to ÿ without × and ÷).
bool IsLatin1Letter(std::uint8_t c) { return c >= 0xC0 && c != 0xD7 && c != 0xF7; }

// Western text in Latin-1: every run of high bytes is one letter, or two letters inside a word
// ("Größe"). GBK and Big5 characters are byte pairs, mostly of two high bytes, and a text of
// them rarely looks like this.
bool LooksLatin1(Bytes b) {
  std::size_t i = 0;
  while (i < b.size()) {
    if (At(b, i) < 0x80) {
      ++i;
      continue;
    }
    std::size_t end = i;
    while (end < b.size() && At(b, end) >= 0x80) ++end;
    const std::size_t run = end - i;
    for (std::size_t k = i; k < end; ++k)
      if (!IsLatin1Letter(At(b, k))) return false;
    if (run > 2) return false;
    if (run == 2) {
      const bool letterBefore = i > 0 && IsAsciiLetter(At(b, i - 1));
      const bool letterAfter = end < b.size() && IsAsciiLetter(At(b, end));
      if (!letterBefore || !letterAfter) return false;
    }
    i = end;
  }
  return true;
}

bool IsCjkPunctuation(char32_t c) {
  return (c >= 0x3000 && c <= 0x303F) ||  // ideographic space, 、。《》「」...
         (c >= 0xFF00 && c <= 0xFFEF) ||  // full-width and half-width forms
         (c >= 0x2010 && c <= 0x2027) ||  // dashes, quotes, ellipsis
         c == 0x00B7;                     // middle dot of names
}

bool IsRareCjk(char32_t c) {
  return (c >= 0x3400 && c <= 0x4DBF) || (c >= 0xF900 && c <= 0xFAFF) ||
         (c >= 0x20000 && c <= 0x3FFFF);
}

bool IsPrivateUse(char32_t c) {
  return (c >= 0xE000 && c <= 0xF8FF) || (c >= 0xF0000 && c <= 0x10FFFF);
}

bool IsReplacement(char32_t c) { return c == 0xFFFD || c == 0x1A; }

// Score of one decoded character of a CJK code page; `common` says whether its bytes lie in the
// encoding's block of frequent characters.
int CjkScore(char32_t c, bool common) {
  if (IsReplacement(c)) return -8;
  if (IsPrivateUse(c)) return -4;
  if (c >= 0x4E00 && c <= 0x9FFF) return common ? 3 : 2;
  if (IsCjkPunctuation(c)) return 2;
  if (c >= 0x3040 && c <= 0x30FF) return 1;  // kana
  if (IsRareCjk(c)) return 0;
  return -1;
}

struct Score {
  long total = 0;
  long count = 0;
  bool Good() const { return count > 0 && total >= count; }  // a mean of at least 1
  // this > other, comparing means without division
  bool Beats(const Score& o) const { return total * o.count > o.total * count; }
};

enum class Multibyte { kGb18030, kBig5 };

// Length of the character starting at i.
std::size_t UnitLength(Bytes b, std::size_t i, Multibyte mb) {
  const std::uint8_t c = At(b, i);
  if (c < 0x81 || c == 0xFF || i + 1 >= b.size()) return 1;
  if (mb == Multibyte::kGb18030) {
    const std::uint8_t c1 = At(b, i + 1);
    if (c1 >= 0x30 && c1 <= 0x39) return i + 3 < b.size() ? 4 : 1;
  }
  return 2;
}

bool CommonBlock(Bytes unit, Multibyte mb) {
  if (unit.size() != 2) return false;
  const std::uint8_t lead = At(unit, 0), trail = At(unit, 1);
  if (mb == Multibyte::kGb18030)  // GB2312 level 1: the 3,755 most used characters
    return lead >= 0xB0 && lead <= 0xD7 && trail >= 0xA1;
  // Big5's frequent characters: A440 to C67E
  return (lead >= 0xA4 && lead <= 0xC5) || (lead == 0xC6 && trail <= 0x7E);
}

char32_t FirstCodePoint(const QString& s) {
  if (s.isEmpty()) return 0xFFFD;
  if (s.size() >= 2 && s[0].isHighSurrogate() && s[1].isLowSurrogate())
    return QChar::surrogateToUcs4(s[0], s[1]);
  return s[0].unicode();
}

// Decodes one text in a multi-byte code page character by character, adding each non-ASCII
// character's score.
QString DecodeScored(Bytes b, Multibyte mb, Score* score) {
  QStringDecoder decoder(mb == Multibyte::kGb18030 ? "GB18030" : "Big5",
                         QStringDecoder::Flag::Stateless);
  QString out;
  if (!decoder.isValid()) {
    // A Qt without ICU knows neither: nothing can be scored.
    if (score) score->total -= 8 * static_cast<long>(b.size()), score->count += b.size();
    return QString::fromLatin1(b.data(), static_cast<qsizetype>(b.size()));
  }
  out.reserve(static_cast<qsizetype>(b.size()));
  std::size_t i = 0;
  while (i < b.size()) {
    if (At(b, i) < 0x80) {
      std::size_t end = i;
      while (end < b.size() && At(b, end) < 0x80) ++end;
      out += QLatin1StringView(b.data() + i, static_cast<qsizetype>(end - i));
      i = end;
      continue;
    }
    const std::size_t n = UnitLength(b, i, mb);
    const Bytes unit = b.substr(i, n);
    QString piece = decoder.decode(QByteArrayView(unit.data(), static_cast<qsizetype>(n)));
    const bool failed = decoder.hasError() || piece.isEmpty();
    if (failed) {
      decoder.resetState();
      piece = QString(QChar(0xFFFD));
    }
    if (score) {
      int s = CjkScore(failed ? 0xFFFD : FirstCodePoint(piece), CommonBlock(unit, mb));
      // A pair whose second byte is ASCII may as well be a Latin-1 letter before a plain one.
      if (n == 2 && At(unit, 1) < 0x80) s -= 1;
      score->total += s;
      score->count += 1;
    }
    out += piece;
    i += n;
  }
  return out;
}

// Valid UTF-8 decodes; its characters are scored generously, since validity itself says much.
bool DecodeUtf8(Bytes b, QString* out, Score* score) {
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  *out = utf8.decode(QByteArrayView(b.data(), static_cast<qsizetype>(b.size())));
  if (utf8.hasError()) return false;
  if (!score) return true;
  for (qsizetype i = 0; i < out->size(); ++i) {
    char32_t c = (*out)[i].unicode();
    if (c < 0x80) continue;
    if ((*out)[i].isHighSurrogate() && i + 1 < out->size()) {
      c = QChar::surrogateToUcs4((*out)[i], (*out)[i + 1]);
      ++i;
    }
    int s = 0;
    if (c >= 0x4E00 && c <= 0x9FFF)
      s = 3;
    else if (c >= 0xC0 && c <= 0x24F && c != 0xD7 && c != 0xF7)
      s = 3;  // accented Latin letters
    else if (IsCjkPunctuation(c) || (c >= 0x3040 && c <= 0x30FF) || (c >= 0x400 && c <= 0x4FF))
      s = 2;  // punctuation, kana, Cyrillic
    else if (IsPrivateUse(c) || IsReplacement(c))
      s = -4;
    score->total += s;
    score->count += 1;
  }
  return true;
}

std::string ToUtf8(const QString& s) { return s.toUtf8().toStdString(); }

std::string Decode(Bytes b, LegacyGuess guess) {
  switch (guess) {
    case LegacyGuess::kAscii:
    case LegacyGuess::kUtf8:
      if (IsAscii(b)) return std::string(b);
      {
        QString text;
        if (DecodeUtf8(b, &text, nullptr)) return ToUtf8(text);
      }
      // A text of the tag that is not UTF-8 after all: guessed on its own.
      return Decode(b, GuessLegacyEncoding({b}));
    case LegacyGuess::kGb18030:
      return ToUtf8(DecodeScored(b, Multibyte::kGb18030, nullptr));
    case LegacyGuess::kBig5:
      return ToUtf8(DecodeScored(b, Multibyte::kBig5, nullptr));
    case LegacyGuess::kLatin1:
      break;
  }
  return ToUtf8(QString::fromLatin1(b.data(), static_cast<qsizetype>(b.size())));
}

}  // namespace

LegacyGuess GuessLegacyEncoding(const std::vector<std::string_view>& texts) {
  bool ascii = true, latin1 = true;
  for (Bytes t : texts) {
    if (IsAscii(t)) continue;
    ascii = false;
    if (!LooksLatin1(t)) latin1 = false;
  }
  if (ascii) return LegacyGuess::kAscii;
  if (latin1) return LegacyGuess::kLatin1;

  Score utf8, gb, big5;
  bool utf8Valid = true;
  for (Bytes t : texts) {
    if (IsAscii(t)) continue;
    QString ignored;
    if (utf8Valid && !DecodeUtf8(t, &ignored, &utf8)) utf8Valid = false;
    DecodeScored(t, Multibyte::kGb18030, &gb);
    DecodeScored(t, Multibyte::kBig5, &big5);
  }
  // Ties go to UTF-8, then to GB18030 (mainland files are the many).
  LegacyGuess best = LegacyGuess::kLatin1;
  Score bestScore;
  auto consider = [&](LegacyGuess g, const Score& s) {
    if (!s.Good()) return;
    if (best == LegacyGuess::kLatin1 || s.Beats(bestScore)) {
      best = g;
      bestScore = s;
    }
  };
  if (utf8Valid) consider(LegacyGuess::kUtf8, utf8);
  consider(LegacyGuess::kGb18030, gb);
  consider(LegacyGuess::kBig5, big5);
  return best;
}

std::vector<std::string> DecodeLegacyTexts(const std::vector<std::string_view>& texts,
                                           LegacyEncoding encoding) {
  LegacyGuess guess = LegacyGuess::kLatin1;
  switch (encoding) {
    case LegacyEncoding::kAuto:
      guess = GuessLegacyEncoding(texts);
      break;
    case LegacyEncoding::kGb18030:
      guess = LegacyGuess::kGb18030;
      break;
    case LegacyEncoding::kBig5:
      guess = LegacyGuess::kBig5;
      break;
    case LegacyEncoding::kLatin1:
      guess = LegacyGuess::kLatin1;
      break;
  }
  std::vector<std::string> out;
  out.reserve(texts.size());
  for (Bytes t : texts) out.push_back(IsAscii(t) ? std::string(t) : Decode(t, guess));
  return out;
}

std::string DecodeLegacyText(std::string_view bytes, LegacyEncoding encoding) {
  return DecodeLegacyTexts({bytes}, encoding).front();
}

}  // namespace quillet
