#include "app/FileIo.h"

namespace quillet {

IoResult ReadWholeFile(const std::string&, std::string*) { return {false, "not implemented"}; }
IoResult WriteFileAtomic(const std::string&, const std::string&) {
  return {false, "not implemented"};
}
bool PathExists(const std::string&) { return false; }
bool IsDirectory(const std::string&) { return false; }
bool IsRegularFile(const std::string&) { return false; }
std::string CurrentDirectory() { return {}; }

}  // namespace quillet
