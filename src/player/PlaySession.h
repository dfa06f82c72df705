// The playback layer: the one open stream's life cycle, the play modes and their cursors, the
// playing track's lyric lines, the refresh tick, seek and volume, over the audio engine. It holds
// no widget: a window handler calls it and shows what it returns. The playlist stays the rows of
// the window's list; the layer is handed them (and the selection) when it needs them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/PlayerState.h"
#include "player/PlaybackRules.h"
#include "playlist/Playlist.h"

namespace quillet {

namespace audio {
class Engine;
}

// What a window shows after a command. Empty members leave their display as it is; the boxes
// come last, once everything else is shown.
struct Shown {
  std::optional<std::string> strip;  // the lyric strip's new text, UTF-8
  std::optional<int> selectOnly;     // the row that becomes the focused and only selected one
  bool focusList = false;            // the list takes the keyboard focus (when on screen)
  std::string failure;               // input/output failures for the general error box
  std::optional<int> streamError;    // the stream error box, with the engine's code
  std::optional<int> outputError;    // the sound output went away: its box, with the code
};

// What a refresh tick shows, in addition.
struct TickShown : Shown {
  std::optional<int> volumeBar;
  std::optional<std::string> progressCaption;  // bytes, as the caption's text
  std::optional<int> progressMax;
  std::optional<int> progressPosition;
  TransportStates buttons;
};

// What dragging the seek bar shows.
struct SeekShown {
  std::optional<std::string> progressCaption;
  std::optional<std::string> strip;
};

class PlaySession {
 public:
  // The lyric strip's text when no line is shown.
  static constexpr const char* kLyricPlaceholder = "歌词显示区...";
  // The stream error box's message.
  static constexpr const char* kStreamError = "不支持的文件格式：创建数据流时出现错误！";
  // The message when the sound output goes away under a playing track.
  static constexpr const char* kOutputError = "播放音频时出现错误！";

  PlaySession(PlayerShared& state, audio::Engine& engine);
  PlaySession(const PlaySession&) = delete;
  PlaySession& operator=(const PlaySession&) = delete;

  PlayerShared& State;
  std::vector<std::string> LyricLines;  // lines of the playing track's lyric file, raw bytes
  std::vector<std::string> SelPaths;    // the loop-selection snapshot of full paths
  std::int32_t LstIndex = -1;
  std::int32_t SelIndex = 0;

  // ---- Start and end -------------------------------------------------------------------------
  // The decoding and output libraries are the ones the program was built for.
  bool BackEndOk(std::string* why);
  // Opens the default output device at 44100 Hz; the engine's code when it cannot.
  std::optional<int> OpenDevice();
  // The state of a fresh start: stopped, no mode, no stream, no lyric, no snapshot.
  void Reset();
  // Frees the stream and the device and forgets the lyric and the snapshot.
  void Shutdown();

  // ---- Commands --------------------------------------------------------------------------------
  // Play: resumes a pause, else starts `selected` from its beginning. Nothing without a row.
  Shown Play(const PlaylistRow* selected);
  // A double-click: starts `selected` afresh whatever plays.
  Shown PlayAfresh(const PlaylistRow* selected);
  void Pause();
  // Frees the stream and switches the play mode off.
  Shown Stop();
  // Previous and next in the current play mode. Without one they step from the selected row.
  Shown Previous(const std::vector<PlaylistRow>& rows, int selectedRow);
  Shown Next(const std::vector<PlaylistRow>& rows, int selectedRow);
  // The three mode items. `checked`: the item carried its mark when chosen, which switches the
  // mode off and stops playback.
  void SwitchLoopList(bool checked, int selectedRow);
  void SwitchLoopSelection(bool checked, const std::vector<std::string>& selectedPaths);
  void SwitchLoopSingle(bool checked);
  // The lyric of the track that starts: the header summary of its lyric file, or its name, artist
  // and album. Failures to read the settings or the lyric file come back in `failure`. The track
  // becomes the open stream's (PlayingTrack).
  Shown Announce(const std::string& path, const std::string& name, const std::string& artist,
                 const std::string& album);
  // The lyric line for a minutes:seconds key (or the header key); empty: leave the strip.
  std::optional<std::string> LyricFor(const std::string& key) const;

  // ---- Refresh tick ----------------------------------------------------------------------------
  // One tick: the volume bar follows the output, a play mode starts its next track, the progress
  // and the lyric line of the current second, the end of a track, the transport buttons. The
  // play position is read once. `selectedRow`: the first selected row or -1.
  TickShown Tick(const std::vector<PlaylistRow>& rows, int selectedRow, int volumeBar);

  // ---- Seek bar, volume bar, stamps ------------------------------------------------------------
  void BeginSeek();
  SeekShown SeekPreview(int barSeconds);
  void EndSeek(int barSeconds);
  void SetVolumeFromBar(int barPosition);
  // The output volume as the volume bar shows it: the louder channel, 0..65535.
  int OutputVolume();
  // Pauses what plays and gives the play time as a minutes:seconds text; nothing unless playing.
  std::optional<std::string> PauseForStamp();
  // Resumes a pause.
  void ResumeFromStamp();

  // ---- What the desktop's media controls read and ask for ------------------------------------
  // A track as it was announced when its stream started.
  struct Track {
    std::uint32_t stream = 0;
    std::string path, name, artist, album;
  };
  // The track of the open stream; null when no stream is open.
  const Track* PlayingTrack() const;
  // The open stream's play position in seconds, exact to the engine; 0 when not available.
  double PositionSeconds();
  // The open stream's length in seconds; nothing when not available.
  std::optional<double> LengthSeconds();
  // Plays on from `seconds` after the start, as releasing the seek bar does; a time past the end
  // goes to the end. Nothing without a stream.
  void SeekTo(double seconds);

 private:
  // Frees the open stream and opens `path` in its place (0 when it cannot be opened).
  void OpenStream(const std::string& path);
  // Stops and frees the open stream; no stream is open afterwards.
  void CloseStream();
  void StartRowAfresh(const PlaylistRow& row, Shown* shown);
  std::string StartModeTrack(const std::string& path, const std::string& name,
                             const std::string& artist, const std::string& album, Shown* shown);
  void EndForLoopStep(Shown* shown);
  void StepWithoutMode(const std::vector<PlaylistRow>& rows, int selectedRow, int step,
                       Shown* shown);
  void SwitchModeOff();
  void ShowLyric(const std::string& key, Shown* shown) const;
  void PlayFrom(double seconds);

  std::string ListLoopStep(const std::vector<PlaylistRow>& rows, int* selectedRow, TickShown* t);
  void SingleLoopStep(TickShown* t);
  std::string LoopSelectionStep(TickShown* t);
  void ProgressStep(const std::vector<PlaylistRow>& rows, int selectedRow, TickShown* t);
  void EndOfTrackStep(TickShown* t);

  audio::Engine& engine_;
  Track playing_;
};

}  // namespace quillet
