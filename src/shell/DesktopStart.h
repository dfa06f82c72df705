// The desktop side of start-up: answering the command line, handing files to a running Quillet,
// the settings folder of a start from the menu, and what the running one does with files it is
// handed.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/CommandLine.h"

namespace quillet {

class SingleInstance;

// --help and --version print their text; a bad option prints its one-line error. The exit
// status then (0, 0, 2); nothing for a command line that starts the program.
std::optional<int> AnswerCommandLine(const CommandLine& commandLine);

// The names that are files or folders; each one left out is reported on the error output.
std::vector<std::string> ExistingFiles(const std::vector<std::string>& names);

// A start from the desktop entry works in ConfigHomeDir(), created when missing, so the settings
// file is found there rather than in the home folder. A folder that cannot be made is reported
// and the start goes on where it is.
void EnterConfigHome();

// The running instance takes the files a later start hands over to `receive`, which adds and
// plays them and brings the program to the front (from the notification area too); with no files
// it only comes to the front.
void ReceiveHandedFiles(SingleInstance& instance,
                        std::function<void(const std::vector<std::string>&)> receive);

}  // namespace quillet
