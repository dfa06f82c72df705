// The engine's start-up work that needs neither the toolkit nor a window: the check that the
// back end's libraries are the ones the program was built for, then, when they are, opening the
// sound device. It begins on a worker the moment it is made, so the sound server's answers come
// while the toolkit starts; the main window's creation then takes the two outcomes in its own
// order. Nothing else may use the engine until both have been taken.
#pragma once

#include <future>
#include <optional>
#include <string>

namespace quillet {

namespace audio {
class Engine;
}

// Opens the default output device at 44100 Hz on the calling thread; the engine's code (which
// belongs to that thread) when it cannot.
std::optional<int> OpenDefaultDevice(audio::Engine& engine);

class EarlyDevice {
 public:
  explicit EarlyDevice(audio::Engine& engine);
  ~EarlyDevice();
  EarlyDevice(const EarlyDevice&) = delete;
  EarlyDevice& operator=(const EarlyDevice&) = delete;

  // Waits for the worker. False, with the reason, when the libraries are not the right ones (the
  // device was then left alone).
  bool BackEndOk(std::string* why);
  // Waits for the worker. The engine's error code when the device did not open.
  std::optional<int> DeviceError();

 private:
  struct Outcome {
    bool backEndOk = false;
    std::string why;
    std::optional<int> deviceError;
  };
  const Outcome& Wait();

  std::future<Outcome> work_;
  std::optional<Outcome> outcome_;
};

}  // namespace quillet
