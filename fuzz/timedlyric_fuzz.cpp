// The timed lyric reader and the [offset:] writer over any bytes: lines come out sorted and
// grouped as promised, the lookup agrees with a plain scan, display texts are valid UTF-8, and
// the written file reads back with the offset set, and nothing but the tag changed.
#include <fuzzer/FuzzedDataProvider.h>

#include <QStringDecoder>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "lyrics/LyricEditText.h"
#include "lyrics/LyricOffset.h"
#include "lyrics/Lyrics.h"
#include "lyrics/TimedLyric.h"

namespace {

bool QtUtf8(const std::string& s) {
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  // The decoder works only when its result is taken.
  const QString text = utf8.decode(QByteArrayView(s.data(), static_cast<qsizetype>(s.size())));
  return !utf8.hasError();
}

void MustBeUtf8(const std::string& s) {
  if (!QtUtf8(s)) std::abort();
}

void CheckModel(const quillet::TimedLyric& lyric, std::int64_t probe) {
  std::size_t covered = 0;
  for (std::size_t g = 0; g < lyric.groups.size(); ++g) {
    const quillet::LyricGroup& group = lyric.groups[g];
    if (group.first != covered || group.count == 0) std::abort();
    if (group.originals < 1 || group.originals > group.count) std::abort();
    if (g > 0 && lyric.groups[g - 1].stampMs >= group.stampMs) std::abort();
    for (std::size_t i = group.first; i < group.first + group.count; ++i) {
      const quillet::TimedLine& line = lyric.lines[i];
      if (line.stampMs < group.stampMs || line.stampMs > group.stampMs + 10) std::abort();
      if (line.text.empty() != group.empty) std::abort();
    }
    covered += group.count;
    const quillet::LyricGroupText text = quillet::GroupText(lyric, static_cast<int>(g));
    MustBeUtf8(text.original);
    MustBeUtf8(text.translation);
  }
  if (covered != lyric.lines.size()) std::abort();

  // The binary search against a scan.
  int scan = -1;
  for (std::size_t g = 0; g < lyric.groups.size(); ++g) {
    if (lyric.groups[g].stampMs <= probe) scan = static_cast<int>(g);
  }
  const quillet::LyricPosition pos = quillet::FindLyricGroup(lyric, probe, 0, 0);
  if (pos.group != scan) std::abort();
  if (pos.nextChangeMs != quillet::kNoLyricChange && pos.nextChangeMs <= probe) std::abort();
  MustBeUtf8(quillet::LyricPlainText(lyric));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const std::int64_t probe = in.ConsumeIntegralInRange<std::int64_t>(-1000000, 100000000);
  const std::int64_t offset = in.ConsumeIntegralInRange<std::int64_t>(-100000, 100000);
  const std::string bytes = in.ConsumeRemainingBytesAsString();

  const quillet::TimedLyric lyric = quillet::ParseTimedLyricBytes(bytes);
  CheckModel(lyric, probe);
  // The reader's own UTF-8 check says what Qt's decoder says.
  bool allUtf8 = true;
  for (const std::string& line : quillet::SplitLyricLines(quillet::LyricTextBytes(bytes)))
    allUtf8 = allUtf8 && QtUtf8(line);
  if (allUtf8 != lyric.utf8) std::abort();

  const std::string written = quillet::SetLyricOffsetBytes(bytes, offset);
  const quillet::TimedLyric reread = quillet::ParseTimedLyricBytes(written);
  if (reread.offsetMs != offset) std::abort();
  // The same lines, timed the same way.
  if (reread.lines.size() != lyric.lines.size()) std::abort();
  for (std::size_t i = 0; i < lyric.lines.size(); ++i) {
    const quillet::TimedLine& a = lyric.lines[i];
    const quillet::TimedLine& b = reread.lines[i];
    if (a.stampMs != b.stampMs || a.text != b.text || a.words != b.words) std::abort();
  }
  // Setting it again changes nothing more.
  if (quillet::SetLyricOffsetBytes(written, offset) != written) std::abort();
  if (quillet::LyricOffsetOf(quillet::SplitLyricLines(quillet::LyricTextBytes(written))) != offset)
    std::abort();
  return 0;
}
