#include "shell/DesktopStart.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/ConfigHome.h"
#include "common/FileIo.h"
#include "common/PlayerState.h"
#include "platform/SingleInstance.h"

namespace quillet {

std::optional<int> AnswerCommandLine(const CommandLine& commandLine) {
  switch (commandLine.action) {
    case CommandLine::Action::Run:
      return std::nullopt;
    case CommandLine::Action::Help:
      std::fputs(UsageText().c_str(), stdout);
      return 0;
    case CommandLine::Action::Version:
      std::printf("%s\n", kVersionText);
      return 0;
    case CommandLine::Action::Error:
      std::fprintf(stderr, "quillet: %s\n", commandLine.error.c_str());
      return 2;
  }
  return 2;
}

std::vector<std::string> ExistingFiles(const std::vector<std::string>& names) {
  std::vector<std::string> files;
  for (const std::string& name : names) {
    // A folder passes too: the running Quillet adds the audio below it.
    if (IsRegularFile(name) || IsDirectory(name)) {
      files.push_back(name);
    } else {
      std::fprintf(stderr, "quillet: %s: %s, left out\n", name.c_str(),
                   PathExists(name) ? "not a file or folder" : "no such file");
    }
  }
  return files;
}

void EnterConfigHome() {
  const std::string dir = ConfigHomeDir();
  if (dir.empty()) {
    std::fprintf(stderr, "quillet: neither XDG_CONFIG_HOME nor HOME is set; staying in %s\n",
                 CurrentDirectory().c_str());
    return;
  }
  const IoResult made = MakeDirectories(dir);
  if (!made.ok) {
    std::fprintf(stderr, "quillet: %s\n", made.error.c_str());
  } else if (::chdir(dir.c_str()) != 0) {
    std::fprintf(stderr, "quillet: cannot enter %s: %s\n", dir.c_str(), std::strerror(errno));
  }
}

void ReceiveHandedFiles(SingleInstance& instance,
                        std::function<void(const std::vector<std::string>&)> receive) {
  instance.SetReceiver(std::move(receive));
}

}  // namespace quillet
