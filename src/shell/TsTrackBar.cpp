#include "shell/TsTrackBar.h"

#include <qdrawutil.h>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QTimerEvent>
#include <QWheelEvent>
#include <algorithm>
#include <utility>

namespace quillet {

TsTrackBar::TsTrackBar(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
  setRange(0, 10);
  setSingleStep(1);
  setPageStep(2);
  setTracking(true);
  setTickPosition(QSlider::NoTicks);
  setFocusPolicy(Qt::StrongFocus);
  connect(this, &QAbstractSlider::actionTriggered, this, &TsTrackBar::OnActionTriggered);
  connect(this, &QAbstractSlider::valueChanged, this, &TsTrackBar::OnValueChanged);
}

void TsTrackBar::SetPosition(int position) {
  const int clamped = std::clamp(position, minimum(), maximum());
  if (clamped == value()) return;
  userStep_ = false;
  setValue(clamped);
}

void TsTrackBar::SetMin(int min) {
  if (min > maximum()) return;
  userStep_ = false;
  setMinimum(min);
}

void TsTrackBar::SetMax(int max) {
  if (max < minimum()) return;
  userStep_ = false;
  setMaximum(max);
}

void TsTrackBar::SetThumbLength(int length) {
  if (length < 1) length = 1;
  if (length == thumbLength_) return;
  thumbLength_ = length;
  update();
}

void TsTrackBar::OnActionTriggered(int) { userStep_ = true; }

void TsTrackBar::OnValueChanged(int) {
  const bool user = std::exchange(userStep_, false);
  emit OnChange();
  if (user) emit OnUserChange();
}

void TsTrackBar::UserStepUnchanged() {
  // The action was the user's but left the position where it was: it is still a step.
  if (!std::exchange(userStep_, false)) return;
  emit OnChange();
  emit OnUserChange();
}

void TsTrackBar::UserAction(SliderAction action) {
  triggerAction(action);
  UserStepUnchanged();
}

int TsTrackBar::ThumbWidth() const { return std::max(3, (thumbLength_ / 2) | 1); }

QRect TsTrackBar::ThumbRect() const {
  const int tw = ThumbWidth();
  const int span = std::max(0, width() - 2 - tw);
  const int left =
      1 + QStyle::sliderPositionFromValue(minimum(), maximum(), sliderPosition(), span);
  const int th = std::min(thumbLength_, std::max(1, height()));
  const int top = (height() - th) / 2;
  return QRect(left, top, tw, th);
}

int TsTrackBar::ValueAtThumbLeft(int thumbLeft) const {
  const int span = std::max(0, width() - 2 - ThumbWidth());
  return QStyle::sliderValueFromPosition(minimum(), maximum(), thumbLeft - 1, span);
}

int TsTrackBar::PageDirectionAt(int x) const {
  const QRect thumb = ThumbRect();
  if (x < thumb.left()) return -1;
  if (x > thumb.right()) return 1;
  return 0;
}

void TsTrackBar::mousePressEvent(QMouseEvent* event) {
  event->accept();
  const QPoint pos = event->position().toPoint();
  if (event->button() == Qt::LeftButton && !dragging_ && !paging_) {
    const QRect thumb = ThumbRect();
    if (thumb.contains(pos)) {
      dragging_ = true;
      clickOffset_ = pos.x() - thumb.left();
      setSliderDown(true);
      update();
    } else {
      paging_ = true;
      pointerX_ = pos.x();
      pageDirection_ = PageDirectionAt(pos.x());
      if (pageDirection_ == 0) pageDirection_ = pos.x() < thumb.center().x() ? -1 : 1;
      UserAction(pageDirection_ > 0 ? SliderPageStepAdd : SliderPageStepSub);
      repeatTimer_.start(kRepeatDelay, this);
    }
  }
  emit OnMouseDown(event->button(), event->modifiers(), pos.x(), pos.y());
}

void TsTrackBar::mouseMoveEvent(QMouseEvent* event) {
  event->accept();
  const QPoint pos = event->position().toPoint();
  if (dragging_) {
    setSliderPosition(ValueAtThumbLeft(pos.x() - clickOffset_));
    UserStepUnchanged();
  } else if (paging_) {
    pointerX_ = pos.x();
  }
}

void TsTrackBar::mouseReleaseEvent(QMouseEvent* event) {
  event->accept();
  const QPoint pos = event->position().toPoint();
  if (event->button() == Qt::LeftButton && (dragging_ || paging_)) {
    repeatTimer_.stop();
    if (dragging_) {
      dragging_ = false;
      setSliderDown(false);
      update();
    }
    paging_ = false;
    // The notification that ends the interaction, whether or not the thumb moved.
    emit OnChange();
    emit OnUserChange();
  }
  emit OnMouseUp(event->button(), event->modifiers(), pos.x(), pos.y());
}

void TsTrackBar::timerEvent(QTimerEvent* event) {
  if (event->timerId() != repeatTimer_.timerId()) {
    QSlider::timerEvent(event);
    return;
  }
  repeatTimer_.start(kRepeatInterval, this);
  PageRepeat();
}

void TsTrackBar::PageRepeat() {
  if (!paging_) return;
  // Pages on only while the pointer still lies beyond the thumb in the first direction; once the
  // thumb has reached the pointer it stays there.
  if (PageDirectionAt(pointerX_) != pageDirection_) return;
  UserAction(pageDirection_ > 0 ? SliderPageStepAdd : SliderPageStepSub);
}

void TsTrackBar::keyPressEvent(QKeyEvent* event) {
  SliderAction action = SliderNoAction;
  switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Up:
      action = SliderSingleStepSub;
      break;
    case Qt::Key_Right:
    case Qt::Key_Down:
      action = SliderSingleStepAdd;
      break;
    case Qt::Key_PageUp:
      action = SliderPageStepSub;
      break;
    case Qt::Key_PageDown:
      action = SliderPageStepAdd;
      break;
    case Qt::Key_Home:
      action = SliderToMinimum;
      break;
    case Qt::Key_End:
      action = SliderToMaximum;
      break;
    default:
      event->ignore();
      return;
  }
  event->accept();
  UserAction(action);
}

void TsTrackBar::wheelEvent(QWheelEvent* event) {
  event->accept();
  // One line per notch; turning the wheel away from the user moves towards Min.
  static constexpr int kNotch = 120;
  const int steps = event->angleDelta().y() / kNotch;
  for (int i = 0; i < std::abs(steps); ++i) {
    UserAction(steps > 0 ? SliderSingleStepSub : SliderSingleStepAdd);
  }
}

void TsTrackBar::focusInEvent(QFocusEvent* event) {
  QSlider::focusInEvent(event);
  emit OnEnter();
}

void TsTrackBar::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QPalette& pal = palette();
  const int tw = ThumbWidth();
  const QRect channel(tw / 2 + 1, height() / 2 - 2, std::max(0, width() - tw - 2), 4);
  qDrawShadePanel(&p, channel, pal, true, 1, &pal.brush(QPalette::Base));
  qDrawWinButton(&p, ThumbRect(), pal, dragging_, &pal.brush(QPalette::Button));
}

QSize TsTrackBar::sizeHint() const { return QSize(150, 45); }

QSize TsTrackBar::minimumSizeHint() const { return QSize(ThumbWidth() + 4, 4); }

}  // namespace quillet
