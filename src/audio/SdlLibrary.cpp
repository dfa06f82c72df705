#include "audio/SdlLibrary.h"

#include <atomic>

#include "audio/RuntimeLibrary.h"

namespace quillet::audio {

namespace {

std::atomic<bool> g_loaded{false};

struct Bound {
  SdlLibrary api{};
  RuntimeLibrary lib{"libSDL2-2.0.so.0"};
};

std::string VersionText(const SDL_version& v) {
  return std::to_string(v.major) + "." + std::to_string(v.minor) + "." + std::to_string(v.patch);
}

void Load(Bound& b) {
  SdlLibrary& a = b.api;
  RuntimeLibrary& l = b.lib;
  l.Bind("SDL_GetVersion", &a.GetVersion);
  l.Bind("SDL_SetHint", &a.SetHint);
  l.Bind("SDL_InitSubSystem", &a.InitSubSystem);
  l.Bind("SDL_QuitSubSystem", &a.QuitSubSystem);
  l.Bind("SDL_GetNumAudioDevices", &a.GetNumAudioDevices);
  l.Bind("SDL_GetAudioDeviceName", &a.GetAudioDeviceName);
  l.Bind("SDL_OpenAudioDevice", &a.OpenAudioDevice);
  l.Bind("SDL_PauseAudioDevice", &a.PauseAudioDevice);
  l.Bind("SDL_CloseAudioDevice", &a.CloseAudioDevice);
  l.Bind("SDL_NewAudioStream", &a.NewAudioStream);
  l.Bind("SDL_AudioStreamPut", &a.AudioStreamPut);
  l.Bind("SDL_AudioStreamGet", &a.AudioStreamGet);
  l.Bind("SDL_AudioStreamAvailable", &a.AudioStreamAvailable);
  l.Bind("SDL_AudioStreamFlush", &a.AudioStreamFlush);
  l.Bind("SDL_AudioStreamClear", &a.AudioStreamClear);
  l.Bind("SDL_FreeAudioStream", &a.FreeAudioStream);
  if (!l.ok()) return;
  SDL_version built;
  SDL_VERSION(&built);
  SDL_version loaded;
  a.GetVersion(&loaded);
  if (SDL_VERSIONNUM(loaded.major, loaded.minor, loaded.patch) <
      SDL_VERSIONNUM(built.major, built.minor, built.patch))
    l.Refuse("SDL2 " + VersionText(loaded) + " is older than " + VersionText(built));
}

}  // namespace

const SdlLibrary* SdlLibrary::Get(std::string* why) {
  static Bound* const bound = [] {
    auto* b = new Bound;  // kept for the life of the process, as the library is
    Load(*b);
    g_loaded.store(b->lib.ok(), std::memory_order_release);
    return b;
  }();
  if (!bound->lib.ok() && why) *why = bound->lib.why();
  return bound->lib.ok() ? &bound->api : nullptr;
}

bool SdlLibrary::Loaded() { return g_loaded.load(std::memory_order_acquire); }

}  // namespace quillet::audio
