// The start-up check that the sound back end loaded at run time is no older than the one the
// program was built against: libmpg123, libsndfile and libpulse, each asked what it is. SDL2 is
// loaded only when first needed, and checked then (SdlLibrary.cpp).
#include <dlfcn.h>
#include <mpg123.h>
#include <pulse/version.h>
#include <sndfile.h>

#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

#include "audio/AudioEngine.h"
#include "audio/RuntimeLibrary.h"

#ifndef QUILLET_BUILT_MPG123_VERSION
#error "QUILLET_BUILT_MPG123_VERSION must name the libmpg123 version built against"
#endif
#ifndef QUILLET_BUILT_SNDFILE_VERSION
#error "QUILLET_BUILT_SNDFILE_VERSION must name the libsndfile version built against"
#endif

namespace quillet::audio {

namespace {

// libmpg123 before 1.32 cannot tell its own version; its interface version (what the API
// version macro counts) is then read from the loaded library's versioned file name,
// libmpg123.so.0.<interface>.<revision>.
bool CheckMpg123(std::string* why) {
  const std::vector<long> built_dist = ParseVersion(QUILLET_BUILT_MPG123_VERSION);
#if MPG123_API_VERSION >= 48
  const auto Join = [](const std::vector<long>& v) {
    std::string s;
    for (std::size_t i = 0; i < v.size(); ++i) {
      if (i) s += '.';
      s += std::to_string(v[i]);
    }
    return s;
  };
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

bool CheckPulse(std::string* why) {
  const char* text = pa_get_library_version();
  const std::string loaded = text ? text : "";
  if (!loaded.empty() &&
      CompareVersions(ParseVersion(loaded), ParseVersion(pa_get_headers_version())) >= 0)
    return true;
  if (why)
    *why = "libpulse " + (loaded.empty() ? std::string("?") : loaded) + " is older than " +
           pa_get_headers_version();
  return false;
}

}  // namespace

bool AudioEngine::BackEndVersionOk(std::string* why) {
  return CheckMpg123(why) && CheckSndfile(why) && CheckPulse(why);
}

}  // namespace quillet::audio
