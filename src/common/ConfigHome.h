// Quillet's own folder under the user's configuration folder ($XDG_CONFIG_HOME/quillet).
#pragma once

#include <string>

#include "common/FileIo.h"

namespace quillet {

// $XDG_CONFIG_HOME/quillet; $HOME/.config/quillet when XDG_CONFIG_HOME is unset, empty or not
// absolute. Empty when neither gives an absolute folder.
std::string ConfigHomeDir();

// Creates the folder and any missing parents (new ones readable by the user only). An existing
// folder is fine; anything else in the way is an error with its reason.
IoResult MakeDirectories(const std::string& path);

}  // namespace quillet
