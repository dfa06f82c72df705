// The lyric strip's lookup over any lines and key: never reads out of bounds, always yields
// text a widget can show (valid UTF-8), and an empty key never changes the strip.
#include <fuzzer/FuzzedDataProvider.h>

#include <QStringDecoder>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "lyrics/Lyrics.h"

namespace {

void MustBeUtf8(const std::string& s) {
  // Stateless: a sequence cut off at the end is an error too, not kept for a next call. The
  // decode runs only when its result is taken.
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  const QString text = utf8.decode(QByteArrayView(s.data(), static_cast<qsizetype>(s.size())));
  if (utf8.hasError() || (text.isEmpty() && !s.empty())) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const std::string key = in.ConsumeRandomLengthString(12);
  std::vector<std::string> lines;
  while (in.remaining_bytes() > 0 && lines.size() < 64)
    lines.push_back(in.ConsumeRandomLengthString(200));

  const std::string shown = quillet::ShowLyricText(lines, key);
  MustBeUtf8(shown);
  MustBeUtf8(quillet::ShowLyricText(lines, quillet::kHeaderInfoKey));
  if (!quillet::ShowLyricText(lines, "").empty()) std::abort();
  if (!lines.empty()) {
    MustBeUtf8(quillet::TrackInfoLine(lines[0], key, lines.back()));
  }
  return 0;
}
