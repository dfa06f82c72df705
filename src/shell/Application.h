// Program start: the application object, the engine, the shared state and the four windows,
// created in their order; then the message loop.
#pragma once

namespace quillet {

int RunApplication(int argc, char** argv);

}  // namespace quillet
