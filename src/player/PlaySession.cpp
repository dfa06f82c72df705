#include "player/PlaySession.h"

#include "player/EarlyDevice.h"

#include <algorithm>
#include <cmath>

#include "audio/AudioEngine.h"
#include "audio/Engine.h"
#include "common/FileIo.h"
#include "lyrics/LyricOffset.h"
#include "lyrics/Lyrics.h"
#include "lyrics/TimedLyric.h"
#include "player/TimeTexts.h"
#include "playlist/TagReader.h"
#include "playlist/TrackProbe.h"

namespace quillet {

namespace {
// About a second and a half of 150 ms ticks.
constexpr int kNoticeTicks = 10;
}  // namespace

LengthProbe EngineLengthProbe() {
  return [](const std::string& path) -> std::optional<double> {
    audio::FileProbe probe;
    if (!audio::AudioEngine::ProbeFile(path, &probe)) return std::nullopt;
    if (probe.length == audio::kNotAvailable) return std::nullopt;
    return probe.seconds;
  };
}

// Keeps the row the playing track came from pointing at it while rows above it come and go.
class PlaySession::ListWatch final : public TrackList::Watcher {
 public:
  explicit ListWatch(PlaySession& p) : p_(p) {}
  void BeforeRemove(int first, int last) override {
    int& row = p_.playingRow_;
    if (row > last) {
      row -= last - first + 1;
    } else if (row >= first) {
      row = -1;
    }
  }
  void BeforeReset() override { p_.playingRow_ = -1; }
  // The row list loop goes on with may have moved: the queued track follows it.
  void AfterInsert() override { p_.SyncQueue(); }
  void AfterRemove() override { p_.SyncQueue(); }
  void AfterReset() override { p_.SyncQueue(); }

 private:
  PlaySession& p_;
};

PlaySession::PlaySession(PlayerShared& shared, audio::Engine& engine, LengthProbe probe)
    : Shared(shared),
      engine_(engine),
      list_(std::move(probe)),
      watch_(std::make_unique<ListWatch>(*this)) {
  list_.Watch(watch_.get());
  now_.lyricLine = kLyricPlaceholder;
  now_.mode = PlayMode;
  published_ = now_;
}

PlaySession::~PlaySession() { list_.Unwatch(watch_.get()); }

// ---- Watching ----------------------------------------------------------------------------------

int PlaySession::Subscribe(Listener listener) {
  listeners_.emplace_back(nextListener_, std::move(listener));
  return nextListener_++;
}

void PlaySession::Unsubscribe(int id) {
  std::erase_if(listeners_, [id](const auto& l) { return l.first == id; });
}

unsigned PlaySession::Compare(const PlayerSnapshot& b) const {
  const PlayerSnapshot& a = now_;
  unsigned c = 0;
  if (a.state != b.state || a.ready != b.ready) c |= kChangedState;
  if (a.mode != b.mode) c |= kChangedMode;
  if (a.stream != b.stream || a.currentRow != b.currentRow || a.nextPath != b.nextPath ||
      a.track.has_value() != b.track.has_value()) {
    c |= kChangedTrack;
  }
  if (a.canPrev != b.canPrev || a.canPlay != b.canPlay || a.canPause != b.canPause ||
      a.canStop != b.canStop || a.canNext != b.canNext) {
    c |= kChangedCommands;
  }
  if (a.lyricLine != b.lyricLine || a.lyricTranslation != b.lyricTranslation ||
      a.lyricText != b.lyricText || a.lyricNextLine != b.lyricNextLine ||
      a.lyricWords != b.lyricWords) {
    c |= kChangedLyric;
  }
  if (a.progressCaption != b.progressCaption || a.progressMax != b.progressMax ||
      a.progressPosition != b.progressPosition) {
    c |= kChangedProgress;
  }
  return c;
}

void PlaySession::Publish(unsigned extra) {
  SyncQueue();
  now_.ready = ready_;
  now_.state = PlayerState;
  now_.mode = PlayMode;
  now_.stream = CurrentStream;
  const bool playing = CurrentStream != 0 && playing_.stream == CurrentStream;
  if (playing) {
    if (!now_.track || now_.track->stream != playing_.stream) now_.track = playing_;
  } else {
    now_.track.reset();
  }
  now_.currentRow = playing ? playingRow_ : -1;
  // A new stream: its length now, its place at the start until a tick reads it.
  if (now_.stream != published_.stream) {
    now_.position = 0;
    now_.length.reset();
    if (CurrentStream != 0) {
      const TimeInfo len = StreamLengthInfo(engine_, CurrentStream);
      if (!len.text.empty()) now_.length = len.seconds;
    }
  }
  switch (PlayMode) {
    case pmLoopLst:
      now_.nextPath =
          list_.Count() > 0 ? list_.Row(WrapCursor(LstIndex, list_.Count())).path : std::string();
      break;
    case pmLoopSel:
      now_.nextPath =
          SelPaths.empty()
              ? std::string()
              : SelPaths[static_cast<std::size_t>(WrapCursor(SelIndex, std::ssize(SelPaths)))];
      break;
    case pmLoopSingle:
      now_.nextPath = playing ? playing_.path : std::string();
      break;
    case pmNone:
      now_.nextPath.clear();
      break;
  }
  const unsigned changes = Compare(published_) | extra;
  published_ = now_;
  // A copy: a listener may subscribe or unsubscribe while it is told.
  if (changes != 0) {
    const auto listeners = listeners_;
    for (const auto& [id, listener] : listeners) listener(changes);
  }
  if (pending_.Empty()) return;
  const PlayerReport report = std::move(pending_);
  pending_ = PlayerReport();
  if (OnReport) OnReport(report);
}

void PlaySession::Fail(const std::string& failure) {
  if (failure.empty()) return;
  if (!pending_.failure.empty()) pending_.failure += '\n';
  pending_.failure += failure;
}

// ---- Start and end -----------------------------------------------------------------------------

bool PlaySession::BackEndOk(std::string* why) { return engine_.BackEndOk(why); }

std::optional<int> PlaySession::OpenDevice() { return OpenDefaultDevice(engine_); }

void PlaySession::Reset() {
  PlayerState = psStopped;
  PlayMode = pmNone;
  CurrentStream = 0;
  ForgetLyric();
  SelPaths.clear();
  LstIndex = -1;
  Publish();
}

void PlaySession::MarkReady() {
  ready_ = true;
  list_.SetRowOptions(RowOptionsFor(Shared.options));
  Publish();
}

void PlaySession::Shutdown() {
  ready_ = false;
  DropQueued();
  engine_.StreamFree(CurrentStream);
  CurrentStream = 0;
  engine_.Free();
  ForgetLyric();
  SelPaths.clear();
  Publish();
}

void PlaySession::OptionsChanged() {
  list_.SetRowOptions(RowOptionsFor(Shared.options));
  if (CurrentStream != 0 && PlayerState != psStopped) {
    ShowExactLyric(PositionMs(), PlayerState == psPlaying);
  }
  if (!Shared.options.exactLyrics || !Shared.options.showTranslation) {
    now_.lyricTranslation.clear();
  }
  if (!Shared.options.exactLyrics) now_.lyricWords.clear();
  Publish(kChangedOptions);
}

// ---- Lyric -------------------------------------------------------------------------------------

std::optional<std::string> PlaySession::LyricFor(const std::string& key) const {
  std::string text = ShowLyricText(LyricLines, key);
  if (text.empty()) return std::nullopt;
  return text;
}

void PlaySession::ShowLyric(const std::string& key) {
  if (auto text = LyricFor(key)) now_.lyricLine = std::move(*text);
}

void PlaySession::ForgetLyric() {
  LyricLines.clear();
  timed_ = TimedLyric();
  lyricPath_.clear();
  lyricOffsetMs_ = 0;
  noticeTicks_ = 0;
  now_.lyricTranslation.clear();
  now_.lyricText.clear();
  now_.lyricNextMs = -1;
  now_.lyricNextLine.clear();
  now_.lyricWords.clear();
}

bool PlaySession::ExactLyric() const {
  return Shared.options.exactLyrics && !timed_.groups.empty();
}

// The line of the group heard at playMs (the output delay taken off, the offset as moved).
// Before the first group the strip keeps what it shows (the header summary). `running`: the
// track plays on, so the next line is due.
void PlaySession::ShowExactLyric(std::int64_t playMs, bool running) {
  now_.lyricNextMs = -1;
  if (!ExactLyric()) return;
  const LyricPosition at =
      FindLyricGroup(timed_, playMs, Shared.options.lyricDelayMs, lyricOffsetMs_);
  now_.lyricAtMs = playMs;
  if (running && at.nextChangeMs != kNoLyricChange) now_.lyricNextMs = at.nextChangeMs;
  // The correction notice stays for its ticks.
  if (noticeTicks_ > 0) return;
  ShowNextLine(at.group);
  now_.lyricWords.clear();
  if (at.group < 0) return;
  LyricGroupText text = GroupText(timed_, at.group);
  now_.lyricLine = std::move(text.original);
  now_.lyricTranslation =
      Shared.options.showTranslation ? std::move(text.translation) : std::string();
  // Word times only for a group of one original line.
  const LyricGroup& g = timed_.groups[static_cast<std::size_t>(at.group)];
  if (g.originals != 1) return;
  const std::int64_t shift = Shared.options.lyricDelayMs - lyricOffsetMs_;
  for (const TimedWord& word : timed_.lines[g.first].words) {
    now_.lyricWords.push_back({word.stampMs + shift, LyricDisplayText(timed_, word.text)});
  }
}

// The originals of the group after `group` (-1: before the first) as the line to come.
void PlaySession::ShowNextLine(int group) {
  now_.lyricNextLine = GroupText(timed_, group + 1).original;
}

void PlaySession::LyricTick() {
  if (!ready_ || !ExactLyric() || CurrentStream == 0 || PlayerState == psStopped) return;
  if (PlayerState == psSeeking) return;
  ShowExactLyric(PositionMs(), PlayerState == psPlaying);
  Publish();
}

PlaySession::NudgeResult PlaySession::NudgeLyric(int deltaMs) {
  NudgeResult r;
  if (!ready_ || !ExactLyric() || lyricPath_.empty()) return r;
  r.done = true;
  lyricOffsetMs_ =
      std::clamp<std::int64_t>(lyricOffsetMs_ + deltaMs, -kMaxLyricOffsetMs, kMaxLyricOffsetMs);
  r.notice = LyricOffsetNotice(lyricOffsetMs_ - timed_.offsetMs);
  r.io = WriteLyricOffset(lyricPath_, lyricOffsetMs_);
  if (!r.io.ok) Fail(r.io.error);
  // The timer is aimed anew for the moved lines; the notice stands in the strip meanwhile.
  noticeTicks_ = 0;
  if (CurrentStream != 0 && PlayerState != psStopped) {
    ShowExactLyric(PositionMs(), PlayerState == psPlaying);
  }
  now_.lyricLine = r.notice;
  now_.lyricTranslation.clear();
  now_.lyricNextLine.clear();
  now_.lyricWords.clear();
  noticeTicks_ = kNoticeTicks;
  Publish();
  return r;
}

// The lyric of the track that starts: the header summary of its lyric file (with embedded lyrics
// on and no lyric file, of the lyric inside the audio file), or its name, artist and album.
// Failures to read the settings or the lyric file are reported. The track becomes the open
// stream's.
void PlaySession::Announce(const std::string& path, const std::string& name,
                           const std::string& artist, const std::string& album) {
  playing_ = PlayingTrack{CurrentStream, path, name, artist, album};
  IoResult io;
  const std::string lyricPath = LyricFileName(path, &Shared.LyricDir, &io);
  // An unreadable settings file is reported; the lookup goes on beside the audio file.
  if (!io.ok) Fail(io.error);
  if (IsRegularFile(lyricPath)) {
    const IoResult read = LoadLyricFile(lyricPath, &LyricLines);
    if (read.ok) {
      timed_ = ParseTimedLyric(LyricLines);
      lyricPath_ = lyricPath;
      lyricOffsetMs_ = timed_.offsetMs;
      now_.lyricTranslation.clear();
      now_.lyricText = LyricPlainText(timed_);
      if (!LyricTextEmpty(LyricLines)) ShowLyric(kHeaderInfoKey);
      ShowExactLyric(0, true);
      return;
    }
    // The track plays on without its lyric; the strip says what it is instead.
    Fail(read.error);
  } else if (Shared.options.embeddedLyrics) {
    // No lyric file: the lyric the audio file carries stands in for it, read by the same rules.
    const std::string embedded =
        ReadEmbeddedTags(path, LegacyEncodingFor(Shared.options.tagEncoding), kTagLyric).lyric;
    if (!embedded.empty()) {
      LyricLines = SplitLyricLines(embedded);
      // Timed as a file's lyric is; with no file of its own, the correction keys write nothing.
      timed_ = ParseTimedLyric(LyricLines);
      lyricOffsetMs_ = timed_.offsetMs;
      now_.lyricTranslation.clear();
      now_.lyricText = LyricPlainText(timed_);
      if (!LyricTextEmpty(LyricLines)) ShowLyric(kHeaderInfoKey);
      ShowExactLyric(0, true);
      return;
    }
  }
  now_.lyricLine = TrackInfoLine(name, artist, album);
}

// ---- Commands ----------------------------------------------------------------------------------

// The one stream is replaced: the old handle is freed (whatever it was) and the file opened.
void PlaySession::OpenStream(const std::string& path) {
  engine_.StreamFree(CurrentStream);
  CurrentStream = engine_.StreamCreateFile(false, path, 0, 0, 0);
}

void PlaySession::CloseStream() {
  engine_.ChannelStop(CurrentStream);
  engine_.StreamFree(CurrentStream);
  CurrentStream = 0;
}

void PlaySession::StartRowAfresh(const PlaylistRow& r, int index) {
  engine_.ChannelStop(CurrentStream);
  OpenStream(r.path);
  if (CurrentStream != 0) {
    playingRow_ = index;
    Announce(r.path, FileNamePart(r.path), r.singer, r.album);
    engine_.ChannelPlay(CurrentStream, false);
    PlayerState = psPlaying;
    return;
  }
  // The state is settled before the box opens: ticks run while it is open, and one may start a
  // track in a play mode, which must not be undone when the box closes.
  pending_.streamError = engine_.LastErrorCode();
  PlayerState = psStopped;
}

void PlaySession::DoPlay(const PlaylistRow* selected) {
  if (selected == nullptr) return;
  if (PlayerState == psPaused) {
    engine_.ChannelPlay(CurrentStream, false);
    PlayerState = psPlaying;
    if (ExactLyric()) ShowExactLyric(PositionMs(), true);
    return;
  }
  now_.lyricLine.clear();
  ForgetLyric();
  StartRowAfresh(*selected, list_.FirstSelected());
}

void PlaySession::DoPlayAfresh(const PlaylistRow* selected) {
  now_.lyricLine = kLyricPlaceholder;
  ForgetLyric();
  if (selected != nullptr) StartRowAfresh(*selected, list_.FirstSelected());
}

void PlaySession::Play() {
  if (!ready_ || !now_.canPlay) return;
  const int row = list_.FirstSelected();
  if (row < 0) return;
  const PlaylistRow selected = list_.Row(row);
  DoPlay(&selected);
  Publish();
}

void PlaySession::PlayAfresh() {
  if (!ready_) return;
  const int row = list_.FirstSelected();
  if (row < 0) {
    DoPlayAfresh(nullptr);
  } else {
    const PlaylistRow selected = list_.Row(row);
    DoPlayAfresh(&selected);
  }
  Publish();
}

void PlaySession::PlayRow(int row) {
  if (!ready_ || row < 0 || row >= list_.Count()) return;
  list_.SelectOnly(row);
  PlayAfresh();
}

void PlaySession::Pause() {
  if (!ready_ || !now_.canPause || CurrentStream == 0) return;
  engine_.ChannelPause(CurrentStream);
  PlayerState = psPaused;
  if (ExactLyric()) ShowExactLyric(PositionMs(), false);
  Publish();
}

void PlaySession::Stop() {
  if (!ready_ || !now_.canStop || CurrentStream == 0) return;
  CloseStream();
  ForgetLyric();
  now_.lyricLine.clear();
  PlayerState = psStopped;
  PlayMode = pmNone;
  Publish();
}

// Previous or next in a loop mode: the playing track ends now and the next tick starts the
// entry the cursor names. The handle stays in CurrentStream; that tick replaces it.
void PlaySession::EndForLoopStep() {
  engine_.ChannelStop(CurrentStream);
  engine_.StreamFree(CurrentStream);
  now_.lyricLine.clear();
  ForgetLyric();
}

// Previous or next with no play mode: starts the row `step` away from the selected one.
void PlaySession::StepWithoutMode(int step) {
  now_.lyricLine.clear();
  ForgetLyric();
  const int i = list_.FirstSelected();
  const int target = i + step;
  if (i < 0 || target < 0 || target >= list_.Count() || PlayerState != psPlaying) return;
  const PlaylistRow row = list_.Row(target);
  OpenStream(row.path);
  if (CurrentStream == 0) {
    // The state stays playing with no stream; the next tick finds that and stops.
    pending_.streamError = engine_.LastErrorCode();
    return;
  }
  engine_.ChannelPlay(CurrentStream, false);
  PlayerState = psPlaying;
  playingRow_ = target;
  Announce(row.path, FileNamePart(row.path), row.singer, row.album);
  pending_.focusList = true;
  list_.SelectOnly(target);
}

void PlaySession::Previous() {
  if (!ready_ || !now_.canPrev) return;
  switch (PlayMode) {
    case pmLoopLst:
      EndForLoopStep();
      LstIndex -= 2;
      PlayerState = psStopped;
      break;
    case pmLoopSel:
      EndForLoopStep();
      SelIndex -= 2;
      PlayerState = psStopped;
      break;
    case pmLoopSingle:
      break;
    case pmNone:
      StepWithoutMode(-1);
      break;
  }
  Publish();
}

void PlaySession::Next() {
  if (!ready_ || !now_.canNext) return;
  switch (PlayMode) {
    case pmLoopLst:
    case pmLoopSel:
      // The cursor already names the following entry.
      EndForLoopStep();
      PlayerState = psStopped;
      break;
    case pmLoopSingle:
      break;
    case pmNone:
      StepWithoutMode(+1);
      break;
  }
  Publish();
}

MenuStates PlaySession::Menu() const {
  return PopupMenuStates(list_.Count(), !list_.Selected().empty(), CurrentStream);
}

// A mode item chosen while it carries the mark: the mode goes off and playback stops.
void PlaySession::SwitchModeOff() {
  PlayerState = psStopped;
  PlayMode = pmNone;
  CloseStream();
}

void PlaySession::SwitchLoopList() {
  if (!ready_ || !Menu().loopLst) return;
  if (PlayMode == pmLoopLst) {
    SwitchModeOff();
  } else {
    PlayMode = pmLoopLst;
    const int selected = list_.FirstSelected();
    LstIndex = selected >= 0 ? selected : 0;
  }
  Publish();
}

void PlaySession::SwitchLoopSelection() {
  if (!ready_ || !Menu().loopSel) return;
  if (PlayMode == pmLoopSel) {
    SwitchModeOff();
    SelPaths.clear();
  } else {
    SelPaths = list_.SelectedPaths();
    SelIndex = 0;
    PlayMode = pmLoopSel;
  }
  Publish();
}

void PlaySession::SwitchLoopSingle() {
  if (!ready_ || !Menu().loopSingle) return;
  if (PlayMode == pmLoopSingle) {
    SwitchModeOff();
  } else {
    PlayMode = pmLoopSingle;
  }
  Publish();
}

// ---- Refresh tick ------------------------------------------------------------------------------

// Starts the next track of list loop or loop selection. A file that cannot be played is passed
// over without a message (the cursor has moved on already); an input/output failure of the
// lyric lookup is reported.
void PlaySession::StartModeTrack(const std::string& path, const std::string& name,
                                 const std::string& artist, const std::string& album, int index) {
  OpenStream(path);
  if (engine_.ChannelPlay(CurrentStream, false)) {
    PlayerState = psPlaying;
    playingRow_ = index;
    Announce(path, name, artist, album);
    return;
  }
  PlayerState = psStopped;
  CloseStream();
}

// In list loop, a stopped player starts the row at LstIndex, which becomes the selected row.
void PlaySession::ListLoopStep(int* selectedRow) {
  if (PlayMode != pmLoopLst || PlayerState != psStopped) return;
  // With no row there is nothing to start; the mode waits for rows.
  if (list_.Count() == 0) return;
  now_.lyricLine = kLyricPlaceholder;
  ForgetLyric();
  LstIndex = WrapCursor(LstIndex, list_.Count());
  const int index = LstIndex;
  const PlaylistRow row = list_.Row(index);
  list_.SelectOnly(index);
  *selectedRow = index;
  const std::string name = FileNamePart(row.path);
  ++LstIndex;
  StartModeTrack(row.path, name, row.singer, row.album, index);
}

// In single loop, a stopped stream plays again from its start.
void PlaySession::SingleLoopStep() {
  if (PlayMode != pmLoopSingle || CurrentStream == 0 || PlayerState != psStopped) return;
  now_.lyricLine = kLyricPlaceholder;
  if (engine_.ChannelPlay(CurrentStream, false)) {
    PlayerState = psPlaying;
    if (!LyricTextEmpty(LyricLines)) ShowLyric(kHeaderInfoKey);
    return;
  }
  // The mode goes off with the track, and with it its check mark, the mode's only display.
  PlayerState = psStopped;
  PlayMode = pmNone;
  ForgetLyric();
  now_.lyricLine = kLyricPlaceholder;
  engine_.StreamFree(CurrentStream);
  CurrentStream = 0;
}

// In loop selection, a stopped player starts the path at SelIndex.
void PlaySession::LoopSelectionStep() {
  if (PlayMode != pmLoopSel || PlayerState != psStopped || SelPaths.empty()) return;
  ForgetLyric();
  now_.lyricLine = kLyricPlaceholder;
  SelIndex = WrapCursor(SelIndex, static_cast<int>(SelPaths.size()));
  const std::string path = SelPaths[static_cast<std::size_t>(SelIndex)];
  std::string name, artist, album;
  if (PathExists(path)) {
    const Id3Tag tag = ReadId3Tag(path);
    if (tag.found) {
      artist = tag.artist;
      album = tag.album;
    }
    name = FileNamePart(path);
  }
  StartModeTrack(path, name, artist, album, -1);
  ++SelIndex;
}

// The progress caption, the seek bar and the lyric line of the current second, all from one
// reading of the play position.
void PlaySession::ProgressStep(int selectedRow) {
  if (PlayerState != psStopped) {
    if (CurrentStream == 0) return;
    const TimeInfo pos = StreamPositionInfo(engine_, CurrentStream);
    const TimeInfo len = StreamLengthInfo(engine_, CurrentStream);
    now_.position = pos.seconds;
    if (len.text.empty()) {
      now_.length.reset();
    } else {
      now_.length = len.seconds;
    }
    now_.progressCaption = ProgressCaption(pos.text, len.text);
    now_.progressMax = WholeSeconds(len.seconds);
    now_.progressPosition = WholeSeconds(pos.seconds);
    progressRead_ = true;
    // The notice gives way to the header summary, or to the line heard now.
    if (noticeTicks_ > 0 && --noticeTicks_ == 0 && !LyricTextEmpty(LyricLines)) {
      ShowLyric(kHeaderInfoKey);
    }
    if (ExactLyric()) {
      ShowExactLyric(std::llround(pos.seconds * 1000), PlayerState == psPlaying);
    } else if (!LyricTextEmpty(LyricLines)) {
      ShowLyric(pos.text);
      if (noticeTicks_ == 0) {
        const auto second = static_cast<std::int64_t>(std::max(0.0, pos.seconds));
        ShowNextLine(FindLyricGroup(timed_, second * 1000 + 999, 0, 0).group);
      }
    }
    return;
  }
  const bool selected = selectedRow >= 0 && selectedRow < list_.Count();
  now_.progressCaption =
      StoppedProgressCaption(selected, selected ? list_.Row(selectedRow).length : std::string());
  now_.progressPosition = 0;
  now_.position = 0;
  progressRead_ = true;
}

// A stream that is no longer active means stopped.
void PlaySession::EndOfTrackStep() {
  if (engine_.ChannelIsActive(CurrentStream) != audio::kStopped) return;
  // The sound output went away under the track (the sound server stopped): the track stops
  // with its play mode, which would otherwise try every row in turn, and the user is told once;
  // nothing plays from then on. The next play opens the output again.
  if (engine_.LastErrorCode() == audio::kErrDevice && CurrentStream != 0 &&
      PlayerState != psStopped) {
    pending_.outputError = audio::kErrDevice;
    PlayMode = pmNone;
  }
  now_.lyricLine = kLyricPlaceholder;
  now_.lyricTranslation.clear();
  now_.lyricNextMs = -1;
  now_.lyricNextLine.clear();
  now_.lyricWords.clear();
  PlayerState = psStopped;
}

void PlaySession::Tick() {
  if (!ready_) return;
  progressRead_ = false;
  try {
    TickSteps();
  } catch (...) {
    // What the steps before the failure did is told all the same; the caller reports it.
    Publish(kTicked | (progressRead_ ? kProgressRead : 0u));
    throw;
  }
  Publish(kTicked | (progressRead_ ? kProgressRead : 0u));
}

void PlaySession::TickSteps() {
  now_.volumePacked = engine_.GetVolume();
  now_.volume = static_cast<int>(std::max(now_.volumePacked & 0xFFFFu, now_.volumePacked >> 16));
  int selectedRow = list_.FirstSelected();
  JointStep(&selectedRow);
  ListLoopStep(&selectedRow);
  SingleLoopStep();
  LoopSelectionStep();
  ProgressStep(selectedRow);
  EndOfTrackStep();
  const TransportStates b = TransportButtonStates(PlayerState, selectedRow, list_.Count());
  if (b.prev) now_.canPrev = *b.prev;
  if (b.next) now_.canNext = *b.next;
  if (b.play) now_.canPlay = *b.play;
  if (b.pause) now_.canPause = *b.pause;
  if (b.stop) now_.canStop = *b.stop;
}

// ---- The queued track ------------------------------------------------------------------------

std::string PlaySession::QueueWanted() const {
  const bool announced = CurrentStream != 0 && playing_.stream == CurrentStream;
  if (!ready_ || !announced || PlayerState == psStopped) return {};
  switch (PlayMode) {
    case pmLoopLst:
      if (list_.Count() == 0) return {};
      return list_.Row(WrapCursor(LstIndex, list_.Count())).path;
    case pmLoopSel:
      if (SelPaths.empty()) return {};
      return SelPaths[static_cast<std::size_t>(WrapCursor(SelIndex, std::ssize(SelPaths)))];
    case pmLoopSingle:
      return playing_.path;
    case pmNone:
      break;
  }
  return {};
}

void PlaySession::DropQueued() {
  if (queued_ == 0) return;
  // Freeing the queued stream cancels its queue.
  engine_.StreamFree(queued_);
  queued_ = 0;
  queuedBehind_ = 0;
  queuedPath_.clear();
}

// Opens the track the mode goes on with and hands it to the engine behind the current one; a
// queue that no longer fits (another track, another mode, a stop, rows moved) is dropped. A
// file that does not open is left to the tick, which passes over it as it always has.
void PlaySession::SyncQueue() {
  const std::string want = QueueWanted();
  if (queued_ != 0 && (want != queuedPath_ || queuedBehind_ != CurrentStream)) DropQueued();
  if (want.empty() || queued_ != 0) return;
  if (refusedBehind_ == CurrentStream && refusedPath_ == want) return;
  const audio::Handle next = engine_.StreamCreateFile(false, want, 0, 0, 0);
  if (next != 0 && engine_.ChannelQueue(CurrentStream, next)) {
    queued_ = next;
    queuedBehind_ = CurrentStream;
    queuedPath_ = want;
  } else {
    engine_.StreamFree(next);
    refusedBehind_ = CurrentStream;
    refusedPath_ = want;
  }
}

// The queued track has taken over (the current stream played out and the queued one plays): it
// becomes the current track, announced as a track the mode starts is, and the cursor moves on.
void PlaySession::JointStep(int* selectedRow) {
  if (queued_ == 0 || queuedBehind_ != CurrentStream) return;
  if (engine_.ChannelIsActive(CurrentStream) != audio::kStopped ||
      engine_.ChannelIsActive(queued_) == audio::kStopped) {
    return;
  }
  engine_.StreamFree(CurrentStream);
  CurrentStream = queued_;
  queued_ = 0;
  queuedBehind_ = 0;
  queuedPath_.clear();
  PlayerState = psPlaying;
  now_.lyricLine = kLyricPlaceholder;
  switch (PlayMode) {
    case pmLoopLst: {
      ForgetLyric();
      LstIndex = WrapCursor(LstIndex, list_.Count());
      const int index = LstIndex++;
      const PlaylistRow row = list_.Row(index);
      list_.SelectOnly(index);
      *selectedRow = index;
      playingRow_ = index;
      Announce(row.path, FileNamePart(row.path), row.singer, row.album);
      break;
    }
    case pmLoopSel: {
      ForgetLyric();
      SelIndex = WrapCursor(SelIndex, static_cast<int>(SelPaths.size()));
      const std::string path = SelPaths[static_cast<std::size_t>(SelIndex++)];
      const Id3Tag tag = ReadId3Tag(path);
      playingRow_ = -1;
      Announce(path, FileNamePart(path), tag.found ? tag.artist : std::string(),
               tag.found ? tag.album : std::string());
      break;
    }
    case pmLoopSingle:
    case pmNone:
      // The same file again, its lyric kept, as a track that plays again from its start.
      playing_.stream = CurrentStream;
      if (!LyricTextEmpty(LyricLines)) ShowLyric(kHeaderInfoKey);
      break;
  }
}

// ---- Seek bar, volume bar, stamps --------------------------------------------------------------

void PlaySession::BeginSeek() {
  if (!ready_) return;
  PlayerState = psSeeking;
  engine_.ChannelPause(CurrentStream);
  Publish();
}

void PlaySession::SeekPreview(int barSeconds) {
  if (PlayerState != psSeeking || CurrentStream == 0) return;
  const TimeInfo len = StreamLengthInfo(engine_, CurrentStream);
  const std::string at = TimeText(barSeconds);
  now_.progressCaption = ProgressCaption(at, len.text);
  if (ExactLyric()) {
    ShowExactLyric(std::int64_t{barSeconds} * 1000, false);
  } else if (!LyricTextEmpty(LyricLines)) {
    ShowLyric(at);
  }
  Publish();
}

void PlaySession::EndSeek(int barSeconds) {
  if (!ready_) return;
  PlayFrom(barSeconds);
  Publish();
}

void PlaySession::PlayFrom(double seconds) {
  const audio::Handle h = CurrentStream;
  std::uint64_t ms = seconds > 0 ? static_cast<std::uint64_t>(std::llround(seconds * 1000)) : 0;
  // The bar's last second is the length rounded, which may lie a little past the end; the seek
  // then goes to the end instead of failing and leaving the track where it was.
  const std::uint64_t length = engine_.ChannelGetLengthMs(h);
  if (length != audio::kNotAvailable) ms = std::min(ms, length);
  engine_.ChannelSetPositionMs(h, ms);
  // The seek cancelled the queue in the engine; the queued stream stands where it was.
  if (queued_ != 0 && queuedBehind_ == h && !engine_.ChannelQueue(h, queued_)) DropQueued();
  engine_.ChannelPlay(h, false);
  PlayerState = psPlaying;
  // The line of the new place at once, not at the next tick.
  if (ExactLyric()) ShowExactLyric(PositionMs(), true);
}

void PlaySession::SeekTo(double seconds) {
  // While the user holds the seek bar, its release decides where the track goes on.
  if (!ready_ || CurrentStream == 0 || PlayerState == psSeeking) return;
  PlayFrom(seconds);
  Publish();
}

void PlaySession::SetVolume(int position) {
  if (!ready_) return;
  now_.volumePacked = PackedVolume(position);
  now_.volume = static_cast<int>(now_.volumePacked & 0xFFFFu);
  engine_.SetVolume(now_.volumePacked);
  Publish(kChangedVolume);
}

int PlaySession::OutputVolume() {
  const std::uint32_t packed = engine_.GetVolume();
  return static_cast<int>(std::max(packed & 0xFFFFu, packed >> 16));
}

std::optional<std::string> PlaySession::PauseForStamp() {
  if (PlayerState != psPlaying) return std::nullopt;
  engine_.ChannelPause(CurrentStream);
  PlayerState = psPaused;
  const std::string at = StreamPositionInfo(engine_, CurrentStream).text;
  Publish();
  return at;
}

void PlaySession::ResumeFromStamp() {
  if (PlayerState != psPaused) return;
  engine_.ChannelPlay(CurrentStream, false);
  PlayerState = psPlaying;
  Publish();
}

double PlaySession::PositionSeconds() { return StreamPositionInfo(engine_, CurrentStream).seconds; }

std::int64_t PlaySession::PositionMs() {
  if (CurrentStream == 0) return 0;
  const std::uint64_t ms = engine_.ChannelGetPositionMs(CurrentStream);
  return ms == audio::kNotAvailable ? 0 : static_cast<std::int64_t>(ms);
}

std::optional<std::int64_t> PlaySession::PauseForStampMs() {
  if (PlayerState != psPlaying) return std::nullopt;
  engine_.ChannelPause(CurrentStream);
  PlayerState = psPaused;
  const std::int64_t at = PositionMs();
  if (ExactLyric()) ShowExactLyric(at, false);
  Publish();
  return at;
}

}  // namespace quillet
