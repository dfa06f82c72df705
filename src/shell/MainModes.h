// The main window's play-mode seam: the three mode items and the context menu's enabled items as
// it opens.
#pragma once

#include <QObject>

namespace quillet {

class TfrmMain;

class MainModes : public QObject {
 public:
  explicit MainModes(TfrmMain& main);

  void ItemLoopLstClick();
  void ItemLoopSelClick();
  void ItemLoopSingleClick();
  void PopupMenuContrlsPopup();

 private:
  TfrmMain& w_;
};

}  // namespace quillet
