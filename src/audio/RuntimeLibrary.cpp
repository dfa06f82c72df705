#include "audio/RuntimeLibrary.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace quillet::audio {

RuntimeLibrary::RuntimeLibrary(const char* soname) : soname_(soname) {
  // Never closed: a library may have started threads of its own, and is not worth unloading
  // for the few pages it holds.
  handle_ = dlopen(soname, RTLD_NOW | RTLD_LOCAL);
  if (!handle_) {
    const char* err = dlerror();
    why_ = err ? err : std::string("cannot load ") + soname;
  }
}

void* RuntimeLibrary::Symbol(const char* name) {
  if (!ok()) return nullptr;
  void* sym = dlsym(handle_, name);
  if (!sym) why_ = std::string(soname_) + " lacks " + name;
  return sym;
}

void RuntimeLibrary::Refuse(std::string why) {
  if (ok()) why_ = std::move(why);
}

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

int CompareVersions(const std::vector<long>& a, const std::vector<long>& b) {
  for (std::size_t i = 0; i < std::max(a.size(), b.size()); ++i) {
    const long x = i < a.size() ? a[i] : 0;
    const long y = i < b.size() ? b[i] : 0;
    if (x != y) return x < y ? -1 : 1;
  }
  return 0;
}

}  // namespace quillet::audio
