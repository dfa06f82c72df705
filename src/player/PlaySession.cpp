#include "player/PlaySession.h"

#include <algorithm>

#include "audio/Engine.h"
#include "common/FileIo.h"
#include "lyrics/Lyrics.h"
#include "player/TimeTexts.h"
#include "playlist/TrackProbe.h"

namespace quillet {

namespace {

void AppendFailure(std::string* all, const std::string& failure) {
  if (failure.empty()) return;
  if (!all->empty()) *all += '\n';
  *all += failure;
}

}  // namespace

PlaySession::PlaySession(PlayerShared& state, audio::Engine& engine)
    : State(state), engine_(engine) {}

// ---- Start and end -----------------------------------------------------------------------------

bool PlaySession::BackEndOk(std::string* why) { return engine_.BackEndOk(why); }

std::optional<int> PlaySession::OpenDevice() {
  if (engine_.Init(-1, 44100, 0)) return std::nullopt;
  return engine_.LastErrorCode();
}

void PlaySession::Reset() {
  State.PlayerState = psStopped;
  State.PlayMode = pmNone;
  State.CurrentStream = 0;
  LyricLines.clear();
  SelPaths.clear();
  LstIndex = -1;
}

void PlaySession::Shutdown() {
  engine_.StreamFree(State.CurrentStream);
  State.CurrentStream = 0;
  engine_.Free();
  LyricLines.clear();
  SelPaths.clear();
}

// ---- Lyric -------------------------------------------------------------------------------------

std::optional<std::string> PlaySession::LyricFor(const std::string& key) const {
  std::string text = ShowLyricText(LyricLines, key);
  if (text.empty()) return std::nullopt;
  return text;
}

void PlaySession::ShowLyric(const std::string& key, Shown* shown) const {
  if (auto text = LyricFor(key)) shown->strip = std::move(*text);
}

Shown PlaySession::Announce(const std::string& path, const std::string& name,
                            const std::string& artist, const std::string& album) {
  playing_ = Track{State.CurrentStream, path, name, artist, album};
  Shown shown;
  IoResult io;
  const std::string lyricPath = LyricFileName(path, &State.LyricDir, &io);
  // An unreadable settings file is reported; the lookup goes on beside the audio file.
  if (!io.ok) AppendFailure(&shown.failure, io.error);
  if (IsRegularFile(lyricPath)) {
    const IoResult read = LoadLyricFile(lyricPath, &LyricLines);
    if (read.ok) {
      if (!LyricTextEmpty(LyricLines)) ShowLyric(kHeaderInfoKey, &shown);
      return shown;
    }
    // The track plays on without its lyric; the strip says what it is instead.
    AppendFailure(&shown.failure, read.error);
  }
  shown.strip = TrackInfoLine(name, artist, album);
  return shown;
}

// ---- Commands ----------------------------------------------------------------------------------

// The one stream is replaced: the old handle is freed (whatever it was) and the file opened.
void PlaySession::OpenStream(const std::string& path) {
  engine_.StreamFree(State.CurrentStream);
  State.CurrentStream = engine_.StreamCreateFile(false, path, 0, 0, 0);
}

void PlaySession::CloseStream() {
  engine_.ChannelStop(State.CurrentStream);
  engine_.StreamFree(State.CurrentStream);
  State.CurrentStream = 0;
}

void PlaySession::StartRowAfresh(const PlaylistRow& r, Shown* shown) {
  engine_.ChannelStop(State.CurrentStream);
  OpenStream(r.path);
  if (State.CurrentStream != 0) {
    const Shown announced = Announce(r.path, FileNamePart(r.path), r.singer, r.album);
    if (announced.strip) shown->strip = announced.strip;
    engine_.ChannelPlay(State.CurrentStream, false);
    State.PlayerState = psPlaying;
    AppendFailure(&shown->failure, announced.failure);
    return;
  }
  // The state is settled before the box opens: ticks run while it is open, and one may start a
  // track in a play mode, which must not be undone when the box closes.
  shown->streamError = engine_.LastErrorCode();
  State.PlayerState = psStopped;
}

Shown PlaySession::Play(const PlaylistRow* selected) {
  Shown shown;
  if (selected == nullptr) return shown;
  if (State.PlayerState == psPaused) {
    engine_.ChannelPlay(State.CurrentStream, false);
    State.PlayerState = psPlaying;
    return shown;
  }
  shown.strip = std::string();
  LyricLines.clear();
  StartRowAfresh(*selected, &shown);
  return shown;
}

Shown PlaySession::PlayAfresh(const PlaylistRow* selected) {
  Shown shown;
  shown.strip = kLyricPlaceholder;
  LyricLines.clear();
  if (selected != nullptr) StartRowAfresh(*selected, &shown);
  return shown;
}

void PlaySession::Pause() {
  if (State.CurrentStream == 0) return;
  engine_.ChannelPause(State.CurrentStream);
  State.PlayerState = psPaused;
}

Shown PlaySession::Stop() {
  Shown shown;
  if (State.CurrentStream == 0) return shown;
  CloseStream();
  LyricLines.clear();
  shown.strip = std::string();
  State.PlayerState = psStopped;
  State.PlayMode = pmNone;
  return shown;
}

// Previous or next in a loop mode: the playing track ends now and the next tick starts the
// entry the cursor names. The handle stays in CurrentStream; that tick replaces it.
void PlaySession::EndForLoopStep(Shown* shown) {
  engine_.ChannelStop(State.CurrentStream);
  engine_.StreamFree(State.CurrentStream);
  shown->strip = std::string();
  LyricLines.clear();
}

// Previous or next with no play mode: starts the row `step` away from the selected one.
void PlaySession::StepWithoutMode(const std::vector<PlaylistRow>& rows, int selectedRow, int step,
                                  Shown* shown) {
  shown->strip = std::string();
  LyricLines.clear();
  const int i = selectedRow;
  const int target = i + step;
  if (i < 0 || target < 0 || target >= std::ssize(rows) || State.PlayerState != psPlaying) return;
  const PlaylistRow& row = rows[static_cast<std::size_t>(target)];
  OpenStream(row.path);
  if (State.CurrentStream == 0) {
    // The state stays playing with no stream; the next tick finds that and stops.
    shown->streamError = engine_.LastErrorCode();
    return;
  }
  engine_.ChannelPlay(State.CurrentStream, false);
  State.PlayerState = psPlaying;
  const Shown announced = Announce(row.path, FileNamePart(row.path), row.singer, row.album);
  if (announced.strip) shown->strip = announced.strip;
  shown->failure = announced.failure;
  shown->focusList = true;
  shown->selectOnly = target;
}

Shown PlaySession::Previous(const std::vector<PlaylistRow>& rows, int selectedRow) {
  Shown shown;
  switch (State.PlayMode) {
    case pmLoopLst:
      EndForLoopStep(&shown);
      LstIndex -= 2;
      State.PlayerState = psStopped;
      break;
    case pmLoopSel:
      EndForLoopStep(&shown);
      SelIndex -= 2;
      State.PlayerState = psStopped;
      break;
    case pmLoopSingle:
      break;
    case pmNone:
      StepWithoutMode(rows, selectedRow, -1, &shown);
      break;
  }
  return shown;
}

Shown PlaySession::Next(const std::vector<PlaylistRow>& rows, int selectedRow) {
  Shown shown;
  switch (State.PlayMode) {
    case pmLoopLst:
    case pmLoopSel:
      // The cursor already names the following entry.
      EndForLoopStep(&shown);
      State.PlayerState = psStopped;
      break;
    case pmLoopSingle:
      break;
    case pmNone:
      StepWithoutMode(rows, selectedRow, +1, &shown);
      break;
  }
  return shown;
}

// A mode item chosen while it carries the mark: the mode goes off and playback stops.
void PlaySession::SwitchModeOff() {
  State.PlayerState = psStopped;
  State.PlayMode = pmNone;
  CloseStream();
}

void PlaySession::SwitchLoopList(bool checked, int selectedRow) {
  if (checked) {
    SwitchModeOff();
    return;
  }
  State.PlayMode = pmLoopLst;
  LstIndex = selectedRow >= 0 ? selectedRow : 0;
}

void PlaySession::SwitchLoopSelection(bool checked, const std::vector<std::string>& selectedPaths) {
  if (checked) {
    SwitchModeOff();
    SelPaths.clear();
    return;
  }
  SelPaths = selectedPaths;
  SelIndex = 0;
  State.PlayMode = pmLoopSel;
}

void PlaySession::SwitchLoopSingle(bool checked) {
  if (checked) {
    SwitchModeOff();
    return;
  }
  State.PlayMode = pmLoopSingle;
}

// ---- Refresh tick ------------------------------------------------------------------------------

// Starts the next track of list loop or loop selection. A file that cannot be played is passed
// over without a message (the cursor has moved on already); an input/output failure of the
// lyric lookup comes back as its text.
std::string PlaySession::StartModeTrack(const std::string& path, const std::string& name,
                                        const std::string& artist, const std::string& album,
                                        Shown* shown) {
  OpenStream(path);
  if (engine_.ChannelPlay(State.CurrentStream, false)) {
    State.PlayerState = psPlaying;
    Shown announced = Announce(path, name, artist, album);
    if (announced.strip) shown->strip = std::move(announced.strip);
    return announced.failure;
  }
  State.PlayerState = psStopped;
  CloseStream();
  return {};
}

// In list loop, a stopped player starts the row at LstIndex, which becomes the selected row.
std::string PlaySession::ListLoopStep(const std::vector<PlaylistRow>& rows, int* selectedRow,
                                      TickShown* t) {
  if (State.PlayMode != pmLoopLst || State.PlayerState != psStopped) return {};
  // With no row there is nothing to start; the mode waits for rows.
  if (rows.empty()) return {};
  t->strip = kLyricPlaceholder;
  LyricLines.clear();
  LstIndex = WrapCursor(LstIndex, static_cast<int>(rows.size()));
  const PlaylistRow& row = rows[static_cast<std::size_t>(LstIndex)];
  t->selectOnly = LstIndex;
  *selectedRow = LstIndex;
  const std::string name = FileNamePart(row.path);
  ++LstIndex;
  return StartModeTrack(row.path, name, row.singer, row.album, t);
}

// In single loop, a stopped stream plays again from its start.
void PlaySession::SingleLoopStep(TickShown* t) {
  if (State.PlayMode != pmLoopSingle || State.CurrentStream == 0 ||
      State.PlayerState != psStopped) {
    return;
  }
  t->strip = kLyricPlaceholder;
  if (engine_.ChannelPlay(State.CurrentStream, false)) {
    State.PlayerState = psPlaying;
    if (!LyricTextEmpty(LyricLines)) ShowLyric(kHeaderInfoKey, t);
    return;
  }
  // The mode goes off with the track, and with it its check mark, the mode's only display.
  State.PlayerState = psStopped;
  State.PlayMode = pmNone;
  LyricLines.clear();
  t->strip = kLyricPlaceholder;
  engine_.StreamFree(State.CurrentStream);
  State.CurrentStream = 0;
}

// In loop selection, a stopped player starts the path at SelIndex.
std::string PlaySession::LoopSelectionStep(TickShown* t) {
  if (State.PlayMode != pmLoopSel || State.PlayerState != psStopped || SelPaths.empty()) return {};
  LyricLines.clear();
  t->strip = kLyricPlaceholder;
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
  const std::string failure = StartModeTrack(path, name, artist, album, t);
  ++SelIndex;
  return failure;
}

// The progress caption, the seek bar and the lyric line of the current second, all from one
// reading of the play position.
void PlaySession::ProgressStep(const std::vector<PlaylistRow>& rows, int selectedRow,
                               TickShown* t) {
  if (State.PlayerState != psStopped) {
    if (State.CurrentStream == 0) return;
    const TimeInfo pos = StreamPositionInfo(engine_, State.CurrentStream);
    const TimeInfo len = StreamLengthInfo(engine_, State.CurrentStream);
    t->progressCaption = ProgressCaption(pos.text, len.text);
    t->progressMax = WholeSeconds(len.seconds);
    t->progressPosition = WholeSeconds(pos.seconds);
    if (!LyricTextEmpty(LyricLines)) ShowLyric(pos.text, t);
    return;
  }
  const bool selected = selectedRow >= 0 && selectedRow < std::ssize(rows);
  t->progressCaption = StoppedProgressCaption(
      selected, selected ? rows[static_cast<std::size_t>(selectedRow)].length : std::string());
  t->progressPosition = 0;
}

// A stream that is no longer active means stopped.
void PlaySession::EndOfTrackStep(TickShown* t) {
  if (engine_.ChannelIsActive(State.CurrentStream) != audio::kStopped) return;
  // The sound output went away under the track (the sound server stopped): the track stops
  // with its play mode, which would otherwise try every row in turn, and the user is told once;
  // nothing plays from then on. The next play opens the output again.
  if (engine_.LastErrorCode() == audio::kErrDevice && State.CurrentStream != 0 &&
      State.PlayerState != psStopped) {
    t->outputError = audio::kErrDevice;
    State.PlayMode = pmNone;
  }
  t->strip = kLyricPlaceholder;
  State.PlayerState = psStopped;
}

TickShown PlaySession::Tick(const std::vector<PlaylistRow>& rows, int selectedRow, int volumeBar) {
  TickShown t;
  t.volumeBar = VolumeBarFollow(engine_.GetVolume(), volumeBar);
  AppendFailure(&t.failure, ListLoopStep(rows, &selectedRow, &t));
  SingleLoopStep(&t);
  AppendFailure(&t.failure, LoopSelectionStep(&t));
  ProgressStep(rows, selectedRow, &t);
  EndOfTrackStep(&t);
  t.buttons = TransportButtonStates(State.PlayerState, selectedRow, static_cast<int>(rows.size()));
  return t;
}

// ---- Seek bar, volume bar, stamps --------------------------------------------------------------

void PlaySession::BeginSeek() {
  State.PlayerState = psSeeking;
  engine_.ChannelPause(State.CurrentStream);
}

SeekShown PlaySession::SeekPreview(int barSeconds) {
  SeekShown shown;
  if (State.PlayerState != psSeeking || State.CurrentStream == 0) return shown;
  const TimeInfo len = StreamLengthInfo(engine_, State.CurrentStream);
  const std::string at = TimeText(barSeconds);
  shown.progressCaption = ProgressCaption(at, len.text);
  if (!LyricTextEmpty(LyricLines)) shown.strip = LyricFor(at);
  return shown;
}

void PlaySession::EndSeek(int barSeconds) { PlayFrom(barSeconds); }

void PlaySession::PlayFrom(double seconds) {
  const audio::Handle h = State.CurrentStream;
  std::uint64_t bytes = engine_.ChannelSeconds2Bytes(h, seconds);
  // The bar's last second is the length rounded, which may lie a little past the end; the seek
  // then goes to the end instead of failing and leaving the track where it was.
  const std::uint64_t length = engine_.ChannelGetLength(h);
  if (length != audio::kNotAvailable && bytes != audio::kNotAvailable && bytes > length) {
    bytes = length;
  }
  engine_.ChannelSetPosition(h, bytes);
  engine_.ChannelPlay(h, false);
  State.PlayerState = psPlaying;
}

void PlaySession::SetVolumeFromBar(int barPosition) {
  engine_.SetVolume(PackedVolume(barPosition));
}

int PlaySession::OutputVolume() {
  const std::uint32_t packed = engine_.GetVolume();
  return static_cast<int>(std::max(packed & 0xFFFFu, packed >> 16));
}

std::optional<std::string> PlaySession::PauseForStamp() {
  if (State.PlayerState != psPlaying) return std::nullopt;
  engine_.ChannelPause(State.CurrentStream);
  State.PlayerState = psPaused;
  return StreamPositionInfo(engine_, State.CurrentStream).text;
}

void PlaySession::ResumeFromStamp() {
  if (State.PlayerState != psPaused) return;
  engine_.ChannelPlay(State.CurrentStream, false);
  State.PlayerState = psPlaying;
}

// ---- Media controls ----------------------------------------------------------------------------

const PlaySession::Track* PlaySession::PlayingTrack() const {
  if (State.CurrentStream == 0 || playing_.stream != State.CurrentStream) return nullptr;
  return &playing_;
}

double PlaySession::PositionSeconds() {
  return StreamPositionInfo(engine_, State.CurrentStream).seconds;
}

std::optional<double> PlaySession::LengthSeconds() {
  const audio::Handle h = State.CurrentStream;
  if (h == 0) return std::nullopt;
  const std::uint64_t bytes = engine_.ChannelGetLength(h);
  if (bytes == audio::kNotAvailable) return std::nullopt;
  const double seconds = engine_.ChannelBytes2Seconds(h, bytes);
  if (!(seconds >= 0)) return std::nullopt;
  return seconds;
}

void PlaySession::SeekTo(double seconds) {
  if (State.CurrentStream == 0) return;
  if (!(seconds > 0)) seconds = 0;
  if (const std::optional<double> length = LengthSeconds()) seconds = std::min(seconds, *length);
  PlayFrom(seconds);
}

}  // namespace quillet
