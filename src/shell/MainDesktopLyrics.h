// The main window's desktop lyric seam: the context menu's two items "桌面歌词" and "锁定桌面歌词",
// and the desktop lyric bar they show and lock. The bar is made the first time it is turned on
// (at start only when the options say so), so a start without it costs nothing. Its state (shown,
// locked, place and size) is kept in the options file; the bar follows the options whenever the
// player says they changed.
#pragma once

#include <QObject>
#include <QRect>
#include <QString>
#include <memory>

#include "common/Options.h"

namespace quillet {

class TfrmMain;
class DesktopLyricBar;

class MainDesktopLyrics : public QObject {
 public:
  explicit MainDesktopLyrics(TfrmMain& main);
  ~MainDesktopLyrics() override;
  MainDesktopLyrics(const MainDesktopLyrics&) = delete;
  MainDesktopLyrics& operator=(const MainDesktopLyrics&) = delete;

  // Start-up is done (the options are read): the bar comes up when the options say it was on.
  void Start();
  // The menu items: each switches its option, saves the options and tells the player's faces.
  void ItemDesktopLyricsClick();
  void ItemLockDesktopLyricsClick();
  // The bar, once it has been made; null before.
  DesktopLyricBar* Bar() const { return bar_.get(); }
  // For the documentation: a picture of the bar over the lower part of the main window, as a
  // desktop with a compositor shows it, drawn without one. The options are not changed.
  bool SavePicture(const QString& path);

 private:
  void Follow();
  void Keep(const Options& changed, bool command);
  void KeepPlace(const QRect& place);
  void MakeBar();

  TfrmMain& w_;
  int listening_ = 0;
  bool started_ = false;
  std::unique_ptr<DesktopLyricBar> bar_;
};

}  // namespace quillet
