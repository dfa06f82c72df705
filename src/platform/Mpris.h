// The desktop's media controls (media keys, sound menus, lock screens, playerctl) reach the
// player through MPRIS 2 on the session bus. MediaControls is what the player reports and does;
// the program implements it over its own commands, and MprisService puts it on the bus.
#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <string>

namespace quillet {

class MediaControls {
 public:
  enum class Status { Stopped, Paused, Playing };
  enum class Loop { None, Track, Playlist };

  struct Track {
    QString id;                  // a bus object path, new for every track start; empty: no track
    std::int64_t lengthUs = -1;  // below 0: not known
    QString url, title, artist, album;
    QString albumArtist;
    int trackNumber = 0;  // 0: not known
    QString artUrl;       // a file: URL of the cover picture; empty: none
    QString lyricText;    // xesam:asText: the lyric, one line each; empty: none
    QString currentLine;  // quillet:currentLine: the lyric line shown now
    bool operator==(const Track&) const = default;
  };
  // Everything that is announced when it changes. The play position is not: it is read when
  // asked for.
  struct Now {
    Status status = Status::Stopped;
    Loop loop = Loop::None;
    double volume = 0;  // 0..1
    bool canPlay = false, canPause = false, canGoNext = false, canGoPrevious = false;
    bool canSeek = false;
    Track track;
    bool operator==(const Now&) const = default;
  };

  virtual ~MediaControls() = default;

  virtual Now Current() = 0;
  virtual std::int64_t PositionUs() = 0;

  // The commands. One the player would refuse at the moment does nothing.
  virtual void Play() = 0;
  virtual void Pause() = 0;
  virtual void Stop() = 0;
  virtual void Next() = 0;
  virtual void Previous() = 0;
  // Plays on from `us` after the track's start (0..length).
  virtual void SeekTo(std::int64_t us) = 0;
  virtual void SetVolume(double volume) = 0;
  virtual void SetLoop(Loop loop) = 0;
  // A local file, as the bytes of its path: added to the playlist and played.
  virtual void OpenFile(const std::string& path) = 0;
  virtual void Raise() = 0;
  virtual void Quit() = 0;
};

class MprisService {
 public:
  static constexpr const char* kBusName = "org.mpris.MediaPlayer2.quillet";

  // Offers `player` on the session bus under kBusName or, when another program holds that name,
  // under kBusName + ".instance" + the process id. Null when there is no session bus (silently)
  // or when the bus refuses the object or the names (reported on standard error). `player` must
  // outlive the service. The bus's method calls run from the event loop, after their replies.
  static std::unique_ptr<MprisService> Start(MediaControls& player, const QString& desktopEntry);
  ~MprisService();
  MprisService(const MprisService&) = delete;
  MprisService& operator=(const MprisService&) = delete;

  const QString& BusName() const;
  // Announces the properties that changed since the last announcement (or the start), in one
  // PropertiesChanged signal; nothing when none did.
  void Announce();

  class Impl;

 private:
  explicit MprisService(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace quillet
