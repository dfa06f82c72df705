// The program: Quillet's windows over the engine on the system's sound output.
#include "audio/AudioEngine.h"
#include "shell/Application.h"

int main(int argc, char** argv) {
  quillet::audio::AudioEngine engine;
  return quillet::RunApplication(argc, argv, engine);
}
