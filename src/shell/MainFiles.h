// The main window's files-and-dialogs seam: saving and loading playlist files, and opening the
// settings dialog, the About box and the lyric editor.
#pragma once

#include <QObject>

#include "platform/Dialogs.h"

namespace quillet {

class TfrmMain;

class MainFiles : public QObject {
 public:
  explicit MainFiles(TfrmMain& main);

  // The playlist file dialogs' settings; set up just before each use and kept between uses.
  Dialogs::FileRequest SDLst;
  Dialogs::FileRequest ODLoadLst;

  void ItemSaveLstClick();
  void ItemLoadLstClick();
  void btnConfigureClick();
  void btnAboutAppClick();
  void btnEditLyricClick();
  // Opens the Options window over the options in force; what it saves is in force at once.
  void ItemOptionsClick();

 private:
  TfrmMain& w_;
};

}  // namespace quillet
