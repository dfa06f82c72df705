// The program: Quillet's windows over the engine on the system's sound output.
#include "audio/AudioEngine.h"
#include "common/StartTrace.h"
#include "shell/Application.h"

int main(int argc, char** argv) {
  int code = 0;
  {
    quillet::audio::AudioEngine engine;
    code = quillet::RunApplication(argc, argv, engine);
    quillet::StartMark("application freed");
  }
  quillet::StartMark("engine freed");
  return code;
}
