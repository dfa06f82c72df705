// The engine's side of bench/sound_server_bench.py, which runs it through a private PulseAudio
// beside mpv and measures CPU, memory, sync, pause and seek from outside (the whole program is
// measured as it is installed, build/src/quillet). Modes:
//
//   sound_server_bench engine FILE SECONDS
//       The engine alone plays FILE, asked for its position every 150 ms as the window's refresh
//       tick asks; prints its peak RSS in kB at the end.
//   sound_server_bench sync FILE
//       Plays FILE and writes "pos MONOTONIC_S POSITION_S" every 5 ms; pauses at 3.2 s for
//       0.8 s ("pause T" / "resume T"), seeks to 10.48 s at 5.2 s ("seek T"), ends at 8 s.
//   sound_server_bench queue FIRST SECOND
//       Plays FIRST with SECOND queued behind it (bench/gapless_bench.py), until SECOND ends.
//   sound_server_bench listloop FIRST SECOND QUIET
//       The player in list loop over the three files, ticked every 150 ms as the window's
//       refresh timer does, until QUIET (a silent file that ends what is heard) is announced.
//   sound_server_bench transport FILE
//       Plays FILE; pauses at 1.0 s, resumes at 1.5 s, seeks to 5.0 s at 2.5 s, stops at 3.5 s.
#include <sys/resource.h>
#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "audio/AudioEngine.h"
#include "player/PlaySession.h"

using quillet::audio::AudioEngine;
using quillet::audio::Handle;

namespace {

double Now() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

long PeakRssKb() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

void Sleep(double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); }

int Fail(const char* what) {
  std::fprintf(stderr, "%s failed: code %d\n", what, AudioEngine::ErrorGetCode());
  return 1;
}

int Engine(const char* file, double seconds) {
  AudioEngine engine;
  if (!engine.Init(-1, 44100, 0)) return Fail("Init");
  const Handle h = engine.StreamCreateFile(false, file, 0, 0, 0);
  if (!h || !engine.ChannelPlay(h, false)) return Fail("play");
  std::printf("started %.6f\n", Now());
  std::fflush(stdout);
  const double end = Now() + seconds;
  while (Now() < end) {
    Sleep(0.15);
    engine.ChannelGetPosition(h);
    engine.ChannelGetLength(h);
    if (engine.ChannelIsActive(h) == quillet::audio::kStopped) break;
  }
  engine.Free();
  std::printf("peak_rss_kb %ld\n", PeakRssKb());
  return 0;
}

int Sync(const char* file) {
  AudioEngine engine;
  if (!engine.Init(-1, 44100, 0)) return Fail("Init");
  const Handle h = engine.StreamCreateFile(false, file, 0, 0, 0);
  if (!h || !engine.ChannelPlay(h, false)) return Fail("play");
  const double t0 = Now();
  bool paused = false, resumed = false, sought = false;
  for (;;) {
    const double t = Now() - t0;
    if (t > 8.0) break;
    if (!paused && t > 3.2) {
      engine.ChannelPause(h);
      std::printf("pause %.6f\n", Now());
      paused = true;
    } else if (!resumed && t > 4.0) {
      engine.ChannelPlay(h, false);
      std::printf("resume %.6f\n", Now());
      resumed = true;
    } else if (!sought && t > 5.2) {
      engine.ChannelSetPosition(h, engine.ChannelSeconds2Bytes(h, 10.48));
      std::printf("seek %.6f\n", Now());
      sought = true;
    }
    const double pos = engine.ChannelBytes2Seconds(h, engine.ChannelGetPosition(h));
    std::printf("pos %.6f %.6f\n", Now(), pos);
    Sleep(0.005);
  }
  std::fflush(stdout);
  engine.Free();
  return 0;
}

int Queue(const char* first, const char* second) {
  AudioEngine engine;
  if (!engine.Init(-1, 44100, 0)) return Fail("Init");
  const Handle a = engine.StreamCreateFile(false, first, 0, 0, 0);
  const Handle b = engine.StreamCreateFile(false, second, 0, 0, 0);
  if (!a || !b || !engine.ChannelPlay(a, false)) return Fail("play");
  if (!engine.ChannelQueue(a, b)) return Fail("queue");
  while (engine.ChannelIsActive(a) != quillet::audio::kStopped) Sleep(0.01);
  std::printf("joint %.6f\n", Now());
  while (engine.ChannelIsActive(b) != quillet::audio::kStopped) Sleep(0.01);
  Sleep(0.1);
  engine.Free();
  return 0;
}

int ListLoop(const char* first, const char* second, const char* quiet) {
  AudioEngine engine;
  quillet::PlayerShared shared;
  quillet::PlaySession player(shared, engine);
  player.Reset();
  if (player.OpenDevice()) return Fail("Init");
  player.MarkReady();
  for (const char* path : {first, second, quiet}) player.List().Append(player.List().Probe(path));
  player.List().SetSelection({0}, 0);
  player.SwitchLoopList();
  for (int i = 0; i < 100; ++i) {
    player.Tick();
    const auto& track = player.Snapshot().track;
    if (track && track->path == quiet) break;
    Sleep(0.15);
  }
  player.Stop();
  Sleep(0.1);
  player.Shutdown();
  return 0;
}

int Transport(const char* file) {
  AudioEngine engine;
  if (!engine.Init(-1, 44100, 0)) return Fail("Init");
  const Handle h = engine.StreamCreateFile(false, file, 0, 0, 0);
  if (!h || !engine.ChannelPlay(h, false)) return Fail("play");
  Sleep(1.0);
  engine.ChannelPause(h);
  Sleep(0.5);
  engine.ChannelPlay(h, false);
  Sleep(1.0);
  engine.ChannelSetPosition(h, engine.ChannelSeconds2Bytes(h, 5.0));
  Sleep(1.0);
  engine.ChannelStop(h);
  Sleep(0.2);
  engine.Free();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 4 && std::strcmp(argv[1], "engine") == 0) return Engine(argv[2], std::atof(argv[3]));
  if (argc >= 3 && std::strcmp(argv[1], "sync") == 0) return Sync(argv[2]);
  if (argc >= 4 && std::strcmp(argv[1], "queue") == 0) return Queue(argv[2], argv[3]);
  if (argc >= 3 && std::strcmp(argv[1], "transport") == 0) return Transport(argv[2]);
  if (argc >= 5 && std::strcmp(argv[1], "listloop") == 0) return ListLoop(argv[2], argv[3], argv[4]);
  std::fprintf(stderr,
               "usage: %s engine FILE SECONDS | sync FILE | queue FIRST SECOND | listloop FIRST SECOND QUIET | transport FILE\n"
               "Run through bench/sound_server_bench.py, which starts the sound server.\n",
               argv[0]);
  return 2;
}
