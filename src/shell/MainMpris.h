// The main window offered to the desktop's media controls (MPRIS 2 on the session bus): their
// commands are the window's own commands, and what they are shown follows the refresh tick.
#pragma once

#include <QString>
#include <memory>

namespace quillet {

class MediaControls;
class MprisService;
class TfrmMain;

class MainMpris {
 public:
  // Puts the window's controls on the session bus and announces their changes after every
  // refresh tick. Null when there is no session bus. Must end before the window does.
  static std::unique_ptr<MainMpris> Start(TfrmMain& main);
  ~MainMpris();
  MainMpris(const MainMpris&) = delete;
  MainMpris& operator=(const MainMpris&) = delete;

  // The name the controls have on the bus.
  const QString& BusName() const;

 private:
  MainMpris(TfrmMain& main, std::unique_ptr<MediaControls> controls,
            std::unique_ptr<MprisService> service);

  TfrmMain& main_;
  std::unique_ptr<MediaControls> controls_;
  std::unique_ptr<MprisService> service_;
};

}  // namespace quillet
