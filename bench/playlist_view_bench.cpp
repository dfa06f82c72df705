// How the playlist view copes with a long list: appending 10,000 rows, and drawing the view at
// scroll positions spread over the whole list (one frame each), with the Kai font and GBK bytes
// decoded as they are drawn. Frames per second and the worst frame.
//
//   playlist_view_bench [--rows N] [--frames F]
#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QScrollBar>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "shell/Look.h"
#include "shell/PlaylistView.h"

using Clock = std::chrono::steady_clock;

namespace {

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

quillet::PlaylistRow Row(int i) {
  // "歌曲" and "歌手" in GBK, as tags and file names of the target systems hold them.
  const std::string song = "\xB8\xE8\xC7\xFA" + std::to_string(i) + ".mp3";
  return {song, "\xB8\xE8\xCA\xD6 " + std::to_string(i % 97), "Album " + std::to_string(i % 13),
          "03:" + std::to_string(10 + i % 50), "/music/collection/" + song};
}

}  // namespace

int main(int argc, char** argv) {
  int rows = 10000;
  int frames = 400;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--rows") == 0) rows = std::atoi(argv[++i]);
    if (std::strcmp(argv[i], "--frames") == 0) frames = std::atoi(argv[++i]);
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);

  quillet::TrackList list(nullptr);
  quillet::PlaylistModel model(list);
  quillet::TListView view;
  view.setFont(quillet::KaiFont(12));
  view.setModel(&model);
  view.resize(580, 152);
  for (int c = 0; c < quillet::PlaylistModel::kColumns; ++c) {
    view.header()->resizeSection(c, quillet::PlaylistModel::Columns()[c].width);
  }
  view.show();
  QApplication::processEvents();

  std::vector<quillet::PlaylistRow> batch;
  batch.reserve(static_cast<std::size_t>(rows));
  for (int i = 0; i < rows; ++i) batch.push_back(Row(i));
  auto t0 = Clock::now();
  for (auto& r : batch) list.Append(std::move(r));  // one row at a time, as files are added
  QApplication::processEvents();
  const double appendMs = Ms(Clock::now() - t0);

  QImage frame(view.viewport()->size(), QImage::Format_RGB32);
  QScrollBar* bar = view.verticalScrollBar();
  std::vector<double> times;
  times.reserve(static_cast<std::size_t>(frames));
  for (int f = 0; f < frames; ++f) {
    // Sweeps down and back up, a few rows per frame plus jumps, as a dragged scroll thumb does.
    const int value = static_cast<int>(static_cast<long long>(bar->maximum()) *
                                       ((f * 37) % frames) / std::max(1, frames - 1));
    auto s = Clock::now();
    bar->setValue(value);
    view.viewport()->render(&frame);
    times.push_back(Ms(Clock::now() - s));
  }
  std::sort(times.begin(), times.end());
  double total = 0;
  for (double t : times) total += t;
  std::printf("rows %d: append %.1f ms (%.2f us/row)\n", rows, appendMs, 1000.0 * appendMs / rows);
  std::printf("frames %d: mean %.3f ms, median %.3f ms, p99 %.3f ms, worst %.3f ms (%.0f fps)\n",
              frames, total / frames, times[times.size() / 2],
              times[std::min(times.size() - 1, times.size() * 99 / 100)], times.back(),
              1000.0 * frames / total);
  return 0;
}
