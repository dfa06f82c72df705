// The player: the playlist it plays (TrackList), the open stream's life cycle, the play modes
// and their cursors, the track a mode goes on with (handed to the engine ahead of time, so that
// it follows the current one without a gap), the playing track's lyric lines, the refresh tick,
// seek and volume, over the audio engine. It owns its state and holds no widget. Faces (the main
// window, the tray, the lyric editor, the media controls, the command line) read its snapshot and
// call its commands; it tells them when anything but the play position changes, once per change,
// and after every tick, when they read the position.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/PlayerState.h"
#include "lyrics/TimedLyric.h"
#include "player/PlaybackRules.h"
#include "player/TrackList.h"
#include "playlist/Playlist.h"

namespace quillet {

namespace audio {
class Engine;
}

// The engine's own length probe, for the rows files become.
LengthProbe EngineLengthProbe();

// A track as it was announced when its stream started.
struct PlayingTrack {
  std::uint32_t stream = 0;
  std::string path, name, artist, album;  // bytes
};

// A word of the shown line, due at a play position (ms; the offset and output delay applied).
struct LyricWordTime {
  std::int64_t atMs = 0;
  std::string text;  // UTF-8
  bool operator==(const LyricWordTime&) const = default;
};

// What the player is doing, as every face shows it.
struct PlayerSnapshot {
  // False before start-up has set the player up and after exit: no command acts then.
  bool ready = false;
  TPlayerState state = psStopped;
  TPlayMode mode = pmNone;
  std::uint32_t stream = 0;
  // The row the playing track was started from, while it is still in the list; else -1.
  int currentRow = -1;
  // The path the current play mode goes on with when the track ends; empty without a mode.
  std::string nextPath;
  // Which transport commands can be given: what the window's five buttons show. They follow
  // the state on every tick (not between ticks), as the buttons always have.
  bool canPrev = true, canPlay = true, canPause = true, canStop = true, canNext = true;
  // The play position and length in seconds, as the last tick (or command) read them.
  double position = 0;
  std::optional<double> length;
  // The output volume: both channels packed (left low), and the louder one, 0..65535.
  std::uint32_t volumePacked = 0;
  int volume = 0;
  // The lyric strip's text, UTF-8.
  std::string lyricLine;
  // With exact timing: the translation shown after the line (lighter; only with "show
  // translation"), the play position (ms) the line was found for, and the play position at which
  // the next line is due (-1: none is due, e.g. while paused), for a single-shot timer.
  std::string lyricTranslation;
  std::int64_t lyricAtMs = 0;
  std::int64_t lyricNextMs = -1;
  // The line that follows the one shown (UTF-8; empty when none is known), and with exact
  // timing the shown line's words when the file times them (empty otherwise), for the desktop
  // lyric bar.
  std::string lyricNextLine;
  std::vector<LyricWordTime> lyricWords;
  // The playing track's lyric as plain text, one line each (UTF-8; empty without a lyric).
  std::string lyricText;
  // The progress display: its caption (bytes), and the seek bar's range and place. An empty
  // range leaves the bar's as it is.
  std::string progressCaption = kProgressCaption;
  std::optional<int> progressMax;
  int progressPosition = 0;
  // The track of the open stream, when one is open.
  std::optional<PlayingTrack> track;
};

// What changed, for the faces that are told.
enum PlayerChange : unsigned {
  kChangedState = 1u << 0,
  kChangedMode = 1u << 1,
  kChangedTrack = 1u << 2,
  kChangedCommands = 1u << 3,
  kChangedLyric = 1u << 4,
  kChangedProgress = 1u << 5,
  kTicked = 1u << 6,          // a refresh tick ran: the position is new
  kProgressRead = 1u << 7,    // ... and it set the seek bar's range and place
  kChangedVolume = 1u << 8,   // a command set the output volume
  kChangedOptions = 1u << 9,  // the options in Shared changed
};

// Boxes and focus a command or tick asks of the window, after its displays are up to date.
struct PlayerReport {
  bool focusList = false;          // the list takes the keyboard focus (when on screen)
  std::string failure;             // input/output failures for the general error box
  std::optional<int> streamError;  // the stream error box, with the engine's code
  std::optional<int> outputError;  // the sound output went away: its box, with the code
  bool Empty() const { return !focusList && failure.empty() && !streamError && !outputError; }
};

class PlaySession {
 public:
  // The lyric strip's text when no line is shown.
  static constexpr const char* kLyricPlaceholder = "歌词显示区...";
  // The stream error box's message.
  static constexpr const char* kStreamError = "不支持的文件格式：创建数据流时出现错误！";
  // The message when the sound output goes away under a playing track.
  static constexpr const char* kOutputError = "播放音频时出现错误！";

  PlaySession(PlayerShared& shared, audio::Engine& engine, LengthProbe probe = EngineLengthProbe());
  ~PlaySession();
  PlaySession(const PlaySession&) = delete;
  PlaySession& operator=(const PlaySession&) = delete;

  PlayerShared& Shared;
  TrackList& List() { return list_; }
  const TrackList& List() const { return list_; }

  // ---- Watching --------------------------------------------------------------------------------
  using Listener = std::function<void(unsigned changes)>;
  // Listeners hear of changes after the call that made them, in the order they subscribed.
  int Subscribe(Listener listener);
  void Unsubscribe(int id);
  // Where boxes go; one receiver (the main window). Reports made with none are dropped.
  std::function<void(const PlayerReport&)> OnReport;
  const PlayerSnapshot& Snapshot() const { return now_; }

  // ---- Start and end -------------------------------------------------------------------------
  // The decoding and output libraries are the ones the program was built for.
  bool BackEndOk(std::string* why);
  // Opens the default output device at 44100 Hz; the engine's code when it cannot.
  std::optional<int> OpenDevice();
  // The state of a fresh start: stopped, no mode, no stream, no lyric, no snapshot.
  void Reset();
  // Start-up is done: commands and ticks act from now on.
  void MarkReady();
  // Frees the stream and the device and forgets the lyric and the snapshot; nothing acts after.
  void Shutdown();
  // Shared.options were changed: the player and its faces follow them.
  void OptionsChanged();

  // ---- Commands --------------------------------------------------------------------------------
  // A command whose button or menu item is off at the moment does nothing, as a click on it
  // would; so do all before start-up and after exit.
  // Play: resumes a pause, else starts the first selected row from its beginning.
  void Play();
  // A double-click: starts the first selected row afresh whatever plays.
  void PlayAfresh();
  // Makes `row` the only selected row and starts it afresh.
  void PlayRow(int row);
  void Pause();
  // Frees the stream and switches the play mode off.
  void Stop();
  // Previous and next in the current play mode. Without one they step from the selected row.
  void Previous();
  void Next();
  // The three mode items: an item that carries its mark switches its mode off and stops
  // playback; otherwise its mode goes on (loop selection over the rows selected now).
  void SwitchLoopList();
  void SwitchLoopSelection();
  void SwitchLoopSingle();
  // Whether each mode item can be chosen now (the context menu's enabled states).
  MenuStates Menu() const;

  // ---- Refresh tick ----------------------------------------------------------------------------
  // One tick: the volume is read, a play mode starts its next track, the progress and the lyric
  // line of the current second, the end of a track, the transport commands. The play position
  // is read once.
  void Tick();

  // ---- Seek bar, volume, stamps ----------------------------------------------------------------
  void BeginSeek();
  // While the bar is held: the caption and lyric line for the second under it.
  void SeekPreview(int barSeconds);
  void EndSeek(int barSeconds);
  // Plays on from `seconds` after the start, as releasing the seek bar does; a time past the end
  // goes to the end. Nothing without a stream or while the bar is held.
  void SeekTo(double seconds);
  // Sets the output volume (both channels) from a volume bar position.
  void SetVolume(int position);
  // The output volume as the volume bar shows it: the louder channel, 0..65535.
  int OutputVolume();
  // Pauses what plays and gives the play time as a minutes:seconds text; nothing unless playing.
  std::optional<std::string> PauseForStamp();
  // Resumes a pause.
  void ResumeFromStamp();
  // The open stream's play position in seconds, read now; 0 when not available.
  double PositionSeconds();
  // The same in whole milliseconds.
  std::int64_t PositionMs();
  // As PauseForStamp, giving the play position in milliseconds.
  std::optional<std::int64_t> PauseForStampMs();

  // ---- Exact lyric timing ----------------------------------------------------------------------
  // Exact timing is on and the playing track has a timed lyric.
  bool ExactLyric() const;
  // Reads the play position and shows the line heard now (the single-shot timer aimed at
  // Snapshot().lyricNextMs calls it). Nothing without exact timing.
  void LyricTick();
  struct NudgeResult {
    bool done = false;   // the lyric moved (exact timing on, a timed lyric file)
    std::string notice;  // the strip's confirmation, UTF-8
    IoResult io;         // writing the lyric file's [offset:]
  };
  // Moves the lyric earlier (deltaMs > 0) or later, writes the result to the lyric file as its
  // [offset:] and shows the confirmation in the strip for a few ticks.
  NudgeResult NudgeLyric(int deltaMs);
  // The offset the playing lyric is shown with (the file's, as moved).
  std::int64_t LyricOffsetMs() const { return lyricOffsetMs_; }

  // ---- Read-outs of the player's own state (for tests and diagnostics) ---------------------
  const std::vector<std::string>& Lyric() const { return LyricLines; }
  const std::vector<std::string>& LoopSelectionPaths() const { return SelPaths; }
  std::int32_t ListCursor() const { return LstIndex; }
  std::int32_t SelectionCursor() const { return SelIndex; }

 private:
  class ListWatch;
  friend class ListWatch;

  // The commands' bodies, without the gate and the telling.
  void DoPlay(const PlaylistRow* selected);
  void DoPlayAfresh(const PlaylistRow* selected);
  void OpenStream(const std::string& path);
  void CloseStream();
  void StartRowAfresh(const PlaylistRow& row, int index);
  void Announce(const std::string& path, const std::string& name, const std::string& artist,
                const std::string& album);
  void StartModeTrack(const std::string& path, const std::string& name, const std::string& artist,
                      const std::string& album, int index);
  void EndForLoopStep();
  void StepWithoutMode(int step);
  void SwitchModeOff();
  void ShowLyric(const std::string& key);
  void ForgetLyric();
  void ShowExactLyric(std::int64_t playMs, bool running);
  void ShowNextLine(int group);
  void PlayFrom(double seconds);
  std::optional<std::string> LyricFor(const std::string& key) const;

  void TickSteps();
  void ListLoopStep(int* selectedRow);
  void SingleLoopStep();
  void LoopSelectionStep();
  void ProgressStep(int selectedRow);
  void EndOfTrackStep();
  void JointStep(int* selectedRow);

  // The queued track: the path the mode goes on with while a track plays (empty when none), and
  // the engine's queue brought in line with it.
  std::string QueueWanted() const;
  void SyncQueue();
  void DropQueued();

  void Fail(const std::string& failure);
  // Brings the snapshot up to date and tells the listeners and the report receiver; `extra`
  // joins the changes found.
  void Publish(unsigned extra = 0);
  unsigned Compare(const PlayerSnapshot& before) const;

  audio::Engine& engine_;
  TrackList list_;
  std::unique_ptr<ListWatch> watch_;

  // The state, the player's own.
  TPlayerState PlayerState = psStopped;
  TPlayMode PlayMode = pmLoopLst;  // zero until the creation step sets pmNone
  std::uint32_t CurrentStream = 0;
  std::vector<std::string> LyricLines;  // lines of the playing track's lyric file, raw bytes
  std::vector<std::string> SelPaths;    // the loop-selection snapshot of full paths
  TimedLyric timed_;                    // the same lyric read for exact timing
  std::string lyricPath_;               // the file LyricLines came from; empty when none
  std::int64_t lyricOffsetMs_ = 0;      // the file's [offset:] as the user moved it
  int noticeTicks_ = 0;                 // ticks the correction notice stays in the strip
  std::int32_t LstIndex = -1;
  std::int32_t SelIndex = 0;
  bool ready_ = false;
  // The stream opened for the next track and queued behind `queuedBehind_` (the current one),
  // and its path. A queue the engine refused is not tried again for the same pair.
  std::uint32_t queued_ = 0;
  std::uint32_t queuedBehind_ = 0;
  std::string queuedPath_;
  std::uint32_t refusedBehind_ = 0;
  std::string refusedPath_;
  PlayingTrack playing_;
  int playingRow_ = -1;

  PlayerSnapshot now_;        // being brought up to date by the call under way
  PlayerSnapshot published_;  // as the listeners were last told
  PlayerReport pending_;
  bool progressRead_ = false;
  std::vector<std::pair<int, Listener>> listeners_;
  int nextListener_ = 1;
};

}  // namespace quillet
