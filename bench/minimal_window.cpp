// The yardstick of bench/startup_bench.py: the least a Qt Widgets window with a player's parts
// costs to put on screen. A list with a few rows, a label, a slider and a timer that moves them,
// shown, grabbed into OUT.png as soon as the event loop runs (as Quillet's screenshot hook does
// with QUILLET_SCREENSHOT_DELAY=0), then the program ends.
//
//   minimal_window OUT.png
#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: minimal_window OUT.png\n");
    return 2;
  }
  QApplication app(argc, argv);
  QWidget window;
  window.setWindowTitle(QStringLiteral("Minimal"));
  auto* list = new QListWidget(&window);
  for (int i = 1; i <= 5; ++i) list->addItem(QStringLiteral("Track %1").arg(i));
  auto* label = new QLabel(QStringLiteral("0:00"), &window);
  auto* slider = new QSlider(Qt::Horizontal, &window);
  slider->setRange(0, 100);
  auto* layout = new QVBoxLayout(&window);
  layout->addWidget(list);
  layout->addWidget(label);
  layout->addWidget(slider);
  QTimer tick;
  int seconds = 0;
  QObject::connect(&tick, &QTimer::timeout, &window, [&] {
    ++seconds;
    label->setText(QStringLiteral("0:%1").arg(seconds % 60, 2, 10, QLatin1Char('0')));
    slider->setValue(seconds % 101);
  });
  tick.start(150);
  window.resize(584, 298);
  window.show();
  const QString out = QString::fromLocal8Bit(argv[1]);
  QTimer::singleShot(0, &window, [&] { QCoreApplication::exit(window.grab().save(out) ? 0 : 1); });
  return app.exec();
}
