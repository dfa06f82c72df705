// Running shell commands from the benchmarks: a command's exit code, and a path quoted for sh.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <string>

namespace quillet::bench {

// The command's exit code; -1 when it could not run or did not exit.
inline int Run(const std::string& command) {
  const int rc = std::system(command.c_str());
  return rc == -1 ? -1 : (WIFEXITED(rc) ? WEXITSTATUS(rc) : -1);
}

// `s` in single quotes, as one word for sh.
inline std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

}  // namespace quillet::bench
