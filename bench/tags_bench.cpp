// What reading the full tags costs when files are added: playlist rows (ProbeTrackRow) for 1,000
// tagged MP3s with the full-tag option off and on, from a warm cache, rounds interleaved. The
// difference must stay under 20 %; the exit status says whether it did.
//
//   tags_bench [--files N] [--dir DIR] [--rounds R]
//
// Four kinds of file, copied round-robin: ID3v2.3 in UTF-16 with a 60 KB front cover, ID3v2.4 in
// UTF-8 with an LRC lyric, ID3v2.3 with GBK in Latin-1 frames beside an ID3v1 tag, and no tag.
// They are made once with sox, lame and mutagen and kept in DIR for later runs.
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

// Tags a file by kind with mutagen (the system's Python, where Debian's package lives).
constexpr const char* kTagger = R"(
import sys, os
from mutagen.id3 import ID3, TIT2, TPE1, TALB, TPE2, TRCK, USLT, APIC
path, kind = sys.argv[1], sys.argv[2]
t = ID3()
if kind == 'utf16':
    for f in (TIT2(encoding=1, text=['七里香']), TPE1(encoding=1, text=['周杰伦']),
              TALB(encoding=1, text=['七里香']), TPE2(encoding=1, text=['周杰伦']),
              TRCK(encoding=1, text=['1/10'])):
        t.add(f)
    t.add(APIC(encoding=0, type=3, mime='image/jpeg', desc='', data=b'\xff\xd8\xff' + os.urandom(60000)))
    t.save(path, v1=0, v2_version=3)
elif kind == 'utf8':
    t.add(TIT2(encoding=3, text=['晴天'])); t.add(TPE1(encoding=3, text=['周杰伦']))
    t.add(TALB(encoding=3, text=['叶惠美']))
    t.add(USLT(encoding=3, lang='chi', desc='', text=''.join('[00:%02d.00]故事的小黄花\n' % i for i in range(60))))
    t.save(path, v1=0, v2_version=4)
elif kind == 'gbk':
    t.add(TIT2(encoding=0, text=[b'\xc6\xdf\xc0\xef\xcf\xe3'.decode('latin-1')]))
    t.add(TPE1(encoding=0, text=[b'\xd6\xdc\xbd\xdc\xc2\xd7'.decode('latin-1')]))
    t.add(TALB(encoding=0, text=[b'\xd2\xb6\xbb\xdd\xc3\xc0'.decode('latin-1')]))
    t.save(path, v1=2, v2_version=3)
)";

bool MakeFiles(const std::string& dir, int count, std::vector<std::string>* files) {
  fs::create_directories(dir);
  const char* kinds[] = {"utf16", "utf8", "gbk", "none"};
  std::vector<std::string> masters;
  const std::string wav = dir + "/source.wav";
  for (const char* kind : kinds) {
    const std::string mp3 = dir + "/master-" + kind + ".mp3";
    masters.push_back(mp3);
    if (fs::exists(mp3)) continue;
    if (!fs::exists(wav) && Run("sox -n -r 44100 -c 2 -b 16 " + Quote(wav) +
                                " synth 240 pinknoise vol 0.3 >/dev/null 2>&1") != 0)
      return false;
    std::printf("encoding and tagging %s...\n", kind);
    std::fflush(stdout);
    const std::string tmp = mp3 + ".tmp";
    if (Run("lame --quiet --cbr -b 128 " + Quote(wav) + " " + Quote(tmp) + " </dev/null") != 0)
      return false;
    if (std::string(kind) != "none" &&
        Run("/usr/bin/python3 -c " + Quote(kTagger) + " " + Quote(tmp) + " " + kind) != 0)
      return false;
    fs::rename(tmp, mp3);
  }
  fs::remove(wav);
  for (int i = 0; i < count; ++i) {
    char name[64];
    std::snprintf(name, sizeof name, "/track-%04d.mp3", i);
    const std::string path = dir + name;
    const std::string& master = masters[static_cast<std::size_t>(i) % masters.size()];
    if (!fs::exists(path) || fs::file_size(path) != fs::file_size(master))
      fs::copy_file(master, path, fs::copy_options::overwrite_existing);
    files->push_back(path);
  }
  return true;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  int count = 1000;
  int rounds = 7;
  std::string dir = (fs::temp_directory_path() / "quillet-tags-bench").string();
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--files" && i + 1 < argc)
      count = std::max(1, std::atoi(argv[++i]));
    else if (a == "--rounds" && i + 1 < argc)
      rounds = std::max(1, std::atoi(argv[++i]));
    else if (a == "--dir" && i + 1 < argc)
      dir = argv[++i];
    else {
      std::fprintf(stderr, "usage: %s [--files N] [--dir DIR] [--rounds R]\n", argv[0]);
      return 2;
    }
  }
  if (Run("lame --version >/dev/null 2>&1") != 0 || Run("sox --version >/dev/null 2>&1") != 0 ||
      Run("/usr/bin/python3 -c 'import mutagen' >/dev/null 2>&1") != 0) {
    std::printf("lame, sox and python3-mutagen are needed to make the files; skipped\n");
    return 0;
  }
  std::vector<std::string> files;
  if (!MakeFiles(dir, count, &files)) {
    std::fprintf(stderr, "could not make the files in %s\n", dir.c_str());
    return 1;
  }

  quillet::TrackProbeOptions on;
  on.fullTags = true;
  const quillet::TrackProbeOptions off;
  // Warm the cache, and check that the option does what it says.
  int wrong = 0;
  for (std::size_t i = 0; i < files.size(); ++i) {
    const auto rowOff = quillet::ProbeTrackRow(files[i], quillet::EngineLengthProbe(), off);
    const auto rowOn = quillet::ProbeTrackRow(files[i], quillet::EngineLengthProbe(), on);
    const bool tagged = i % 4 != 3;
    if (rowOff.length != "04:00" || (tagged && rowOn.name == rowOff.name) ||
        (!tagged && rowOn.name != rowOff.name))
      ++wrong;
  }

  auto pass = [&](const quillet::TrackProbeOptions& options) {
    const auto t0 = Clock::now();
    std::size_t sink = 0;
    for (const auto& f : files)
      sink += quillet::ProbeTrackRow(f, quillet::EngineLengthProbe(), options).name.size();
    const double secs = std::chrono::duration<double>(Clock::now() - t0).count();
    if (sink == 0) std::printf("(no texts)\n");
    return secs;
  };
  std::vector<double> offTimes, onTimes;
  for (int r = 0; r < rounds; ++r) {
    offTimes.push_back(pass(off));
    onTimes.push_back(pass(on));
  }
  const double tOff = Median(offTimes), tOn = Median(onTimes);
  const double diff = (tOn - tOff) / tOff * 100.0;
  std::printf(
      "ProbeTrackRow, %zu tagged four-minute MP3s, median of %d rounds:\n"
      "  full tags off: %.1f ms (%.3f ms a file)\n"
      "  full tags on:  %.1f ms (%.3f ms a file)\n"
      "  difference:    %+.1f %% (limit 20 %%)%s\n",
      files.size(), rounds, tOff * 1000, tOff * 1000 / static_cast<double>(files.size()),
      tOn * 1000, tOn * 1000 / static_cast<double>(files.size()), diff,
      wrong ? ", SOME ROWS WRONG" : "");
  return wrong || diff >= 20.0 ? 1 : 0;
}
