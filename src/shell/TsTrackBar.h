// The horizontal track bar of the main window (seek bar and volume bar).
//
// It tells the user's changes from the program's: a change made from code raises OnChange only
// when the position really changes and never OnUserChange; every step the user makes (a drag
// step, a page step of a channel click and each of its repeats, the release that ends a click or
// drag, a key step) raises OnChange and then OnUserChange, also when the position did not move.
// The bar handles a press before it raises OnMouseDown and a release before OnMouseUp. A click
// on the channel beside the thumb pages towards the pointer and repeats while the button is held;
// the thumb never jumps to the pointer.
#pragma once

#include <QBasicTimer>
#include <QSlider>

namespace quillet {

class TsTrackBar : public QSlider {
  Q_OBJECT

 public:
  explicit TsTrackBar(QWidget* parent = nullptr);

  int Min() const { return minimum(); }
  int Max() const { return maximum(); }
  int Position() const { return value(); }
  // From code: clamped into Min..Max; OnChange only when the position changes.
  void SetPosition(int position);
  // A new Min above Max or a new Max below Min is ignored; the position is clamped into the new
  // range, raising OnChange when that moves it.
  void SetMin(int min);
  void SetMax(int max);

  int PageSize() const { return pageStep(); }
  void SetPageSize(int size) { setPageStep(size); }
  int LineSize() const { return singleStep(); }
  void SetLineSize(int size) { setSingleStep(size); }
  int ThumbLength() const { return thumbLength_; }
  void SetThumbLength(int length);

  // Name of the skin section the bar would use under a skin; no skin is ever loaded.
  QString SkinSection = QStringLiteral("TRACKBAR");

  // Where the thumb stands, in the bar's coordinates.
  QRect ThumbRect() const;
  // The delays of the channel-click repeat, in milliseconds.
  static constexpr int kRepeatDelay = 500;
  static constexpr int kRepeatInterval = 100;
  // One repeat step of a held channel click (the repeat timer calls it; public for tests).
  void PageRepeat();
  bool Paging() const { return paging_; }
  bool Dragging() const { return dragging_; }

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 signals:
  void OnChange();
  void OnUserChange();
  void OnEnter();
  void OnMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
  void OnMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void timerEvent(QTimerEvent* event) override;

 private:
  void OnActionTriggered(int action);
  void OnValueChanged(int value);
  // Runs one user action; raises OnChange and OnUserChange even when the position stays.
  void UserAction(SliderAction action);
  void UserStepUnchanged();
  int ThumbWidth() const;
  int ValueAtThumbLeft(int thumbLeft) const;
  // +1 when x lies right of the thumb, -1 left of it, 0 on it.
  int PageDirectionAt(int x) const;

  int thumbLength_ = 23;
  bool userStep_ = false;  // set by actionTriggered, taken by valueChanged or after the action
  bool dragging_ = false;
  bool paging_ = false;
  int pageDirection_ = 0;
  int pointerX_ = 0;
  int clickOffset_ = 0;
  QBasicTimer repeatTimer_;
};

}  // namespace quillet
