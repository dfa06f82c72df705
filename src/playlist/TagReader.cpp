#include "playlist/TagReader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <string>

#include "playlist/TagModule.h"

namespace quillet {

namespace {

std::uint32_t SyncSafe(std::string_view b) {
  std::uint32_t n = 0;
  for (char c : b) n = (n << 7) | (static_cast<std::uint8_t>(c) & 0x7F);
  return n;
}

// The module, loaded once; null when it cannot be (said once on the error output). The program
// and the tests find it at ../lib/quillet/modules/ from their own folder, as installed and as
// built.
const TagModule* LoadTagModule() {
#if defined(QUILLET_TAGS_LINKED)
  return quillet_tag_module();
#else
  std::string path = QUILLET_TAG_MODULE;
  char self[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  if (n > 0) {
    const std::string exe(self, static_cast<std::size_t>(n));
    path = exe.substr(0, exe.rfind('/') + 1) + QUILLET_TAG_MODULE;
  }
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    std::fprintf(stderr, "quillet: tags are not read: %s\n", ::dlerror());
    return nullptr;
  }
  using Entry = const TagModule* (*)();
  const auto entry = reinterpret_cast<Entry>(::dlsym(handle, "quillet_tag_module"));
  const TagModule* module = entry != nullptr ? entry() : nullptr;
  if (module == nullptr || module->version != kTagModuleVersion) {
    std::fprintf(stderr, "quillet: tags are not read: %s is not this version's tag module\n",
                 path.c_str());
    return nullptr;
  }
  return module;
#endif
}

const TagModule* TheTagModule() {
  static const TagModule* const module = LoadTagModule();
  return module;
}

}  // namespace

TagContainer DetectTagContainer(std::string_view head, std::string_view afterId3) {
  if (head.substr(0, 4) == "fLaC" || afterId3.substr(0, 4) == "fLaC") return TagContainer::kFlac;
  if (head.size() >= 12 && head.substr(0, 4) == "RIFF" && head.substr(8, 4) == "WAVE")
    return TagContainer::kWave;
  if (head.size() >= 28 && head.substr(0, 4) == "OggS") {
    const std::size_t packet = 27 + static_cast<std::uint8_t>(head[26]);
    const std::string_view first = head.substr(std::min(packet, head.size()));
    if (first.substr(0, 7) == "\x01vorbis") return TagContainer::kOggVorbis;
    if (first.substr(0, 8) == "OpusHead") return TagContainer::kOggOpus;
    if (first.substr(0, 5) ==
        "\x7F"
        "FLAC")
      return TagContainer::kOggFlac;
  }
  return TagContainer::kMpeg;
}

std::size_t Id3v2TagEnd(std::string_view head) {
  if (head.size() < 10 || head.substr(0, 3) != "ID3") return 0;
  const bool footer = (static_cast<std::uint8_t>(head[5]) & 0x10) != 0;
  return 10 + SyncSafe(head.substr(6, 4)) + (footer ? 10 : 0);
}

std::string LrcStamp(long long ms) {
  if (ms < 0) ms = 0;
  char buf[40];
  std::snprintf(buf, sizeof buf, "[%02lld:%02lld.%02lld]", ms / 60000, ms / 1000 % 60,
                ms % 1000 / 10);
  return buf;
}

std::string TimedTextToLrc(const std::vector<TimedText>& entries) {
  bool breaks = false;
  for (const auto& e : entries)
    if (e.text.find_first_of("\r\n") != std::string::npos) breaks = true;
  std::string out;
  if (!breaks) {
    for (const auto& e : entries) out += LrcStamp(e.milliseconds) + e.text + "\n";
    return out;
  }
  bool open = false;
  long long start = 0;
  std::string line;
  auto close = [&] {
    if (open) out += LrcStamp(start) + line + "\n";
    open = false;
    line.clear();
  };
  for (const auto& e : entries) {
    std::string_view rest = e.text;
    bool first = true;
    while (true) {
      const std::size_t brk = rest.find_first_of("\r\n");
      const std::string_view piece = rest.substr(0, brk);
      if (!first) close();
      if (!piece.empty()) {
        if (!open) {
          open = true;
          start = e.milliseconds;
        }
        line.append(piece);
      }
      if (brk == std::string_view::npos) break;
      // "\r\n" is one break.
      const std::size_t skip = rest.substr(brk, 2) == "\r\n" ? 2 : 1;
      rest.remove_prefix(brk + skip);
      first = false;
    }
  }
  close();
  return out;
}

TagContainer DetectTagContainer(std::string_view head) {
  const std::size_t end = Id3v2TagEnd(head);
  return DetectTagContainer(head,
                            end > 0 && end < head.size() ? head.substr(end) : std::string_view());
}

EmbeddedTags ReadEmbeddedTags(const std::string& path, LegacyEncoding encoding, unsigned parts) {
  const TagModule* module = TheTagModule();
  return module != nullptr ? module->readFile(path, encoding, parts) : EmbeddedTags{};
}

EmbeddedTags ReadEmbeddedTagsFromBytes(std::string_view bytes, TagContainer container,
                                       LegacyEncoding encoding, unsigned parts) {
  const TagModule* module = TheTagModule();
  return module != nullptr ? module->readBytes(bytes, container, encoding, parts) : EmbeddedTags{};
}

}  // namespace quillet
