// Quillet's audio engine: MP3 (libmpg123) and WAVE and friends (libsndfile) decoded on a
// worker thread, played through SDL2 at 44100 Hz stereo. The operations mirror what the player
// needs of an audio library; byte positions and lengths are in the stream's decoded PCM bytes.
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

  // device -1 is the default device. False (with its code) when no device can be opened.
  virtual bool Init(int device, std::uint32_t freq, std::uint32_t flags);
  virtual bool Free();

  // Opens a file as a stream; 0 on failure (code 2, 41, 8 ...).
  virtual Handle StreamCreateFile(bool mem, const std::string& path, std::uint64_t offset,
                          std::uint64_t length, std::uint32_t flags);
  virtual bool StreamFree(Handle h);

  virtual bool ChannelPlay(Handle h, bool restart);
  virtual bool ChannelPause(Handle h);
  virtual bool ChannelStop(Handle h);
  // 0 never played, stopped, played out or invalid; non-zero while playing or paused.
  virtual std::uint32_t ChannelIsActive(Handle h);

  virtual std::uint64_t ChannelGetLength(Handle h);    // kNotAvailable when unknown
  virtual std::uint64_t ChannelGetPosition(Handle h);  // the position being heard
  virtual double ChannelBytes2Seconds(Handle h, std::uint64_t bytes);
  virtual std::uint64_t ChannelSeconds2Bytes(Handle h, double seconds);
  virtual bool ChannelSetPosition(Handle h, std::uint64_t bytes);

  // Output volume: left in the low 16 bits, right in the high 16 bits, each 0..65535.
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
