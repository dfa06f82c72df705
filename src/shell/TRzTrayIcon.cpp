#include "shell/TRzTrayIcon.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QMenu>
#include <QMetaMethod>
#include <QMouseEvent>
#include <QScreen>
#include <QStringDecoder>
#include <QTimer>
#include <QWidget>
#include <algorithm>

#include "common/DisplayText.h"

namespace quillet {

TRzTrayIconClicks TrayClickKind(int mouseCode) {
  switch (mouseCode) {
    case kTrayLButtonDown:
      return ticLeftClick;
    case kTrayLButtonUp:
      return ticLeftClickUp;
    case kTrayLButtonDblClk:
      return ticLeftDblClick;
    case kTrayRButtonDown:
      return ticRightClick;
    case kTrayRButtonUp:
      return ticRightClickUp;
    case kTrayRButtonDblClk:
      return ticRightDblClick;
    default:
      return ticNone;
  }
}

TrayClickSteps TrayStepsFor(TRzTrayIconClicks kind, TRzTrayIconClicks restoreOn,
                            TRzTrayIconClicks popupMenuOn) {
  TrayClickSteps steps;
  if (kind == ticNone) return steps;
  steps.restore = restoreOn == kind;
  steps.menu = popupMenuOn == kind;
  return steps;
}

namespace {

bool IsUtf8(std::string_view bytes) {
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  // The decoder works when its result is taken, not when it is asked.
  const QString text =
      utf8.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
  return !utf8.hasError();
}

bool IsUtf8Continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Length of the GBK/GB18030 character starting at `at`: 1 for a single byte, 2 for a lead byte
// and its trail, 4 for a four-byte sequence (a digit in the second byte).
std::size_t Gb18030Length(std::string_view bytes, std::size_t at) {
  const auto lead = static_cast<unsigned char>(bytes[at]);
  if (lead < 0x81 || lead > 0xFE || at + 1 >= bytes.size()) return 1;
  const auto second = static_cast<unsigned char>(bytes[at + 1]);
  return (second >= 0x30 && second <= 0x39) ? 4 : 2;
}

}  // namespace

std::string_view TrayTipBytes(std::string_view hint, std::size_t capacity) {
  if (hint.size() <= capacity) return hint;
  std::size_t end = 0;
  if (IsUtf8(hint)) {
    end = capacity;
    while (end > 0 && IsUtf8Continuation(hint[end])) --end;
  } else {
    while (end < hint.size()) {
      const std::size_t next = end + Gb18030Length(hint, end);
      if (next > capacity) break;
      end = next;
    }
  }
  return hint.substr(0, end);
}

TRzTrayIcon::TRzTrayIcon(QObject* owner)
    : QObject(owner), TrayWatch(new QTimer(this)), tray_(new QSystemTrayIcon(this)) {
  setObjectName(QStringLiteral("TRzTrayIcon"));
  TrayWatch->setObjectName(QStringLiteral("TrayWatch"));
  TrayWatch->setInterval(kTrayWatchInterval);
  connect(TrayWatch, &QTimer::timeout, this, [this] { TrayWatchTimer(); });
  connect(tray_, &QSystemTrayIcon::activated, this, &TRzTrayIcon::OnActivated);
  // Mouse actions on the icon's own window, the owner's minimising and the end of the session
  // all arrive as application events.
  if (QCoreApplication::instance() != nullptr) {
    QCoreApplication::instance()->installEventFilter(this);
  }
}

TRzTrayIcon::~TRzTrayIcon() {
  TrayWatch->stop();
  tray_->hide();
}

void TRzTrayIcon::SetHint(const std::string& hint) {
  if (hint == hint_) return;
  hint_ = hint;
  const std::string_view tip = TrayTipBytes(hint_, kHintCapacity);
  tray_->setToolTip(tip.empty() ? QString() : DisplayText(tip));
}

void TRzTrayIcon::SetPresent(bool present) {
  if (present == enabled_) return;
  enabled_ = present;
  emit EnabledChanged(enabled_);
}

void TRzTrayIcon::SetEnabled(bool enabled) {
  wanted_ = enabled;
  if (!enabled) {
    TrayWatch->stop();
    tray_->hide();
    SetPresent(false);
    return;
  }
  TrayWatch->start();
  if (TrayAvailable()) {
    tray_->show();
    SetPresent(true);
  } else {
    SetPresent(false);
  }
}

void TRzTrayIcon::TrayWatchTimer() {
  if (!wanted_) return;
  const bool available = TrayAvailable();
  if (available && !enabled_) {
    // A notification area appeared, or came back after a restart: add the icon again with its
    // current picture and tooltip.
    tray_->hide();
    tray_->show();
    SetPresent(true);
  } else if (!available && enabled_) {
    SetPresent(false);
  }
}

void TRzTrayIcon::SetIcon(const QIcon& icon) { tray_->setIcon(icon); }

QWidget* TRzTrayIcon::OwnerWindow() const {
  auto* w = qobject_cast<QWidget*>(parent());
  return w != nullptr ? w->window() : nullptr;
}

bool TRzTrayIcon::IsIconWindow(const QObject* o) const {
  if (o == nullptr || !o->isWidgetType() || !o->inherits("QSystemTrayIconSys")) return false;
  const auto* w = static_cast<const QWidget*>(o);
  const QRect at = tray_->geometry();
  return at.isValid() && QRect(w->mapToGlobal(QPoint(0, 0)), w->size()) == at;
}

QWidget* TRzTrayIcon::IconWindow() const {
  if (!tray_->isVisible()) return nullptr;
  const QWidgetList windows = QApplication::topLevelWidgets();
  const auto it = std::find_if(windows.begin(), windows.end(),
                               [this](const QWidget* w) { return IsIconWindow(w); });
  return it != windows.end() ? *it : nullptr;
}

void TRzTrayIcon::IconNotify(int mouseCode) {
  const TRzTrayIconClicks kind = TrayClickKind(mouseCode);
  if (kind == ticNone) return;
  const TrayClickSteps steps = TrayStepsFor(kind, RestoreOn, PopupMenuOn);
  if (steps.restore) RestoreApp();
  if (steps.menu) ShowMenu();
  switch (mouseCode) {
    case kTrayLButtonDown:
      emit OnLButtonDown();
      break;
    case kTrayLButtonUp:
      emit OnLButtonUp();
      break;
    case kTrayLButtonDblClk:
      emit OnLButtonDblClick();
      break;
    case kTrayRButtonDown:
      emit OnRButtonDown();
      break;
    case kTrayRButtonUp:
      emit OnRButtonUp();
      break;
    case kTrayRButtonDblClk:
      emit OnRButtonDblClick();
      break;
    default:
      break;
  }
}

void TRzTrayIcon::ShowMenu() {
  if (PopupMenu == nullptr) return;
  const QPoint at = QCursor::pos();
  connect(PopupMenu, &QMenu::aboutToHide, this, &TRzTrayIcon::MenuClosed, Qt::UniqueConnection);
  menuShowing_ = true;
  PopupMenu->popup(at - QPoint(PopupMenu->sizeHint().width(), 0));
  if (!PopupMenu->isVisible()) {
    menuShowing_ = false;
    return;
  }
  // Opening runs the menu's own handler, which may retitle items and so change the width: keep
  // the right edge at the pointer, as long as the menu stays on the screen.
  int x = at.x() - PopupMenu->width();
  if (const QScreen* s = PopupMenu->screen()) x = std::max(x, s->availableGeometry().left());
  if (x != PopupMenu->x()) PopupMenu->move(x, PopupMenu->y());
}

void TRzTrayIcon::MenuClosed() { menuShowing_ = false; }

void TRzTrayIcon::RestoreApp() {
  if (menuShowing_ || restoring_) return;
  restoring_ = true;
  if (QWidget* w = OwnerWindow()) {
    w->showNormal();
    if (enabled_) {
      w->raise();
      w->activateWindow();
    }
  }
  emit OnRestoreApp();
  restoring_ = false;
}

void TRzTrayIcon::OnActivated(QSystemTrayIcon::ActivationReason reason) {
  // Desktops that report whole clicks rather than button presses and releases.
  switch (reason) {
    case QSystemTrayIcon::Trigger:
      IconNotify(kTrayLButtonDown);
      IconNotify(kTrayLButtonUp);
      break;
    case QSystemTrayIcon::DoubleClick:
      IconNotify(kTrayLButtonDblClk);
      break;
    case QSystemTrayIcon::Context:
      IconNotify(kTrayRButtonDown);
      IconNotify(kTrayRButtonUp);
      break;
    default:
      break;
  }
}

namespace {

int MouseCode(const QEvent* event) {
  const auto* me = static_cast<const QMouseEvent*>(event);
  const bool left = me->button() == Qt::LeftButton;
  const bool right = me->button() == Qt::RightButton;
  switch (event->type()) {
    case QEvent::MouseButtonPress:
      return left ? kTrayLButtonDown : right ? kTrayRButtonDown : 0;
    case QEvent::MouseButtonRelease:
      return left ? kTrayLButtonUp : right ? kTrayRButtonUp : 0;
    case QEvent::MouseButtonDblClick:
      return left ? kTrayLButtonDblClk : right ? kTrayRButtonDblClk : 0;
    default:
      return 0;
  }
}

}  // namespace

bool TRzTrayIcon::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick: {
      if (!IsIconWindow(watched)) return false;
      // Taken here with presses and releases told apart; the platform's own handling (which
      // knows only whole clicks) is left out.
      const int code = MouseCode(event);
      if (code != 0) IconNotify(code);
      return true;
    }
    case QEvent::WindowStateChange: {
      QWidget* owner = OwnerWindow();
      const auto* change = static_cast<const QWindowStateChangeEvent*>(event);
      if (watched == owner && owner->isMinimized() && !(change->oldState() & Qt::WindowMinimized)) {
        // After the event: showMinimized() shows the window once its state is set.
        if (enabled_ && HideOnMinimize) {
          QTimer::singleShot(0, owner, [this, owner] {
            if (owner->isMinimized() && enabled_ && HideOnMinimize) owner->hide();
          });
        }
        emit OnMinimizeApp();
      }
      return false;
    }
    case QEvent::Quit: {
      if (watched != QCoreApplication::instance() || endingSession_) return false;
      if (!isSignalConnected(QMetaMethod::fromSignal(&TRzTrayIcon::OnEndSession))) return false;
      endingSession_ = true;
      emit OnEndSession();
      endingSession_ = false;
      wanted_ = false;
      TrayWatch->stop();
      tray_->hide();
      SetPresent(false);
      return true;
    }
    default:
      return false;
  }
}

}  // namespace quillet
