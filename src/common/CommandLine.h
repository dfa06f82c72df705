// The command line: `quillet [OPTION...] [FILE...]`. Names are kept as the bytes the caller gave,
// made absolute against the caller's folder; the toolkit's own options are passed on to it.
#pragma once

#include <string>
#include <vector>

namespace quillet {

struct CommandLine {
  enum class Action { Run, Help, Version, Error };
  Action action = Action::Run;
  // For Error: one line saying what is wrong, without the program's name.
  std::string error;
  // The files to open, in the order given, each absolute.
  std::vector<std::string> files;
  // Started from the desktop entry (its Exec line passes a hidden option).
  bool fromDesktopEntry = false;
  // argv[0], then the toolkit's own options with their values, then a null pointer: what the
  // application object is built from. Points into the argv that was parsed.
  std::vector<char*> toolkitArgs;
};

// The hidden option the desktop entry passes.
inline constexpr const char* kFromDesktopEntryOption = "--from-desktop-entry";

// currentDir: the folder relative names are resolved against (the caller's working folder).
CommandLine ParseCommandLine(int argc, char** argv, const std::string& currentDir);

// `name` when absolute, else currentDir/name; "." segments and doubled separators removed
// (".." is kept: it may lead out of a symbolic link).
std::string AbsoluteName(const std::string& name, const std::string& currentDir);

// The text --help prints.
std::string UsageText();

}  // namespace quillet
