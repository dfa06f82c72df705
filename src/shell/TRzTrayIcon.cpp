#include "shell/TRzTrayIcon.h"

#include <QCursor>
#include <QMenu>

#include "app/DisplayText.h"

namespace quillet {

TRzTrayIcon::TRzTrayIcon(QObject* owner) : QObject(owner), tray_(new QSystemTrayIcon(this)) {
  setObjectName(QStringLiteral("TRzTrayIcon"));
  connect(tray_, &QSystemTrayIcon::activated, this, &TRzTrayIcon::OnActivated);
}

TRzTrayIcon::~TRzTrayIcon() { tray_->hide(); }

void TRzTrayIcon::SetHint(const std::string& hint) {
  if (hint == hint_) return;
  hint_ = hint;
  tray_->setToolTip(DisplayText(std::string_view(hint_).substr(0, kHintCapacity)));
}

void TRzTrayIcon::SetEnabled(bool enabled) {
  if (!enabled) {
    tray_->hide();
    enabled_ = false;
    return;
  }
  enabled_ = QSystemTrayIcon::isSystemTrayAvailable();
  if (enabled_) tray_->show();
}

void TRzTrayIcon::SetIcon(const QIcon& icon) { tray_->setIcon(icon); }

void TRzTrayIcon::ShowMenu() {
  if (PopupMenu == nullptr) return;
  const QPoint at = QCursor::pos();
  PopupMenu->popup(at - QPoint(PopupMenu->sizeHint().width(), 0));
}

void TRzTrayIcon::OnActivated(QSystemTrayIcon::ActivationReason reason) {
  switch (reason) {
    case QSystemTrayIcon::DoubleClick:
      emit OnLButtonDblClick();
      break;
    case QSystemTrayIcon::Context:
      if (PopupMenuOn == ticRightClickUp || PopupMenuOn == ticRightClick) ShowMenu();
      break;
    default:
      break;
  }
}

}  // namespace quillet
