// The tag reader proper lives in a module of its own (quillet-tags.so, over TagLib), loaded the
// first time a tag is read: TagLib and its relocations cost the start of the program a few
// milliseconds and most of a megabyte that only tags need. This is the contract between the
// module and the functions of TagReader.h that load it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "playlist/TagReader.h"

namespace quillet {

// Raised whenever the table below or the types it carries change; a module of another version
// is refused.
inline constexpr int kTagModuleVersion = 1;

struct TagModule {
  int version;
  EmbeddedTags (*readFile)(const std::string& path, LegacyEncoding encoding, unsigned parts);
  EmbeddedTags (*readBytes)(std::string_view bytes, TagContainer container, LegacyEncoding encoding,
                            unsigned parts);
};

// Where the audio starts after an ID3v2 tag at the head of a file; 0 when there is none.
std::size_t Id3v2TagEnd(std::string_view head);
// The container that a file's first bytes and the 4 bytes after its ID3v2 tag announce.
TagContainer DetectTagContainer(std::string_view head, std::string_view afterId3);

}  // namespace quillet

// The module's one entry; C linkage so that it is found by name.
extern "C" const quillet::TagModule* quillet_tag_module();
