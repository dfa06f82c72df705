// The application id. It names the desktop entry, the icon, the AppStream metainfo and the bus
// name of the running instance; the build sets it once (QUILLET_APP_ID in the top CMakeLists.txt)
// for the code and the installed files alike.
#pragma once

#ifndef QUILLET_APP_ID
#error "QUILLET_APP_ID is set by the build"
#endif

namespace quillet {

inline constexpr const char* kAppId = QUILLET_APP_ID;

}  // namespace quillet
