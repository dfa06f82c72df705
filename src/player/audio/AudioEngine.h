// Quillet's audio engine: MP3 (libmpg123) and WAVE and friends (libsndfile) decoded on a
// worker thread, played through SDL2 at 44100 Hz stereo. The operations mirror what the player
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

namespace quillet::audio {

using Handle = std::uint32_t;  // 0 is never a live stream; handles are not reused
inline constexpr std::uint64_t kNotAvailable = ~std::uint64_t{0};
// What GetVersion returns: 1.0.
inline constexpr std::uint32_t kEngineVersion = 0x01000000;

// ChannelIsActive results; anything but kStopped counts as active.
enum ActiveState : std::uint32_t { kStopped = 0, kPlaying = 1, kStalled = 2, kPaused = 3 };

// What ProbeFile learns of a file without a device and without decoding its audio.
struct FileProbe {
  std::uint64_t length = kNotAvailable;  // bytes, as for ChannelGetLength
  std::uint32_t freq = 0;
  std::uint32_t channels = 0;
  double seconds = 0;  // the exact length in seconds
};

enum ErrorCode : int {
  kOk = 0,
  kErrMemory = 1,
  kErrFileOpen = 2,
  kErrDriver = 3,
  kErrHandle = 5,
  kErrFormat = 6,
  kErrPosition = 7,
  kErrInit = 8,
  kErrAlready = 14,
  kErrIllegalParam = 20,
  kErrDevice = 23,
  kErrNotPlaying = 24,
  kErrNotAvailable = 37,
  kErrFileFormat = 41,
  kErrUnknown = -1,
};

// The instance operations are virtual so that tests can script an engine where timing matters.
class AudioEngine {
 public:
  AudioEngine();
  virtual ~AudioEngine();
  AudioEngine(const AudioEngine&) = delete;
  AudioEngine& operator=(const AudioEngine&) = delete;

  // Packed version of the engine (major << 24 | minor << 16 | ...).
  static std::uint32_t GetVersion();
  // True when the run-time SDL2, libmpg123 and libsndfile are at least the versions the program
  // was built with. `why` receives a short explanation when it is not.
  static bool BackEndVersionOk(std::string* why = nullptr);

  // Measures a file as StreamCreateFile would open it (exact MP3 lengths by a frame scan, other
  // formats from their headers), without the device. False with the code of StreamCreateFile.
  static bool ProbeFile(const std::string& path, FileProbe* out);

  // device -1 is the default device, 1.. the output devices the driver lists; freq 0 means
  // 44100; flags must be 0. False (with its code) when no device can be opened: 3 no driver,
  // 23 no such device or it cannot be opened, 14 already initialised. Free releases the device
  // and frees every stream still open.
  virtual bool Init(int device, std::uint32_t freq, std::uint32_t flags);
  virtual bool Free();

  // Opens a file as a stream; 0 on failure (code 2, 41, 8 ...). With `mem`, `path` holds the
  // file's bytes instead of its path. [offset, offset + length) is the part used; length 0 is to
  // the end. flags must be 0. Needs a successful Init (code 8 otherwise). A file without any
  // audio (an empty file, a WAVE with no samples) is code 41.
  virtual Handle StreamCreateFile(bool mem, const std::string& path, std::uint64_t offset,
                                  std::uint64_t length, std::uint32_t flags);
  virtual bool StreamFree(Handle h);

  // Resumes from the current position; a stream that has played out starts again from 0, as
  // does any stream with `restart`.
  virtual bool ChannelPlay(Handle h, bool restart);
  virtual bool ChannelPause(Handle h);
  virtual bool ChannelStop(Handle h);
  // 0 never played, stopped, played out or invalid; non-zero while playing or paused.
  virtual std::uint32_t ChannelIsActive(Handle h);

  virtual std::uint64_t ChannelGetLength(Handle h);    // kNotAvailable when unknown
  virtual std::uint64_t ChannelGetPosition(Handle h);  // the position being heard
  // Exact inverses of each other at frame granularity; -1 and kNotAvailable on an error.
  virtual double ChannelBytes2Seconds(Handle h, std::uint64_t bytes);
  virtual std::uint64_t ChannelSeconds2Bytes(Handle h, double seconds);
  // Lands on the frame that holds `bytes`; beyond the length is code 7. A stream that had played
  // out is stopped there, and the next ChannelPlay resumes from it.
  virtual bool ChannelSetPosition(Handle h, std::uint64_t bytes);

  // Output volume: left in the low 16 bits, right in the high 16 bits, each 0..65535. It starts
  // at full and scales what is played; it needs no device.
  virtual std::uint32_t GetVolume();
  virtual bool SetVolume(std::uint32_t packed);

  static int ErrorGetCode();

 protected:
  // For engines that stand in for this one in tests: sets what ErrorGetCode reports.
  static void SetErrorCode(int code);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace quillet::audio
