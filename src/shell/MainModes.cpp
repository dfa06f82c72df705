#include "shell/MainModes.h"

#include "shell/MainList.h"
#include "shell/TfrmMain.h"

namespace quillet {

MainModes::MainModes(TfrmMain& main) : QObject(&main), w_(main) {
  setObjectName(QStringLiteral("MainModes"));
}

// An item that carries its mark switches its mode off (the player knows which one is on).
void MainModes::ItemLoopLstClick() { w_.Player.SwitchLoopList(); }

void MainModes::ItemLoopSelClick() { w_.Player.SwitchLoopSelection(); }

void MainModes::ItemLoopSingleClick() { w_.Player.SwitchLoopSingle(); }

void MainModes::PopupMenuContrlsPopup() {
  w_.List->KeepFocusedSelected();
  const MenuStates m = w_.Player.Menu();
  w_.ItemDelLst->setEnabled(m.delLst);
  w_.ItemSaveLst->setEnabled(m.saveLst);
  w_.ItemClearLst->setEnabled(m.clearLst);
  w_.ItemLoopLst->setEnabled(m.loopLst);
  w_.ItemLoopSel->setEnabled(m.loopSel);
  w_.ItemLoopSingle->setEnabled(m.loopSingle);
  w_.ItemHide->setText(QString::fromUtf8(w_.isVisible() ? "隐藏程序" : "显示程序"));
  // The transport items say what the player's transport commands say (the buttons show it too).
  const PlayerSnapshot& s = w_.Player.Snapshot();
  w_.ItemPlay->setEnabled(s.canPlay);
  w_.ItemPause->setEnabled(s.canPause);
  w_.ItemStop->setEnabled(s.canStop);
  w_.ItemPrev->setEnabled(s.canPrev);
  w_.ItemNext->setEnabled(s.canNext);
}

}  // namespace quillet
