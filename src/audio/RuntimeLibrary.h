// A shared library opened when first needed (dlopen) rather than at start, and kept for the life
// of the process: the decoders and outputs a session may never use cost nothing until then.
#pragma once

#include <string>
#include <vector>

namespace quillet::audio {

class RuntimeLibrary {
 public:
  explicit RuntimeLibrary(const char* soname);

  // Points `*slot` at the named function. After the first failure (the library missing, or a
  // function missing from it) nothing more is bound and why() says what failed.
  template <typename Fn>
  void Bind(const char* name, Fn* slot) {
    if (void* sym = Symbol(name)) *slot = reinterpret_cast<Fn>(sym);
  }
  // Marks the library unusable, e.g. older than the one built against.
  void Refuse(std::string why);

  bool ok() const { return why_.empty(); }
  const std::string& why() const { return why_; }

 private:
  void* Symbol(const char* name);

  const char* soname_;
  void* handle_ = nullptr;
  std::string why_;
};

// "1.31.2" -> {1, 31, 2}; stops at the first character that is neither digit nor dot.
std::vector<long> ParseVersion(const std::string& text);
// Negative, zero or positive as a is older than, as old as, or newer than b.
int CompareVersions(const std::vector<long>& a, const std::vector<long>& b);

}  // namespace quillet::audio
