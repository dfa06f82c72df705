#include "common/DisplayText.h"

#include <QFile>
#include <QStringDecoder>

namespace quillet {

namespace {

QString DecodeGb18030(QByteArrayView bytes) {
  QStringDecoder gb("GB18030");
  if (gb.isValid()) return gb.decode(bytes);
  // A Qt built without ICU knows no GB18030; Latin-1 at least shows every byte as one character.
  return QString::fromLatin1(bytes);
}

}  // namespace

QString DisplayText(std::string_view bytes) {
  QByteArrayView view(bytes.data(), static_cast<qsizetype>(bytes.size()));
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString text = utf8.decode(view);
  if (!utf8.hasError()) return text;
  return DecodeGb18030(view);
}

QString DisplayTagText(std::string_view bytes) {
  return DisplayText(bytes.substr(0, bytes.find('\0')));
}

std::string LocalBytes(const QString& s) { return QFile::encodeName(s).toStdString(); }

QString PathText(std::string_view bytes) {
  return QFile::decodeName(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

}  // namespace quillet
