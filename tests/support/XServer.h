// A display of the test's own on a real X server: Xvfb on a free display it picks itself, and
// the helper programs a test starts beside it (a tray host, a window manager, a bus), each told
// to end when the test process ends. Every wait is bounded.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "support/fixtures/FileFixtures.h"

namespace quillet::testing::x11 {

// Starts a program with its output discarded (but for `keepFd`, which it inherits).
inline pid_t Spawn(const std::vector<std::string>& args, int keepFd = -1) {
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  ::prctl(PR_SET_PDEATHSIG, SIGTERM);
  const int null = ::open("/dev/null", O_RDWR);
  ::dup2(null, STDIN_FILENO);
  if (keepFd != STDOUT_FILENO) ::dup2(null, STDOUT_FILENO);
  ::dup2(null, STDERR_FILENO);
  for (int fd = 3; fd < 256; ++fd) {
    if (fd != keepFd) ::close(fd);
  }
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  ::execv(argv[0], argv.data());
  ::_exit(127);
}

// Ends a program the test started: SIGTERM, then SIGKILL after two seconds.
inline void Stop(pid_t& pid) {
  if (pid <= 0) return;
  ::kill(pid, SIGTERM);
  for (int i = 0; i < 200; ++i) {
    if (::waitpid(pid, nullptr, WNOHANG) == pid) {
      pid = -1;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
  pid = -1;
}

// A line a child writes to a pipe, within `seconds`; empty when none comes. Closes `fd`.
inline std::string ReadLine(int fd, int seconds) {
  std::string text;
  pollfd p{fd, POLLIN, 0};
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (std::chrono::steady_clock::now() < deadline && text.find('\n') == std::string::npos) {
    if (::poll(&p, 1, 200) > 0) {
      char buf[256];
      const ssize_t n = ::read(fd, buf, sizeof buf);
      if (n <= 0) break;
      text.append(buf, static_cast<std::size_t>(n));
    }
  }
  ::close(fd);
  const std::size_t end = text.find('\n');
  return end == std::string::npos ? std::string() : text.substr(0, end);
}

// Starts Xvfb (1024x768, 24 bits) on a free display and points DISPLAY at it. The display's
// name (":N"), or empty with the reason in `why`.
inline std::string StartXvfb(const std::string& xvfb, pid_t* server, std::string* why) {
  int fds[2];
  if (::pipe(fds) != 0) {
    *why = "no pipe";
    return {};
  }
  // Xvfb writes the number of the display it took to the pipe.
  *server = Spawn({xvfb, "-displayfd", std::to_string(fds[1]), "-screen", "0", "1024x768x24",
                   "-nolisten", "tcp"},
                  fds[1]);
  ::close(fds[1]);
  const std::string number = ReadLine(fds[0], 20);
  if (number.empty()) {
    *why = "Xvfb did not start";
    return {};
  }
  ::setenv("DISPLAY", (":" + number).c_str(), 1);
  return ":" + number;
}

}  // namespace quillet::testing::x11
