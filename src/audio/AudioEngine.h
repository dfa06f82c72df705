// Quillet's audio engine: MP3 (libmpg123) and WAVE and friends (libsndfile) decoded on a worker
// thread per stream, resampled to the output's rate and written by one writer thread to the
// output: the desktop's sound server (libpulse) when one answers, else an SDL2 device, or an
// output device given by the caller (the tests' fake). The operations and their codes are
// those of audio::Engine (Engine.h); this adds what is not part of that contract.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "audio/Engine.h"

namespace quillet::audio {

class OutputDevice;

// What GetVersion returns: 1.0.
inline constexpr std::uint32_t kEngineVersion = 0x01000000;

// What ProbeFile learns of a file without a device and without decoding its audio.
struct FileProbe {
  std::uint64_t length = kNotAvailable;  // bytes, as for ChannelGetLength
  std::uint32_t freq = 0;
  std::uint32_t channels = 0;
  double seconds = 0;  // the exact length in seconds
};

// Opens the output device for Init(device, freq): nullptr with an engine code in `*error`.
using DeviceOpener =
    std::function<std::shared_ptr<OutputDevice>(int device, std::uint32_t freq, int* error)>;

class AudioEngine final : public Engine {
 public:
  // On the system's output: the sound server for the default device when one answers, else SDL.
  AudioEngine();
  // On the devices `opener` gives (the tests' fake output).
  explicit AudioEngine(DeviceOpener opener);
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

  bool Init(int device, std::uint32_t freq, std::uint32_t flags) override;
  bool Free() override;
  Handle StreamCreateFile(bool mem, const std::string& path, std::uint64_t offset,
                          std::uint64_t length, std::uint32_t flags) override;
  bool StreamFree(Handle h) override;
  bool ChannelPlay(Handle h, bool restart) override;
  bool ChannelPause(Handle h) override;
  bool ChannelStop(Handle h) override;
  std::uint32_t ChannelIsActive(Handle h) override;
  std::uint64_t ChannelGetLength(Handle h) override;
  std::uint64_t ChannelGetPosition(Handle h) override;
  double ChannelBytes2Seconds(Handle h, std::uint64_t bytes) override;
  std::uint64_t ChannelSeconds2Bytes(Handle h, double seconds) override;
  bool ChannelSetPosition(Handle h, std::uint64_t bytes) override;
  std::uint64_t ChannelGetLengthMs(Handle h) override;
  std::uint64_t ChannelGetPositionMs(Handle h) override;
  bool ChannelSetPositionMs(Handle h, std::uint64_t ms) override;
  bool ChannelQueue(Handle current, Handle next) override;
  // The volume starts at full and scales what is played; it needs no device.
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
