// The timed lyric model on a long lyric: reading a 5,000-line bilingual file (2,500 groups of
// an original and its translation, with header tags and word times on every tenth line), and
// the lyric step of one refresh tick with exact timing (finding the current group and making
// its texts) beside today's lookup (the raw lines searched for the time text) on the same file.
//
//   timedlyric_bench [--benchmark_filter=...]   (Google Benchmark's options)
#if QUILLET_HAVE_BENCHMARK
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/TextRules.h"
#include "lyrics/Lyrics.h"
#include "lyrics/TimedLyric.h"

namespace {

constexpr int kLines = 5000;
constexpr int kStepMs = 1130;  // a group every 1.13 s: 2,500 groups, about 47 minutes

std::string Stamp(int ms) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "[%02d:%02d.%02d]", ms / 60000, ms / 1000 % 60, ms / 10 % 100);
  return buf;
}

// CR LF lines, as the files people have: the original, then its translation with the same stamp.
std::string BilingualFile() {
  std::string file = "[ti:长歌]\r\n[ar:歌手]\r\n[al:专辑]\r\n[by:quillet]\r\n[offset:-120]\r\n";
  for (int g = 0; g < kLines / 2; ++g) {
    const int ms = 2000 + g * kStepMs;
    const std::string stamp = Stamp(ms);
    if (g % 10 == 0) {
      file += stamp + "<" + Stamp(ms).substr(1, 8) + ">Line <" + Stamp(ms + 400).substr(1, 8) +
              ">number " + std::to_string(g) + "\r\n";
    } else {
      file += stamp + "The original words of line number " + std::to_string(g) + "\r\n";
    }
    file += stamp + "第" + std::to_string(g) + "行的中文翻译，比原文短一些\r\n";
  }
  return file;
}

const std::string& File() {
  static const std::string file = BilingualFile();
  return file;
}

// Play positions spread over the whole lyric, visited in a scrambled order.
std::vector<int> Positions() {
  std::vector<int> out;
  const int end = 2000 + (kLines / 2) * kStepMs;
  for (int i = 0; i < 1024; ++i) out.push_back(static_cast<int>((i * 7919L) % end));
  return out;
}

void BM_ParseBilingual5000(benchmark::State& state) {
  const std::string& file = File();
  for (auto _ : state) {
    quillet::TimedLyric lyric = quillet::ParseTimedLyricBytes(file);
    benchmark::DoNotOptimize(lyric);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(file.size()));
}
BENCHMARK(BM_ParseBilingual5000)->Unit(benchmark::kMillisecond);

// Today's reading, for scale: the raw lines only.
void BM_SplitLines5000(benchmark::State& state) {
  const std::string& file = File();
  for (auto _ : state) {
    auto lines = quillet::SplitLyricLines(quillet::LyricTextBytes(file));
    benchmark::DoNotOptimize(lines);
  }
}
BENCHMARK(BM_SplitLines5000)->Unit(benchmark::kMillisecond);

// One tick with exact timing: the group at the position (with a delay and the file's offset)
// and its two texts for the strip.
void BM_TickExact(benchmark::State& state) {
  const quillet::TimedLyric lyric = quillet::ParseTimedLyricBytes(File());
  const std::vector<int> positions = Positions();
  std::size_t i = 0;
  for (auto _ : state) {
    const quillet::LyricPosition pos =
        quillet::FindLyricGroup(lyric, positions[i++ % positions.size()], 180, lyric.offsetMs);
    quillet::LyricGroupText text = quillet::GroupText(lyric, pos.group);
    benchmark::DoNotOptimize(text);
    benchmark::DoNotOptimize(pos.nextChangeMs);
  }
}
BENCHMARK(BM_TickExact);

// The lookup alone: what a tick costs when the group has not changed and nothing is redrawn.
void BM_TickExactLookupOnly(benchmark::State& state) {
  const quillet::TimedLyric lyric = quillet::ParseTimedLyricBytes(File());
  const std::vector<int> positions = Positions();
  std::size_t i = 0;
  for (auto _ : state) {
    const quillet::LyricPosition pos =
        quillet::FindLyricGroup(lyric, positions[i++ % positions.size()], 180, lyric.offsetMs);
    benchmark::DoNotOptimize(pos);
  }
}
BENCHMARK(BM_TickExactLookupOnly);

// One tick today: the time text of the position searched for in the raw lines.
void BM_TickToday(benchmark::State& state) {
  const std::vector<std::string> lines = quillet::SplitLyricLines(quillet::LyricTextBytes(File()));
  const std::vector<int> positions = Positions();
  std::size_t i = 0;
  for (auto _ : state) {
    const int ms = positions[i++ % positions.size()];
    std::string text = quillet::ShowLyricText(lines, quillet::TimeText(ms / 1000.0));
    benchmark::DoNotOptimize(text);
  }
}
BENCHMARK(BM_TickToday)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
#else
#include <cstdio>
int main() {
  std::puts("timedlyric_bench needs Google Benchmark (libbenchmark-dev)");
  return 77;
}
#endif
