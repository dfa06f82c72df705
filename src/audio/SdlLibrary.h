// SDL2, loaded the first time it is needed rather than at start: it is the output on systems
// without a sound server (and for a driver named in SDL_AUDIODRIVER), and the resampler for files
// at another rate than the output's. Playing through a sound server at the output's rate never
// loads it, nor the X11, Wayland and ALSA libraries it brings with it.
#pragma once

#include <SDL.h>

#include <string>

namespace quillet::audio {

struct SdlLibrary {
  decltype(&SDL_GetVersion) GetVersion;
  decltype(&SDL_SetHint) SetHint;
  decltype(&SDL_InitSubSystem) InitSubSystem;
  decltype(&SDL_QuitSubSystem) QuitSubSystem;
  decltype(&SDL_GetNumAudioDevices) GetNumAudioDevices;
  decltype(&SDL_GetAudioDeviceName) GetAudioDeviceName;
  decltype(&SDL_OpenAudioDevice) OpenAudioDevice;
  decltype(&SDL_PauseAudioDevice) PauseAudioDevice;
  decltype(&SDL_CloseAudioDevice) CloseAudioDevice;
  decltype(&SDL_NewAudioStream) NewAudioStream;
  decltype(&SDL_AudioStreamPut) AudioStreamPut;
  decltype(&SDL_AudioStreamGet) AudioStreamGet;
  decltype(&SDL_AudioStreamAvailable) AudioStreamAvailable;
  decltype(&SDL_AudioStreamFlush) AudioStreamFlush;
  decltype(&SDL_AudioStreamClear) AudioStreamClear;
  decltype(&SDL_FreeAudioStream) FreeAudioStream;

  // The library, loaded on the first call (from any thread) and kept for the life of the
  // process; nullptr when it is missing, lacks a function, or is older than the version built
  // against, with the reason in `*why`.
  static const SdlLibrary* Get(std::string* why = nullptr);
  // Whether an earlier Get() has loaded it. Never loads it.
  static bool Loaded();
};

}  // namespace quillet::audio
