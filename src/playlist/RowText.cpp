#include "playlist/RowText.h"

#include <langinfo.h>

#include <QString>
#include <QStringEncoder>
#include <cctype>

namespace quillet {

RowEncoding RowEncodingForCodeset(std::string_view codeset) {
  std::string upper;
  for (char c : codeset)
    if (c != '-' && c != '_')
      upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (upper.rfind("GB", 0) == 0 || upper == "EUCCN" || upper == "CP936")
    return RowEncoding::kGb18030;
  return RowEncoding::kUtf8;
}

RowEncoding LocaleRowEncoding() {
  const char* codeset = ::nl_langinfo(CODESET);
  return RowEncodingForCodeset(codeset ? codeset : "");
}

std::string RowTextFromUtf8(std::string_view utf8, std::size_t capacity, RowEncoding encoding) {
  const QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
  QStringEncoder gb;
  if (encoding == RowEncoding::kGb18030) {
    gb = QStringEncoder("GB18030", QStringEncoder::Flag::Stateless);
    // A Qt without ICU cannot write GB18030; UTF-8 still shows right.
    if (!gb.isValid()) encoding = RowEncoding::kUtf8;
  }
  std::string out;
  for (qsizetype i = 0; i < text.size();) {
    const qsizetype n = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
    const QStringView ch = QStringView(text).mid(i, n);
    const QByteArray bytes =
        encoding == RowEncoding::kGb18030 ? QByteArray(gb.encode(ch)) : ch.toUtf8();
    if (out.size() + static_cast<std::size_t>(bytes.size()) > capacity) break;
    out.append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    i += n;
  }
  return out;
}

}  // namespace quillet
