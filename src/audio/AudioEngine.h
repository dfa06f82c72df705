// Quillet's audio engine: MP3 (libmpg123) and WAVE and friends (libsndfile) decoded on a
// worker thread, played at 44100 Hz stereo through the desktop's sound server (libpulse) when
// one answers, else through SDL2. The operations mirror what the player
// needs of an audio library; byte positions and lengths are in the stream's decoded PCM bytes:
// the stream's own frames (at its own sample rate, before resampling) x its channel count x 2,
// as if it were decoded to 16-bit samples. A position is always a whole number of frames.
//
// Error codes (ErrorGetCode, for the calling thread's last call):
//    0 ok                       14 already initialised
//    1 memory                   20 illegal parameter
//    2 cannot open the file     23 illegal device
//    3 no sound driver          24 not playing
//    5 invalid handle           37 not available
//    6 unsupported sample fmt   41 unsupported file format
//    7 invalid position         -1 unknown
//    8 not initialised
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "audio/Engine.h"

namespace quillet::audio {

// What GetVersion returns: 1.0.
inline constexpr std::uint32_t kEngineVersion = 0x01000000;

// What ProbeFile learns of a file without a device and without decoding its audio.
struct FileProbe {
  std::uint64_t length = kNotAvailable;  // bytes, as for ChannelGetLength
  std::uint32_t freq = 0;
  std::uint32_t channels = 0;
  double seconds = 0;  // the exact length in seconds
};

// The engine on the system's sound output.
class AudioEngine final : public Engine {
 public:
  AudioEngine();
  ~AudioEngine() override;
  AudioEngine(const AudioEngine&) = delete;
  AudioEngine& operator=(const AudioEngine&) = delete;

  // Packed version of the engine (major << 24 | minor << 16 | ...).
  static std::uint32_t GetVersion();
  // True when the run-time SDL2, libmpg123 and libsndfile are at least the versions the program
  // was built with. `why` receives a short explanation when it is not.
  static bool BackEndVersionOk(std::string* why = nullptr);
  bool BackEndOk(std::string* why) override { return BackEndVersionOk(why); }

  // Measures a file as StreamCreateFile would open it (exact MP3 lengths by a frame scan, other
  // formats from their headers), without the device. False with the code of StreamCreateFile.
  static bool ProbeFile(const std::string& path, FileProbe* out);

  // device -1 is the default device, 1.. the output devices the driver lists; freq 0 means
  // 44100; flags must be 0. False (with its code) when no device can be opened: 3 no driver,
  // 23 no such device or it cannot be opened, 14 already initialised. Free releases the device
  // and frees every stream still open.
  bool Init(int device, std::uint32_t freq, std::uint32_t flags) override;
  bool Free() override;

  // Opens a file as a stream; 0 on failure (code 2, 41, 8 ...). With `mem`, `path` holds the
  // file's bytes instead of its path. [offset, offset + length) is the part used; length 0 is to
  // the end. flags must be 0. Needs a successful Init (code 8 otherwise). A file without any
  // audio (an empty file, a WAVE with no samples) is code 41.
  Handle StreamCreateFile(bool mem, const std::string& path, std::uint64_t offset,
                          std::uint64_t length, std::uint32_t flags) override;
  bool StreamFree(Handle h) override;

  // Resumes from the current position; a stream that has played out starts again from 0, as
  // does any stream with `restart`.
  bool ChannelPlay(Handle h, bool restart) override;
  bool ChannelPause(Handle h) override;
  bool ChannelStop(Handle h) override;
  // 0 never played, stopped, played out or invalid; non-zero while playing or paused.
  std::uint32_t ChannelIsActive(Handle h) override;

  std::uint64_t ChannelGetLength(Handle h) override;    // kNotAvailable when unknown
  std::uint64_t ChannelGetPosition(Handle h) override;  // the position being heard
  // Exact inverses of each other at frame granularity; -1 and kNotAvailable on an error.
  double ChannelBytes2Seconds(Handle h, std::uint64_t bytes) override;
  std::uint64_t ChannelSeconds2Bytes(Handle h, double seconds) override;
  // Lands on the frame that holds `bytes`; beyond the length is code 7. A stream that had played
  // out is stopped there, and the next ChannelPlay resumes from it.
  bool ChannelSetPosition(Handle h, std::uint64_t bytes) override;

  // Output volume: left in the low 16 bits, right in the high 16 bits, each 0..65535. It starts
  // at full and scales what is played; it needs no device.
  std::uint32_t GetVolume() override;
  bool SetVolume(std::uint32_t packed) override;

  // The calling thread's last code.
  static int ErrorGetCode();
  int LastErrorCode() override { return ErrorGetCode(); }

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace quillet::audio
