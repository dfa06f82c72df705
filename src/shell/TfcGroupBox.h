// A group box whose caption starts at a chosen distance from the left edge. The frame's top edge
// stays open behind the caption, from 3 pixels before it to 1 pixel after it. The caption is the
// group box title, so assistive tools read it as they read any group box.
#pragma once

#include <QGroupBox>

namespace quillet {

class TfcGroupBox : public QGroupBox {
  Q_OBJECT

 public:
  explicit TfcGroupBox(const QString& caption = QString(), QWidget* parent = nullptr);

  static constexpr int kDefaultIndent = 8;
  static constexpr int kMinIndent = 3;

  int CaptionIndent() const { return captionIndent_; }
  // Stores the larger of the value and 3; repaints only when that changes the stored value.
  void SetCaptionIndent(int indent);

  // Geometry of the painting, for the box's present font, caption and size.
  struct Frame {
    int textHeight;  // T: the font's character height, 2 when the caption is empty
    int top;         // Y = T / 2 - 1
    int captionX;    // where the caption starts
    int captionWidth;
  };
  Frame FrameGeometry() const;

  int PaintCount() const { return paintCount_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int captionIndent_ = kDefaultIndent;
  int paintCount_ = 0;
};

// The ordinary group box of the windows: a closed etched frame whose top line runs through the
// middle of the caption, and the caption at 8 pixels on the face colour, hiding the line behind
// the text only.
class TGroupBox : public QGroupBox {
  Q_OBJECT

 public:
  static constexpr int kCaptionX = 8;
  explicit TGroupBox(const QString& caption = QString(), QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;
  // Given the focus by the program, the box keeps it instead of passing it to a child.
  void focusInEvent(QFocusEvent* event) override;
};

}  // namespace quillet
