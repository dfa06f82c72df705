#include "playlist/CoverArt.h"

#include <sys/stat.h>

#include <QByteArray>
#include <QCryptographicHash>
#include <QFile>
#include <QUrl>
#include <cstdlib>

#include "common/ConfigHome.h"

namespace quillet {

std::string CacheHomeDir() {
  const char* xdg = std::getenv("XDG_CACHE_HOME");
  if (xdg && xdg[0] == '/') return std::string(xdg) + "/quillet";
  const char* home = std::getenv("HOME");
  if (home && home[0] == '/') return std::string(home) + "/.cache/quillet";
  return {};
}

IoResult SaveCoverArt(const EmbeddedPicture& picture, std::string* path,
                      const std::string& cacheDir) {
  path->clear();
  if (picture.Empty()) return {};
  if (cacheDir.empty()) return {false, "no cache folder: neither XDG_CACHE_HOME nor HOME is set"};
  const QByteArray hash = QCryptographicHash::hash(
      QByteArrayView(picture.bytes.data(), static_cast<qsizetype>(picture.bytes.size())),
      QCryptographicHash::Sha1);
  const std::string name = cacheDir + "/" + hash.toHex().toStdString() + "." +
                           (picture.extension.empty() ? "img" : picture.extension);
  struct stat st {};
  if (::stat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
      static_cast<std::size_t>(st.st_size) == picture.bytes.size()) {
    *path = name;
    return {};
  }
  if (IoResult made = MakeDirectories(cacheDir); !made.ok) return made;
  if (IoResult written = WriteFileAtomic(name, picture.bytes); !written.ok) return written;
  *path = name;
  return {};
}

std::string FileUrl(const std::string& path) {
  const QString local =
      QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
  return QUrl::fromLocalFile(local).toString(QUrl::FullyEncoded).toStdString();
}

}  // namespace quillet
