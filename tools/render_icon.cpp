// Build helper: renders the application icon's SVG as square PNGs for the hicolor icon theme.
// Usage: render_icon SOURCE.svg OUTPUT_DIR NAME SIZE... -> OUTPUT_DIR/SIZExSIZE/apps/NAME.png
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  const QStringList args = QCoreApplication::arguments();
  if (args.size() < 5) {
    std::fprintf(stderr, "usage: render_icon SOURCE.svg OUTPUT_DIR NAME SIZE...\n");
    return 2;
  }
  QSvgRenderer svg(args.at(1));
  if (!svg.isValid()) {
    std::fprintf(stderr, "render_icon: cannot read %s\n", qPrintable(args.at(1)));
    return 1;
  }
  for (qsizetype i = 4; i < args.size(); ++i) {
    bool ok = false;
    const int size = args.at(i).toInt(&ok);
    if (!ok || size <= 0) {
      std::fprintf(stderr, "render_icon: not a size: %s\n", qPrintable(args.at(i)));
      return 2;
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    svg.render(&painter);
    painter.end();
    const QString dir = QStringLiteral("%1/%2x%2/apps").arg(args.at(2)).arg(size);
    const QString file = QStringLiteral("%1/%2.png").arg(dir, args.at(3));
    if (!QDir().mkpath(dir) || !image.save(file, "PNG")) {
      std::fprintf(stderr, "render_icon: cannot write %s\n", qPrintable(file));
      return 1;
    }
  }
  return 0;
}
