#include "common/StartTrace.h"

#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>

namespace quillet {

namespace {

// The process's start on the monotonic clock's scale (the boot-time clock of /proc), in ms.
double ProcessStartMs() {
  std::ifstream in("/proc/self/stat");
  std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::size_t close = stat.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream fields(stat.substr(close + 2));
  std::string field;
  // Field 22 (starttime) is the 20th after the command's closing parenthesis.
  for (int i = 0; i < 20 && fields >> field; ++i) {
  }
  const double ticks = std::strtod(field.c_str(), nullptr);
  return 1000.0 * ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double NowMs(clockid_t clock) {
  timespec ts{};
  clock_gettime(clock, &ts);
  return 1000.0 * static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e6;
}

}  // namespace

void StartMark(const char* what) {
  static const bool on = [] {
    const char* v = std::getenv("QUILLET_TRACE_START");
    return v != nullptr && *v != '\0' && *v != '0';
  }();
  if (!on) return;
  static const double start = ProcessStartMs();
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const double cpu = 1000.0 * static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
  long pages = 0;
  if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
    long size = 0;
    if (std::fscanf(statm, "%ld %ld", &size, &pages) != 2) pages = 0;
    std::fclose(statm);
  }
  const double rssMiB =
      static_cast<double>(pages) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
  std::fprintf(stderr, "quillet start: %7.1f %7.1f %5.1f %s\n", NowMs(CLOCK_BOOTTIME) - start, cpu,
               rssMiB, what);
}

}  // namespace quillet
