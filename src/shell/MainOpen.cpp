// Files from outside the window: named on the command line, or handed over by a later start.
#include <QItemSelectionModel>

#include "shell/TfrmMain.h"

namespace quillet {

void TfrmMain::OpenFiles(const std::vector<std::string>& paths) {
  if (!State.Ready || paths.empty()) return;
  const int first = RowCount();
  // The drop handler adds rows exactly as the add command does (with its progress dialog for
  // many files, whose cancel keeps the rows made so far).
  WMDropFiles(paths);
  if (RowCount() <= first) return;
  ListViewLst->selectionModel()->setCurrentIndex(
      ListModel->index(first, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  if (isVisible()) ListViewLst->setFocus();
  ListViewLstDblClick();
}

}  // namespace quillet
