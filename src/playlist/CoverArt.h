// Embedded cover pictures as files, for the desktop's media controls: written once into the
// cache folder, named by their content, and reused.
#pragma once

#include <string>

#include "common/FileIo.h"
#include "playlist/TagReader.h"

namespace quillet {

// $XDG_CACHE_HOME/quillet; $HOME/.cache/quillet when XDG_CACHE_HOME is unset, empty or not
// absolute. Empty when neither gives an absolute folder.
std::string CacheHomeDir();

// Writes the picture as <cacheDir>/<sha1 of the bytes>.<extension> unless a file of that name
// and size is there already, atomically, creating the folder as needed; *path is the file's
// path. An empty picture writes nothing and gives an empty path. A failure leaves *path empty
// and says why.
IoResult SaveCoverArt(const EmbeddedPicture& picture, std::string* path,
                      const std::string& cacheDir = CacheHomeDir());

// A file:// URL (percent-encoded) for a local path, as mpris:artUrl wants it.
std::string FileUrl(const std::string& path);

}  // namespace quillet
