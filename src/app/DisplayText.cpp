#include "app/DisplayText.h"

#include <QFile>

namespace quillet {

QString DisplayText(std::string_view bytes) {
  return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}
QString DisplayTagText(std::string_view bytes) {
  return DisplayText(bytes.substr(0, bytes.find('\0')));
}
std::string LocalBytes(const QString& s) { return QFile::encodeName(s).toStdString(); }

}  // namespace quillet
