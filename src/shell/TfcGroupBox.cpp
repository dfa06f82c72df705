#include "shell/TfcGroupBox.h"

#include <QPainter>
#include <QPolygon>
#include <algorithm>

namespace quillet {

namespace {

// The height of the caption's text: the font's character height where it is given in pixels
// (as the windows give it), else the line height of the face.
int TextHeight(const QFont& font) {
  return font.pixelSize() > 0 ? font.pixelSize() : QFontMetrics(font).height();
}

}  // namespace

TfcGroupBox::TfcGroupBox(const QString& caption, QWidget* parent) : QGroupBox(caption, parent) {}

void TfcGroupBox::SetCaptionIndent(int indent) {
  indent = std::max(indent, kMinIndent);
  if (indent == captionIndent_) return;
  captionIndent_ = indent;
  update();
}

TfcGroupBox::Frame TfcGroupBox::FrameGeometry() const {
  const QFontMetrics fm(font());
  Frame f{};
  const QString caption = title();
  f.textHeight = caption.isEmpty() ? 2 : TextHeight(font());
  f.top = f.textHeight / 2 - 1;
  f.captionWidth = caption.isEmpty() ? 0 : fm.horizontalAdvance(caption);
  f.captionX = layoutDirection() == Qt::RightToLeft ? width() - f.captionWidth - captionIndent_
                                                    : captionIndent_;
  return f;
}

void TfcGroupBox::paintEvent(QPaintEvent*) {
  ++paintCount_;
  QPainter p(this);
  const QPalette& pal = palette();
  const Frame f = FrameGeometry();
  const int w = width();
  const int h = height();
  const int x = f.captionX;
  const int y = f.top;
  const int c = f.captionWidth;

  p.fillRect(QRect(QPoint(1, y + 1), QPoint(w - 2, h - 2)), pal.brush(QPalette::Window));

  p.setPen(pal.color(QPalette::Light));
  p.drawPolyline(QPolygon({QPoint(x - 3, y + 1), QPoint(1, y + 1), QPoint(1, h - 1),
                           QPoint(w - 1, h - 1), QPoint(w - 1, y + 1), QPoint(x + c + 1, y + 1)}));
  p.setPen(pal.color(QPalette::Mid));
  p.drawPolyline(QPolygon({QPoint(x - 3, y), QPoint(0, y), QPoint(0, h - 2), QPoint(w - 2, h - 2),
                           QPoint(w - 2, y), QPoint(x + c + 1, y)}));

  if (c > 0) {
    p.setPen(pal.color(QPalette::WindowText));
    p.setFont(font());
    p.drawText(QRect(x, 0, c, f.textHeight), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
               title());
  }
}

TGroupBox::TGroupBox(const QString& caption, QWidget* parent) : QGroupBox(caption, parent) {}

void TGroupBox::focusInEvent(QFocusEvent* event) { QWidget::focusInEvent(event); }

void TGroupBox::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QPalette& pal = palette();
  const QFontMetrics fm(font());
  const QString caption = title();
  const int t = caption.isEmpty() ? 2 : TextHeight(font());
  const int y = t / 2 - 1;
  const int w = width();
  const int h = height();
  p.setPen(pal.color(QPalette::Light));
  p.drawRect(QRect(QPoint(1, y + 1), QPoint(w - 1, h - 1)));
  p.setPen(pal.color(QPalette::Mid));
  p.drawRect(QRect(QPoint(0, y), QPoint(w - 2, h - 2)));
  if (caption.isEmpty()) return;
  const int c = fm.horizontalAdvance(caption);
  const QRect text(kCaptionX, 0, c, t);
  p.fillRect(text, pal.brush(QPalette::Window));
  p.setPen(pal.color(QPalette::WindowText));
  p.setFont(font());
  p.drawText(text, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, caption);
}

}  // namespace quillet
