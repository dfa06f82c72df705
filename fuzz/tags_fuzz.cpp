// Tags of any content through TagLib's in-memory stream into the tag reader (the first byte picks
// the container), and the same bytes through the legacy decoder and the row text cut: no crash,
// no hang, and every result holds its bounds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "playlist/LegacyText.h"
#include "playlist/RowText.h"
#include "playlist/TagReader.h"

namespace {

void CheckRowText(const std::string& utf8) {
  for (auto encoding : {quillet::RowEncoding::kUtf8, quillet::RowEncoding::kGb18030}) {
    const std::string row = quillet::RowTextFromUtf8(utf8, 30, encoding);
    if (row.size() > 30) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  using quillet::TagContainer;
  static constexpr TagContainer kContainers[] = {
      TagContainer::kDetect,  TagContainer::kMpeg,    TagContainer::kFlac, TagContainer::kOggVorbis,
      TagContainer::kOggOpus, TagContainer::kOggFlac, TagContainer::kWave};
  const TagContainer container = kContainers[data[0] % 7];
  const auto encoding = static_cast<quillet::LegacyEncoding>(data[0] / 7 % 4);
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

  const quillet::EmbeddedTags tags =
      quillet::ReadEmbeddedTagsFromBytes(bytes, container, encoding, quillet::kTagAll);
  if (tags.cover.Empty() != tags.cover.extension.empty()) std::abort();
  CheckRowText(tags.texts.title);
  CheckRowText(tags.texts.artist);

  // The bytes as the texts of one tag, split at NULs.
  std::vector<std::string_view> texts;
  std::size_t at = 0;
  while (at <= bytes.size() && texts.size() < 8) {
    const std::size_t nul = bytes.find('\0', at);
    texts.push_back(bytes.substr(at, nul == std::string_view::npos ? nul : nul - at));
    if (nul == std::string_view::npos) break;
    at = nul + 1;
  }
  const std::vector<std::string> decoded = quillet::DecodeLegacyTexts(texts, encoding);
  if (decoded.size() != texts.size()) std::abort();
  for (const std::string& text : decoded) CheckRowText(text);
  return 0;
}
