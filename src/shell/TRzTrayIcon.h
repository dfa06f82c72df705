// The notification-area icon of the main window, on QSystemTrayIcon: its tooltip (Hint), the
// menu it opens, the click kinds that restore the program or open the menu, and the events it
// raises for each mouse action on the icon.
#pragma once

#include <QIcon>
#include <QObject>
#include <QSystemTrayIcon>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

class QMenu;
class QTimer;
class QWidget;

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

// The mouse actions the icon reports, by their message codes.
enum TrayMouseCode : int {
  kTrayLButtonDown = 513,
  kTrayLButtonUp = 514,
  kTrayLButtonDblClk = 515,
  kTrayRButtonDown = 516,
  kTrayRButtonUp = 517,
  kTrayRButtonDblClk = 518,
};

// The click kind of a mouse action code; ticNone for any other code.
TRzTrayIconClicks TrayClickKind(int mouseCode);

// What a click of one kind does before its event is raised, in this order: restore, then menu.
struct TrayClickSteps {
  bool restore = false;
  bool menu = false;
};
TrayClickSteps TrayStepsFor(TRzTrayIconClicks kind, TRzTrayIconClicks restoreOn,
                            TRzTrayIconClicks popupMenuOn);

// The tooltip's bytes: the hint cut to at most `capacity` bytes. A character the cut would split
// is left out whole, so the tip never ends in a stray byte (UTF-8 when the whole hint is UTF-8,
// otherwise the GBK/GB18030 byte rules).
std::string_view TrayTipBytes(std::string_view hint, std::size_t capacity);

class TRzTrayIcon : public QObject {
  Q_OBJECT

 public:
  static constexpr std::size_t kHintCapacity = 127;
  // How often the desktop is asked whether it has a notification area.
  static constexpr int kTrayWatchInterval = 1000;

  // The owner, when it is a widget, is the window that restoring brings back.
  explicit TRzTrayIcon(QObject* owner = nullptr);
  ~TRzTrayIcon() override;

  // Hint is kept as bytes; the tooltip shows at most 127 of them, and none when it is empty.
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& hint);

  // True while the icon is in the notification area. SetEnabled(true) asks for it: when the
  // desktop has no notification area Enabled reads false, and the icon is added as soon as one
  // appears (and again after it restarts). SetEnabled(false) removes it for good.
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);

  void SetIcon(const QIcon& icon);

  QMenu* PopupMenu = nullptr;
  TRzTrayIconClicks PopupMenuOn = ticRightClickUp;
  TRzTrayIconClicks RestoreOn = ticLeftDblClick;
  bool HideOnMinimize = true;

  // Whether the desktop has a notification area now; tests replace it.
  std::function<bool()> TrayAvailable = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
  // Polls TrayAvailable while the icon is wanted.
  QTimer* TrayWatch;
  void TrayWatchTimer();

  // A mouse action on the icon (a TrayMouseCode): restore if RestoreOn is its kind, open the menu
  // if PopupMenuOn is its kind, then raise its event.
  void IconNotify(int mouseCode);
  // Opens PopupMenu at the pointer with its right edge there.
  void ShowMenu();
  // Brings the owner window back (out of the minimised state, shown, in front).
  void RestoreApp();
  bool MenuShowing() const { return menuShowing_; }

  QSystemTrayIcon* Platform() const { return tray_; }
  // The window the desktop's notification area embeds for this icon, when there is one.
  QWidget* IconWindow() const;

 signals:
  void OnLButtonDown();
  void OnLButtonUp();
  void OnLButtonDblClick();
  void OnRButtonDown();
  void OnRButtonUp();
  void OnRButtonDblClick();
  void OnMinimizeApp();
  void OnRestoreApp();
  // The desktop session ends (or the desktop asks the program to end); the icon is removed after.
  void OnEndSession();
  // Enabled changed: the notification area appeared or went away.
  void EnabledChanged(bool enabled);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void OnActivated(QSystemTrayIcon::ActivationReason reason);
  bool IsIconWindow(const QObject* o) const;
  QWidget* OwnerWindow() const;
  void SetPresent(bool present);
  void MenuClosed();

  QSystemTrayIcon* tray_;
  std::string hint_;
  bool wanted_ = false;
  bool enabled_ = false;
  bool menuShowing_ = false;
  bool restoring_ = false;
  bool endingSession_ = false;
};

}  // namespace quillet
