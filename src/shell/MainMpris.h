// The player offered to the desktop's media controls (MPRIS 2 on the session bus): their
// commands are the player's own commands, and what they are shown follows the player's snapshot,
// announced after the refresh tick.
#pragma once

#include <QString>
#include <memory>

namespace quillet {

class MediaControls;
class MprisService;
class PlaySession;

// What the media controls may ask of the program's window: to come to the front, and to end
// the program as its exit command does.
class ProgramWindow {
 public:
  virtual ~ProgramWindow() = default;
  virtual void ShowProgram() = 0;
  virtual void Exit() = 0;
};

class MainMpris {
 public:
  // Puts the player's controls on the session bus. Null when there is no session bus. Must end
  // before the player and the window do.
  static std::unique_ptr<MainMpris> Start(PlaySession& player, ProgramWindow& window);
  ~MainMpris();
  MainMpris(const MainMpris&) = delete;
  MainMpris& operator=(const MainMpris&) = delete;

  // The name the controls have on the bus.
  const QString& BusName() const;

 private:
  MainMpris(PlaySession& player, std::unique_ptr<MediaControls> controls,
            std::unique_ptr<MprisService> service);

  PlaySession& player_;
  std::unique_ptr<MediaControls> controls_;
  std::unique_ptr<MprisService> service_;
  int listening_ = 0;
};

}  // namespace quillet
