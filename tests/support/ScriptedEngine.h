// The audio engine of the tests: its streams are driven by hand (position, end, failures), and
// every call is logged. It stands in for the real engine wherever a test must own time; nothing
// it does reaches a sound device.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "audio/Engine.h"

namespace quillet::testing {

class ScriptedEngine final : public audio::Engine {
 public:
  // 44100 Hz, 2 channels, 16 bits.
  static constexpr double kBytesPerSecond = 176400;

  struct File {
    double seconds = 180;
    bool lengthKnown = true;
    bool playFails = false;
  };
  // Lost: the sound output went away under the stream (a sound server that stopped).
  enum class St { Fresh, Playing, Paused, Stopped, Ended, Lost };
  struct Stream {
    std::string path;
    File file;
    double pos = 0;
    St st = St::Fresh;
    audio::Handle queued = 0;  // ChannelQueue: the stream that follows at the end
  };

  std::map<std::string, File> files;  // what opens; anything else fails with kErrFileOpen
  std::map<audio::Handle, Stream> streams;
  std::vector<std::string> calls;  // "create <path>", "play <h>", "free <h>", ...
  std::uint32_t volume = 0xFFFFFFFFu;
  int setVolumeCalls = 0;
  bool throwOnVolume = false;
  audio::Handle nextHandle = 100;
  // Init fails with this code; what Init was asked for.
  std::optional<int> initFails;
  int initDevice = 0;
  std::uint32_t initFreq = 0, initFlags = 0;
  // The back-end check's answer.
  bool backEndOk = true;
  // Positions read as not available.
  bool positionKnown = true;
  // Seconds per byte for ChannelBytes2Seconds (a negative or NaN value scripts a broken one).
  std::optional<double> secondsPerByte;
  // How often the play position was read.
  int positionReads = 0;
  // The last handle played or paused and the last play's restart flag.
  audio::Handle lastHandle = 0;
  bool lastRestart = false;

  void AddFile(const std::string& path, double seconds = 180) { files[path].seconds = seconds; }

  bool BackEndOk(std::string* why) override {
    if (!backEndOk && why != nullptr) *why = "scripted back-end failure";
    return backEndOk;
  }
  bool Init(int device, std::uint32_t freq, std::uint32_t flags) override {
    initDevice = device;
    initFreq = freq;
    initFlags = flags;
    if (initFails) return Fail(*initFails);
    return Ok();
  }
  bool Free() override {
    streams.clear();
    calls.push_back("free-engine");
    return true;
  }
  audio::Handle StreamCreateFile(bool, const std::string& path, std::uint64_t, std::uint64_t,
                                 std::uint32_t) override {
    calls.push_back("create " + path);
    auto f = files.find(path);
    if (f == files.end()) {
      error_ = audio::kErrFileOpen;
      return 0;
    }
    const audio::Handle h = nextHandle++;
    streams[h] = Stream{path, f->second};
    error_ = audio::kOk;
    return h;
  }
  bool StreamFree(audio::Handle h) override {
    calls.push_back("free " + std::to_string(h));
    CancelQueues(h);
    return streams.erase(h) > 0 ? Ok() : Fail(audio::kErrHandle);
  }
  bool ChannelPlay(audio::Handle h, bool restart) override {
    calls.push_back("play " + std::to_string(h));
    lastHandle = h;
    lastRestart = restart;
    Stream* s = Find(h);
    if (s == nullptr) return Fail(audio::kErrHandle);
    if (s->file.playFails) return Fail(audio::kErrUnknown);
    if (s->st == St::Lost) return Fail(audio::kErrDevice);
    for (auto& [other, o] : streams)
      if (other != h) o.queued = 0;
    if (restart || s->st == St::Ended) s->pos = 0;
    s->st = St::Playing;
    return Ok();
  }
  bool ChannelPause(audio::Handle h) override {
    calls.push_back("pause " + std::to_string(h));
    lastHandle = h;
    Stream* s = Find(h);
    if (s == nullptr) return Fail(audio::kErrHandle);
    if (s->st != St::Playing) return Fail(audio::kErrNotPlaying);
    s->st = St::Paused;
    return Ok();
  }
  bool ChannelStop(audio::Handle h) override {
    calls.push_back("stop " + std::to_string(h));
    Stream* s = Find(h);
    if (s == nullptr) return Fail(audio::kErrHandle);
    CancelQueues(h);
    s->st = St::Stopped;
    return Ok();
  }
  std::uint32_t ChannelIsActive(audio::Handle h) override {
    Stream* s = Find(h);
    if (s == nullptr) return audio::kStopped;
    if (s->st == St::Lost) {
      error_ = audio::kErrDevice;
      return audio::kStopped;
    }
    error_ = audio::kOk;
    if (s->st == St::Playing) return audio::kPlaying;
    if (s->st == St::Paused) return audio::kPaused;
    return audio::kStopped;
  }
  std::uint64_t ChannelGetLength(audio::Handle h) override {
    Stream* s = Find(h);
    if (s == nullptr || !s->file.lengthKnown) return audio::kNotAvailable;
    return Bytes(s->file.seconds);
  }
  std::uint64_t ChannelGetPosition(audio::Handle h) override {
    ++positionReads;
    Stream* s = Find(h);
    return s == nullptr || !positionKnown ? audio::kNotAvailable : Bytes(s->pos);
  }
  double ChannelBytes2Seconds(audio::Handle h, std::uint64_t bytes) override {
    if (Find(h) == nullptr || bytes == audio::kNotAvailable) return -1;
    if (secondsPerByte) return static_cast<double>(bytes) * *secondsPerByte;
    return static_cast<double>(bytes) / kBytesPerSecond;
  }
  std::uint64_t ChannelSeconds2Bytes(audio::Handle h, double seconds) override {
    if (Find(h) == nullptr) return audio::kNotAvailable;
    return Bytes(seconds);
  }
  bool ChannelSetPosition(audio::Handle h, std::uint64_t bytes) override {
    calls.push_back("seek " + std::to_string(h) + " " + std::to_string(bytes));
    Stream* s = Find(h);
    if (s == nullptr) return Fail(audio::kErrHandle);
    if (s->file.lengthKnown && bytes > Bytes(s->file.seconds)) return Fail(audio::kErrPosition);
    CancelQueues(h);
    s->pos = static_cast<double>(bytes) / kBytesPerSecond;
    if (s->st == St::Ended) s->st = St::Stopped;
    return Ok();
  }
  std::uint64_t ChannelGetLengthMs(audio::Handle h) override {
    Stream* s = Find(h);
    if (s == nullptr || !s->file.lengthKnown) return audio::kNotAvailable;
    return static_cast<std::uint64_t>(s->file.seconds * 1000);
  }
  std::uint64_t ChannelGetPositionMs(audio::Handle h) override {
    ++positionReads;
    Stream* s = Find(h);
    if (s == nullptr || !positionKnown) return audio::kNotAvailable;
    return static_cast<std::uint64_t>(s->pos * 1000);
  }
  bool ChannelSetPositionMs(audio::Handle h, std::uint64_t ms) override {
    calls.push_back("seekms " + std::to_string(h) + " " + std::to_string(ms));
    Stream* s = Find(h);
    if (s == nullptr) return Fail(audio::kErrHandle);
    const double seconds = static_cast<double>(ms) / 1000;
    if (s->file.lengthKnown && seconds > s->file.seconds) return Fail(audio::kErrPosition);
    CancelQueues(h);
    s->pos = seconds;
    if (s->st == St::Ended) s->st = St::Stopped;
    return Ok();
  }
  // The engine's rules, without sound: `next` follows when the test ends `current` (End).
  bool ChannelQueue(audio::Handle current, audio::Handle next) override {
    calls.push_back("queue " + std::to_string(current) + " " + std::to_string(next));
    Stream* c = Find(current);
    if (c == nullptr) return Fail(audio::kErrHandle);
    if (next == 0) {
      c->queued = 0;
      return Ok();
    }
    Stream* n = Find(next);
    if (n == nullptr) return Fail(audio::kErrHandle);
    if (next == current) return Fail(audio::kErrIllegalParam);
    bool queuedItself = false;
    for (const auto& [other, o] : streams) queuedItself = queuedItself || o.queued == current;
    if (c->st != St::Playing && c->st != St::Paused && !queuedItself)
      return Fail(audio::kErrNotPlaying);
    if (n->st == St::Playing || n->st == St::Paused) return Fail(audio::kErrAlready);
    CancelQueues(next);
    if (n->st == St::Ended) n->pos = 0;
    c->queued = next;
    return Ok();
  }
  std::uint32_t GetVolume() override {
    if (throwOnVolume) throw std::runtime_error("scripted volume failure");
    return volume;
  }
  bool SetVolume(std::uint32_t packed) override {
    volume = packed;
    ++setVolumeCalls;
    return Ok();
  }
  int LastErrorCode() override { return error_; }

  // Test controls.
  Stream* Find(audio::Handle h) {
    auto it = streams.find(h);
    return it == streams.end() ? nullptr : &it->second;
  }
  void At(audio::Handle h, double seconds) { Find(h)->pos = seconds; }
  // The stream plays out: its position stands at the end and it is no longer active. A stream
  // queued behind it plays on from where it stands.
  void End(audio::Handle h) {
    Stream* s = Find(h);
    s->pos = s->file.seconds;
    s->st = St::Ended;
    if (Stream* n = Find(s->queued)) n->st = St::Playing;
    s->queued = 0;
  }
  int Count(const std::string& prefix) const {
    int n = 0;
    for (const std::string& c : calls) n += c.rfind(prefix, 0) == 0 ? 1 : 0;
    return n;
  }
  static std::uint64_t Bytes(double seconds) {
    return static_cast<std::uint64_t>(seconds * kBytesPerSecond) / 4 * 4;
  }

 private:
  bool Ok() {
    error_ = audio::kOk;
    return true;
  }
  bool Fail(int code) {
    error_ = code;
    return false;
  }
  // Stop, seek and free cancel the queue `h` takes part in, on either side.
  void CancelQueues(audio::Handle h) {
    for (auto& [other, o] : streams)
      if (other == h || o.queued == h) o.queued = 0;
  }
  int error_ = audio::kOk;
};

}  // namespace quillet::testing
