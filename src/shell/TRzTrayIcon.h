// The notification-area icon of the main window, on QSystemTrayIcon: its tooltip (Hint), its
// menu, and the left double click the main window toggles its visibility with.
#pragma once

#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>
#include <string>

class QMenu;

namespace quillet {

enum TRzTrayIconClicks {
  ticNone = 0,
  ticLeftClick = 1,
  ticLeftDblClick = 2,
  ticLeftClickUp = 3,
  ticRightClick = 4,
  ticRightDblClick = 5,
  ticRightClickUp = 6,
};

class TRzTrayIcon : public QObject {
  Q_OBJECT

 public:
  explicit TRzTrayIcon(QObject* owner = nullptr);
  ~TRzTrayIcon() override;

  // Hint is kept as bytes; the tooltip shows it decoded, at most 127 bytes of it.
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& hint);
  static constexpr std::size_t kHintCapacity = 127;

  bool Enabled() const { return enabled_; }
  // Shows the icon (when the desktop has a notification area) or removes it. When the desktop
  // refuses it, Enabled reads false afterwards.
  void SetEnabled(bool enabled);

  void SetIcon(const QIcon& icon);
  QMenu* PopupMenu = nullptr;
  TRzTrayIconClicks PopupMenuOn = ticRightClickUp;
  TRzTrayIconClicks RestoreOn = ticLeftDblClick;
  bool HideOnMinimize = true;

  // Opens PopupMenu at the pointer, its right edge there (public for the tray's own use).
  void ShowMenu();
  QSystemTrayIcon* Platform() const { return tray_; }

 signals:
  void OnLButtonDblClick();

 private:
  void OnActivated(QSystemTrayIcon::ActivationReason reason);

  QSystemTrayIcon* tray_;
  std::string hint_;
  bool enabled_ = false;
};

}  // namespace quillet
