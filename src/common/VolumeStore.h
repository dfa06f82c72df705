// The volume kept between runs. The engine starts at full volume; the last volume the user set
// lives in a small file of Quillet's own, ConfigHomeDir()/volume, holding the volume bar's
// position (0 to 65535) as one decimal line. The settings record and the playlist files never
// hold it.
#pragma once

#include <string>

#include "common/FileIo.h"

namespace quillet {

inline constexpr int kMaxVolume = 65535;

// ConfigHomeDir() + "/volume"; empty when there is no configuration folder.
std::string VolumeFilePath();

// A missing file leaves *found false and is no error. A file that does not hold one number from
// 0 to 65535 is an error naming the file.
IoResult ReadVolume(int* position, bool* found);

// Creates the folder when missing; replaces the file whole (a failure leaves the old one).
IoResult WriteVolume(int position);

}  // namespace quillet
