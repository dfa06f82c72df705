// The application id, which names the desktop entry (without its .desktop suffix).
#pragma once

namespace quillet {
inline constexpr const char* kAppId = "io.github.quillet.Quillet";
}  // namespace quillet
