// The start-up check that the sound back end loaded at run time is no older than the one the
// program was built against: SDL2, libmpg123 and libsndfile, each asked what it is.
#include <SDL.h>
#include <dlfcn.h>
#include <mpg123.h>
#include <sndfile.h>

#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

#include "audio/AudioEngine.h"

#ifndef QUILLET_BUILT_MPG123_VERSION
#error "QUILLET_BUILT_MPG123_VERSION must name the libmpg123 version built against"
#endif
#ifndef QUILLET_BUILT_SNDFILE_VERSION
#error "QUILLET_BUILT_SNDFILE_VERSION must name the libsndfile version built against"
#endif

namespace quillet::audio {

namespace {

// "1.31.2" -> {1, 31, 2}; stops at the first character that is neither digit nor dot.
std::vector<long> ParseVersion(const std::string& text) {
  std::vector<long> parts;
  const char* p = text.c_str();
  while (*p >= '0' && *p <= '9') {
    char* end = nullptr;
    parts.push_back(std::strtol(p, &end, 10));
    p = end;
    if (*p != '.') break;
    ++p;
  }
  return parts;
}

// Negative, zero or positive as a is older than, as old as, or newer than b.
int CompareVersions(const std::vector<long>& a, const std::vector<long>& b) {
  for (std::size_t i = 0; i < std::max(a.size(), b.size()); ++i) {
    const long x = i < a.size() ? a[i] : 0;
    const long y = i < b.size() ? b[i] : 0;
    if (x != y) return x < y ? -1 : 1;
  }
  return 0;
}

std::string Join(const std::vector<long>& v) {
  std::string s;
  for (std::size_t i = 0; i < v.size(); ++i) {
    if (i) s += '.';
    s += std::to_string(v[i]);
  }
  return s;
}

bool CheckSdl(std::string* why) {
  SDL_version built;
  SDL_VERSION(&built);
  SDL_version loaded;
  SDL_GetVersion(&loaded);
  if (SDL_VERSIONNUM(loaded.major, loaded.minor, loaded.patch) >=
      SDL_VERSIONNUM(built.major, built.minor, built.patch))
    return true;
  if (why)
    *why = "SDL2 " + Join({loaded.major, loaded.minor, loaded.patch}) + " is older than " +
           Join({built.major, built.minor, built.patch});
  return false;
}

// libmpg123 before 1.32 cannot tell its own version; its interface version (what the API
// version macro counts) is then read from the loaded library's versioned file name,
// libmpg123.so.0.<interface>.<revision>.
bool CheckMpg123(std::string* why) {
  const std::vector<long> built_dist = ParseVersion(QUILLET_BUILT_MPG123_VERSION);
#if MPG123_API_VERSION >= 48
  unsigned int major = 0, minor = 0, patch = 0;
  mpg123_distversion(&major, &minor, &patch);
  const std::vector<long> loaded{static_cast<long>(major), static_cast<long>(minor),
                                 static_cast<long>(patch)};
  if (CompareVersions(loaded, built_dist) >= 0) return true;
  if (why) *why = "libmpg123 " + Join(loaded) + " is older than " + QUILLET_BUILT_MPG123_VERSION;
  return false;
#else
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&mpg123_new), &info) == 0 || !info.dli_fname) {
    if (why) *why = "libmpg123 is not loaded";
    return false;
  }
  char resolved[PATH_MAX];
  const std::string file = realpath(info.dli_fname, resolved) ? resolved : info.dli_fname;
  const std::size_t so = file.rfind(".so.");
  const std::vector<long> parts =
      so == std::string::npos ? std::vector<long>{} : ParseVersion(file.substr(so + 4));
  if (parts.size() < 2) {
    if (why) *why = "cannot tell the version of " + file;
    return false;
  }
  if (parts[1] >= MPG123_API_VERSION) return true;
  if (why)
    *why = "libmpg123 interface " + std::to_string(parts[1]) + " is older than " +
           std::to_string(MPG123_API_VERSION) + " (" + QUILLET_BUILT_MPG123_VERSION + ")";
  return false;
#endif
}

bool CheckSndfile(std::string* why) {
  const char* text = sf_version_string();
  const std::string loaded_text = text ? text : "";
  const std::size_t dash = loaded_text.find('-');
  const std::vector<long> loaded =
      ParseVersion(dash == std::string::npos ? loaded_text : loaded_text.substr(dash + 1));
  if (!loaded.empty() && CompareVersions(loaded, ParseVersion(QUILLET_BUILT_SNDFILE_VERSION)) >= 0)
    return true;
  if (why)
    *why = "libsndfile " + (loaded_text.empty() ? std::string("?") : loaded_text) +
           " is older than " + QUILLET_BUILT_SNDFILE_VERSION;
  return false;
}

}  // namespace

bool AudioEngine::BackEndVersionOk(std::string* why) {
  return CheckSdl(why) && CheckMpg123(why) && CheckSndfile(why);
}

}  // namespace quillet::audio
