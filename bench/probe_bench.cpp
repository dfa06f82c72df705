// How fast exact lengths are measured when many files are added: 2,000 four-minute MP3s (CBR,
// VBR and ABR with the LAME header, CBR and VBR without it, files cut after encoding, a file
// with ID3v2 and ID3v1 tags) from a warm cache, measured by
//   - the full frame scan (what every probe did before the LAME header was read),
//   - the probe now (the LAME header where it holds, the scan elsewhere), one file after another,
//   - the probe now on every core, rows handed out in order (RowProber),
//   - whole playlist rows (tag, name, length) on every core, as adding files makes them,
//   - ffprobe, one process per file.
// For each: files per second, for the files with a usable LAME header and for the rest, and how
// many lengths differ from the full scan's (the probe must give 0).
//
//   probe_bench [--files N] [--dir DIR] [--rounds R] [--seconds S] [--no-ffprobe]
//
// The eight kinds of file are encoded once with sox and lame and kept in DIR (default: a folder
// in the system's temp folder); the N files are hard links to them (copies where links fail).
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "BenchShell.h"
#include "audio/AudioEngine.h"
#include "audio/ByteSource.h"
#include "audio/Decoder.h"
#include "player/PlaySession.h"
#include "playlist/RowProber.h"
#include "playlist/TrackProbe.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

using quillet::bench::Quote;
using quillet::bench::Run;

// Rows as the program makes them: the engine's length probe, today's tag texts.
quillet::FileRow Rows() {
  return [probe = quillet::EngineLengthProbe()](const std::string& path) {
    return quillet::ProbeTrackRow(path, probe);
  };
}

struct Kind {
  const char* name;
  const char* lame;  // lame options
  double keep;       // the share of the file kept (cut after encoding), 1 for all
  bool tags;         // an ID3v2 tag in front and an ID3v1 tag behind
  bool lame_header;  // the LAME header still describes the file
};

constexpr Kind kKinds[] = {
    {"cbr128", "--cbr -b 128", 1, false, true},
    {"vbr", "-V 2", 1, false, true},
    {"abr", "--abr 160", 1, false, true},
    {"vbr-tags", "-V 4", 1, true, true},
    {"cbr-noheader", "--cbr -b 128 -t", 1, false, false},
    {"vbr-noheader", "-V 4 -t", 1, false, false},
    {"cbr-cut", "--cbr -b 192", 0.7, false, false},
    {"vbr-cut", "-V 2", 0.55, false, false},
};

struct File {
  std::string path;
  bool lame_header;
};

bool MakeFiles(const std::string& dir, int count, double seconds, std::vector<File>* files) {
  fs::create_directories(dir);
  std::vector<std::string> masters;
  const std::string wav = dir + "/source.wav";
  for (const Kind& kind : kKinds) {
    const std::string mp3 = dir + "/master-" + kind.name + ".mp3";
    masters.push_back(mp3);
    if (fs::exists(mp3)) continue;
    if (!fs::exists(wav)) {
      std::printf("making a %.0f-second source with sox...\n", seconds);
      if (Run("sox -n -r 44100 -c 2 -b 16 " + Quote(wav) + " synth " + std::to_string(seconds) +
              " pinknoise vol 0.3 >/dev/null 2>&1") != 0)
        return false;
    }
    std::printf("encoding %s with lame...\n", kind.name);
    std::fflush(stdout);
    const std::string tmp = mp3 + ".tmp";
    std::string tags;
    if (kind.tags) tags = " --add-id3v2 --pad-id3v2-size 2000 --tt Song --ta Singer --tl Album";
    if (Run(std::string("lame --quiet ") + kind.lame + tags + " " + Quote(wav) + " " + Quote(tmp) +
            " </dev/null") != 0)
      return false;
    if (kind.keep < 1)
      fs::resize_file(
          tmp, static_cast<std::uintmax_t>(static_cast<double>(fs::file_size(tmp)) * kind.keep));
    fs::rename(tmp, mp3);
  }
  fs::remove(wav);
  for (int i = 0; i < count; ++i) {
    const std::size_t k = static_cast<std::size_t>(i) % masters.size();
    char name[64];
    std::snprintf(name, sizeof name, "/track-%04d.mp3", i);
    const std::string path = dir + name;
    std::error_code ec;
    if (!fs::exists(path) || !fs::equivalent(path, masters[k], ec)) {
      fs::remove(path);
      fs::create_hard_link(masters[k], path, ec);
      if (ec) fs::copy_file(masters[k], path);
    }
    files->push_back({path, kKinds[k].lame_header});
  }
  return true;
}

// Frames of the file by the full scan: a decoder opened for playing always scans.
std::uint64_t ScanFrames(const std::string& path) {
  int err = 0;
  auto src = quillet::audio::ByteSource::OpenFile(path, 0, 0, &err);
  if (!src) return 0;
  auto dec = quillet::audio::OpenDecoder(src, quillet::audio::DecoderUse::kPlay, &err);
  return dec ? dec->info().frames : 0;
}

std::uint64_t ProbeFrames(const std::string& path) {
  quillet::audio::FileProbe p;
  if (!quillet::audio::AudioEngine::ProbeFile(path, &p) || p.channels == 0) return 0;
  return p.length / (2 * p.channels);
}

struct Result {
  double rate_header = 0, rate_other = 0, rate_all = 0;  // files per second
  int differ = 0;
};

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Measures `frames_of` over the files of each group (with a usable LAME header, and the rest)
// and over all; `rounds` times each, the median taken.
template <typename F>
Result Measure(const std::vector<File>& files, const std::vector<std::uint64_t>& truth, int rounds,
               F frames_of) {
  Result r;
  std::vector<double> h, o, a;
  for (int round = 0; round < rounds; ++round) {
    for (int group = 0; group < 3; ++group) {
      std::vector<std::size_t> pick;
      for (std::size_t i = 0; i < files.size(); ++i)
        if (group == 2 || files[i].lame_header == (group == 0)) pick.push_back(i);
      const auto t0 = Clock::now();
      const std::vector<std::uint64_t> got = frames_of(files, pick);
      const double secs = std::chrono::duration<double>(Clock::now() - t0).count();
      const double rate = static_cast<double>(pick.size()) / secs;
      (group == 0 ? h : group == 1 ? o : a).push_back(rate);
      if (group == 2 && round == 0)
        for (std::size_t k = 0; k < pick.size(); ++k)
          if (got[k] != truth[pick[k]]) ++r.differ;
    }
  }
  r.rate_header = Median(h);
  r.rate_other = Median(o);
  r.rate_all = Median(a);
  return r;
}

void Print(const char* what, const Result& r, bool count_differ = true) {
  std::printf("%-34s %9.0f %9.0f %9.0f", what, r.rate_header, r.rate_other, r.rate_all);
  if (count_differ)
    std::printf(" %8d\n", r.differ);
  else
    std::printf(" %8s\n", "-");
}

}  // namespace

int main(int argc, char** argv) {
  int count = 2000;
  int rounds = 3;
  double seconds = 240;
  bool ffprobe = true;
  std::string dir = (fs::temp_directory_path() / "quillet-probe-bench").string();
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--files" && i + 1 < argc)
      count = std::max(8, std::atoi(argv[++i]));
    else if (a == "--rounds" && i + 1 < argc)
      rounds = std::max(1, std::atoi(argv[++i]));
    else if (a == "--seconds" && i + 1 < argc)
      seconds = std::max(1.0, std::atof(argv[++i]));
    else if (a == "--dir" && i + 1 < argc)
      dir = argv[++i];
    else if (a == "--no-ffprobe")
      ffprobe = false;
    else {
      std::fprintf(stderr,
                   "usage: %s [--files N] [--dir DIR] [--rounds R] [--seconds S] [--no-ffprobe]\n",
                   argv[0]);
      return 2;
    }
  }
  if (Run("lame --version >/dev/null 2>&1") != 0 || Run("sox --version >/dev/null 2>&1") != 0) {
    std::printf("lame and sox are needed to make the files; skipped\n");
    return 0;
  }
  std::vector<File> files;
  if (!MakeFiles(dir, count, seconds, &files)) {
    std::fprintf(stderr, "could not make the files in %s\n", dir.c_str());
    return 1;
  }

  // The truth, and a warm cache.
  std::vector<std::uint64_t> truth;
  for (const File& f : files) truth.push_back(ScanFrames(f.path));
  std::size_t with_header = 0;
  for (const File& f : files) with_header += f.lame_header ? 1 : 0;
  std::printf("%zu files (%zu with a usable LAME header), %.0f s each before any cut, %u cores\n",
              files.size(), with_header, seconds, std::thread::hardware_concurrency());
  std::printf("%-34s %9s %9s %9s %8s\n", "files per second", "header", "other", "all", "differ");

  auto serial = [](auto frames) {
    return [frames](const std::vector<File>& fs_, const std::vector<std::size_t>& pick) {
      std::vector<std::uint64_t> out;
      out.reserve(pick.size());
      for (std::size_t i : pick) out.push_back(frames(fs_[i].path));
      return out;
    };
  };
  Print("full frame scan (before)", Measure(files, truth, rounds, serial(ScanFrames)));
  Print("probe now, one core", Measure(files, truth, rounds, serial(ProbeFrames)));
  Print("probe now, every core (RowProber)",
        Measure(files, truth, rounds,
                [](const std::vector<File>& fs_, const std::vector<std::size_t>& pick) {
                  std::vector<std::uint64_t> out;
                  out.reserve(pick.size());
                  quillet::RowProber prober(pick.size(), [&](std::size_t k) {
                    quillet::PlaylistRow row;
                    row.length = std::to_string(ProbeFrames(fs_[pick[k]].path));
                    return row;
                  });
                  std::vector<quillet::PlaylistRow> rows;
                  while (!prober.Finished()) {
                    prober.WaitReady(std::chrono::milliseconds(20));
                    rows.clear();
                    prober.TakeReady(&rows);
                    for (const auto& row : rows) out.push_back(std::stoull(row.length));
                  }
                  return out;
                }));
  Print("whole rows, every core (ForPaths)",
        Measure(files, truth, rounds,
                [](const std::vector<File>& fs_, const std::vector<std::size_t>& pick) {
                  std::vector<std::string> paths;
                  for (std::size_t i : pick) paths.push_back(fs_[i].path);
                  auto prober = quillet::RowProber::ForPaths(std::move(paths), Rows());
                  std::vector<quillet::PlaylistRow> rows;
                  while (!prober->Finished()) {
                    prober->WaitReady(std::chrono::milliseconds(20));
                    prober->TakeReady(&rows);
                  }
                  // Rows hold time texts only: no exact count to compare.
                  return std::vector<std::uint64_t>(rows.size(), 0);
                }),
        false);

  if (ffprobe) {
    if (Run("ffprobe -version >/dev/null 2>&1") != 0) {
      std::printf("ffprobe: not installed\n");
      return 0;
    }
    // One process per file, as a player shelling out would; the sample count from its duration.
    // Each call is timed, so one pass over the files gives every group's rate.
    Result r;
    const std::string out = dir + "/ffprobe.out";
    double secs[2] = {0, 0};
    std::size_t n[2] = {0, 0};
    for (std::size_t i = 0; i < files.size(); ++i) {
      const std::string cmd =
          "ffprobe -v error -select_streams a:0 -show_entries stream=duration,sample_rate "
          "-of csv=p=0 " +
          Quote(files[i].path) + " >" + Quote(out);
      const auto t0 = Clock::now();
      const int rc = Run(cmd);
      const int g = files[i].lame_header ? 0 : 1;
      secs[g] += std::chrono::duration<double>(Clock::now() - t0).count();
      ++n[g];
      std::ifstream in(out);
      std::string line;
      std::getline(in, line);
      const std::size_t comma = line.find(',');
      if (rc != 0 || comma == std::string::npos) {
        ++r.differ;
        continue;
      }
      const double rate = std::atof(line.substr(0, comma).c_str());
      const double duration = std::atof(line.substr(comma + 1).c_str());
      if (std::llround(duration * rate) != static_cast<long long>(truth[i])) ++r.differ;
    }
    r.rate_header = static_cast<double>(n[0]) / secs[0];
    r.rate_other = static_cast<double>(n[1]) / secs[1];
    r.rate_all = static_cast<double>(n[0] + n[1]) / (secs[0] + secs[1]);
    Print("ffprobe, one process a file", r);
    std::remove(out.c_str());
  }
  return 0;
}
