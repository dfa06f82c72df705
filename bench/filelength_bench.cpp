// How fast file lengths are measured when rows are added to the playlist: FileLengthText over
// 200 four-minute MP3s (CBR, VBR with and without the Xing header, with an ID3v1 tag) from a
// warm cache, in files per second, beside ffprobe asked the same question about the same files.
//
//   filelength_bench [--files N] [--dir DIR] [--rounds R] [--no-ffprobe]
//
// The files are made once with sox and lame and kept in DIR (default: a folder in the system's
// temp folder) for later runs.
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchShell.h"
#include "player/PlaySession.h"
#include "playlist/TrackProbe.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

using quillet::bench::Quote;
using quillet::bench::Run;

// Four kinds of four-minute file, copied round-robin to `count` files.
bool MakeFiles(const std::string& dir, int count, std::vector<std::string>* files) {
  fs::create_directories(dir);
  const char* kinds[][2] = {
      {"cbr", "--cbr -b 128"},
      {"vbr", "-V 4"},
      {"vbr-noxing", "-V 4 -t"},
      {"cbr-id3v1", "--cbr -b 160 --id3v1-only --tt Song --ta Singer --tl Album"},
  };
  std::vector<std::string> masters;
  const std::string wav = dir + "/source.wav";
  for (const auto& kind : kinds) {
    const std::string mp3 = dir + "/master-" + kind[0] + ".mp3";
    masters.push_back(mp3);
    if (fs::exists(mp3)) continue;
    if (!fs::exists(wav)) {
      std::printf("making a four-minute source with sox...\n");
      if (Run("sox -n -r 44100 -c 2 -b 16 " + Quote(wav) +
              " synth 240 pinknoise vol 0.3 >/dev/null 2>&1") != 0)
        return false;
    }
    std::printf("encoding %s with lame...\n", kind[0]);
    std::fflush(stdout);
    if (Run(std::string("lame --quiet ") + kind[1] + " " + Quote(wav) + " " + Quote(mp3 + ".tmp") +
            " </dev/null") != 0)
      return false;
    fs::rename(mp3 + ".tmp", mp3);
  }
  fs::remove(wav);
  for (int i = 0; i < count; ++i) {
    char name[64];
    std::snprintf(name, sizeof name, "/track-%03d.mp3", i);
    const std::string path = dir + name;
    const std::string& master = masters[static_cast<std::size_t>(i) % masters.size()];
    if (!fs::exists(path) || fs::file_size(path) != fs::file_size(master))
      fs::copy_file(master, path, fs::copy_options::overwrite_existing);
    files->push_back(path);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  int count = 200;
  int rounds = 5;
  bool ffprobe = true;
  std::string dir = (fs::temp_directory_path() / "quillet-filelength-bench").string();
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--files" && i + 1 < argc)
      count = std::max(1, std::atoi(argv[++i]));
    else if (a == "--rounds" && i + 1 < argc)
      rounds = std::max(1, std::atoi(argv[++i]));
    else if (a == "--dir" && i + 1 < argc)
      dir = argv[++i];
    else if (a == "--no-ffprobe")
      ffprobe = false;
    else {
      std::fprintf(stderr, "usage: %s [--files N] [--dir DIR] [--rounds R] [--no-ffprobe]\n",
                   argv[0]);
      return 2;
    }
  }
  if (Run("lame --version >/dev/null 2>&1") != 0 || Run("sox --version >/dev/null 2>&1") != 0) {
    std::printf("lame and sox are needed to make the files; skipped\n");
    return 0;
  }
  std::vector<std::string> files;
  if (!MakeFiles(dir, count, &files)) {
    std::fprintf(stderr, "could not make the files in %s\n", dir.c_str());
    return 1;
  }

  const quillet::LengthProbe probe = quillet::EngineLengthProbe();
  // Warm the cache, and check every answer.
  int wrong = 0;
  for (const auto& f : files) {
    const std::string text = quillet::FileLengthText(f, probe);
    if (text != "04:00") {
      std::fprintf(stderr, "%s: \"%s\"\n", f.c_str(), text.c_str());
      ++wrong;
    }
  }
  std::vector<double> rates;
  for (int r = 0; r < rounds; ++r) {
    const auto t0 = Clock::now();
    std::size_t sink = 0;
    for (const auto& f : files) sink += quillet::FileLengthText(f, probe).size();
    const double secs = std::chrono::duration<double>(Clock::now() - t0).count();
    rates.push_back(static_cast<double>(files.size()) / secs);
    if (sink == 0) std::printf("(no texts)\n");
  }
  std::sort(rates.begin(), rates.end());
  std::printf(
      "FileLengthText: %zu four-minute MP3s, %d rounds: median %.0f files/s, best %.0f "
      "files/s (%.3f ms a file)%s\n",
      files.size(), rounds, rates[rates.size() / 2], rates.back(), 1000.0 / rates[rates.size() / 2],
      wrong ? ", SOME TEXTS WRONG" : "");

  if (ffprobe) {
    if (Run("ffprobe -version >/dev/null 2>&1") != 0) {
      std::printf("ffprobe: not installed\n");
    } else {
      const auto t0 = Clock::now();
      int failed = 0;
      for (const auto& f : files) {
        if (Run("ffprobe -v error -show_entries format=duration -of csv=p=0 " + Quote(f) +
                " >/dev/null") != 0)
          ++failed;
      }
      const double secs = std::chrono::duration<double>(Clock::now() - t0).count();
      std::printf("ffprobe:        %zu files, one process each: %.0f files/s (%.3f ms a file)%s\n",
                  files.size(), static_cast<double>(files.size()) / secs,
                  1000.0 * secs / static_cast<double>(files.size()), failed ? ", some failed" : "");
    }
  }
  return wrong ? 1 : 0;
}
