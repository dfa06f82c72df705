#include "shell/MainMpris.h"

#include <QFileInfo>
#include <QUrl>
#include <cmath>
#include <cstdio>

#include "common/AppId.h"
#include "common/DisplayText.h"
#include "platform/Mpris.h"
#include "player/PlaySession.h"
#include "player/PlaybackRules.h"
#include "playlist/CoverArt.h"
#include "playlist/TagReader.h"

namespace quillet {

namespace {

// What the desktop asks, done with the player's own commands: a command the player would refuse
// at the moment (its button or menu item is off) does nothing.
class PlayerControls final : public MediaControls {
 public:
  PlayerControls(PlaySession& p, ProgramWindow& window) : p_(p), window_(window) {}

  Now Current() override {
    const PlayerSnapshot& s = p_.Snapshot();
    Now n;
    switch (s.state) {
      case psPlaying:
        n.status = Status::Playing;
        break;
      case psPaused:
      case psSeeking:  // held on the seek bar, the track is paused
        n.status = Status::Paused;
        break;
      case psStopped:
        n.status = Status::Stopped;
        break;
    }
    switch (s.mode) {
      case pmLoopSingle:
        n.loop = Loop::Track;
        break;
      case pmLoopLst:
      case pmLoopSel:
        n.loop = Loop::Playlist;
        break;
      case pmNone:
        n.loop = Loop::None;
        break;
    }
    n.volume = VolumeFraction(p_.OutputVolume());
    // The transport commands, except that a track that plays can still be played and one that
    // is paused can still be paused (both commands then leave it as it is): to the desktop these
    // say whether there is a track to play or pause, whatever it does at the moment.
    n.canPlay = s.canPlay || s.state == psPlaying;
    n.canPause = s.canPause || s.state == psPaused;
    n.canGoNext = s.canNext;
    n.canGoPrevious = s.canPrev;
    n.canSeek = s.stream != 0;
    if (s.track) {
      const PlayingTrack& t = *s.track;
      // Stream handles are never reused, so each start of a track has an id of its own.
      n.track.id = QStringLiteral("/io/github/quillet/Quillet/track/%1").arg(t.stream);
      if (s.length) n.track.lengthUs = std::llround(*s.length * 1e6);
      const QString path = PathText(t.path);
      if (!path.isEmpty()) {
        n.track.url = QString::fromLatin1(
            QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toEncoded());
      }
      // As the playlist shows them; the padding of tag fields is not part of the text.
      n.track.title = DisplayTagText(t.name).trimmed();
      n.track.artist = DisplayTagText(t.artist).trimmed();
      n.track.album = DisplayTagText(t.album).trimmed();
      // The best tag the file carries goes before them, field by field.
      const TrackTags& tags = TagsOf(t);
      auto take = [](QString* field, const std::string& utf8) {
        const QString text = QString::fromStdString(utf8).trimmed();
        if (!text.isEmpty()) *field = text;
      };
      take(&n.track.title, tags.texts.title);
      take(&n.track.artist, tags.texts.artist);
      take(&n.track.album, tags.texts.album);
      take(&n.track.albumArtist, tags.texts.albumArtist);
      n.track.trackNumber = tags.texts.trackNumber;
      n.track.artUrl = tags.artUrl;
      n.track.lyricText = QString::fromUtf8(s.lyricText);
      // The strip's line while the track has a lyric (not the track's name shown instead).
      if (!s.lyricText.empty()) n.track.currentLine = QString::fromUtf8(s.lyricLine);
    }
    return n;
  }

  std::int64_t PositionUs() override { return std::llround(p_.PositionSeconds() * 1e6); }

  void Play() override { p_.Play(); }
  void Pause() override { p_.Pause(); }
  void Stop() override { p_.Stop(); }
  void Next() override { p_.Next(); }
  void Previous() override { p_.Previous(); }
  void SeekTo(std::int64_t us) override { p_.SeekTo(static_cast<double>(us) / 1e6); }

  void SetVolume(double volume) override {
    // The volume bar follows, as it follows any change of the output volume.
    p_.SetVolume(VolumePosition(volume));
  }

  // As the context menu's mode items: only those the menu would offer now, and an item that
  // carries its mark switches its mode off when chosen (which stops playback).
  void SetLoop(Loop loop) override {
    const TPlayMode mode = p_.Snapshot().mode;
    switch (loop) {
      case Loop::Track:
        if (mode != pmLoopSingle) p_.SwitchLoopSingle();
        break;
      case Loop::Playlist:
        if (mode != pmLoopLst && mode != pmLoopSel) p_.SwitchLoopList();
        break;
      case Loop::None:
        if (mode == pmLoopLst) p_.SwitchLoopList();
        if (mode == pmLoopSel) p_.SwitchLoopSelection();
        if (mode == pmLoopSingle) p_.SwitchLoopSingle();
        break;
    }
  }

  // As dropping the file on the window and double-clicking its new row.
  void OpenFile(const std::string& path) override {
    if (!Ready()) return;
    TrackList& list = p_.List();
    const int before = list.Count();
    list.Append(list.Probe(path));
    if (list.Count() > before) p_.PlayRow(list.Count() - 1);
  }

  void Raise() override {
    if (Ready()) window_.ShowProgram();
  }
  void Quit() override {
    if (Ready()) window_.Exit();
  }

 private:
  // Before start-up has finished and after exit, nothing acts.
  bool Ready() const { return p_.Snapshot().ready; }

  // What the playing track's file carries, read once when it starts (not at every tick): its
  // tag texts, and its cover written to the cache folder.
  struct TrackTags {
    TagTexts texts;
    QString artUrl;
  };
  const TrackTags& TagsOf(const PlayingTrack& t) {
    if (t.stream == tagsStream_) return tags_;
    tagsStream_ = t.stream;
    tags_ = TrackTags();
    const EmbeddedTags read = ReadEmbeddedTags(
        t.path, LegacyEncodingFor(p_.Shared.options.tagEncoding), kTagTexts | kTagCover);
    tags_.texts = read.texts;
    if (!read.cover.Empty()) {
      std::string file;
      const IoResult saved = SaveCoverArt(read.cover, &file);
      if (saved.ok && !file.empty()) {
        tags_.artUrl = QString::fromStdString(FileUrl(file));
      } else {
        // The desktop goes without the picture; the reason is said once per track start.
        std::fprintf(stderr,
                     "quillet: the cover of %s could not be kept for the media controls: %s\n",
                     t.path.c_str(), saved.ok ? "no cache folder" : saved.error.c_str());
      }
    }
    return tags_;
  }

  PlaySession& p_;
  ProgramWindow& window_;
  std::uint32_t tagsStream_ = 0;
  TrackTags tags_;
};

}  // namespace

MainMpris::MainMpris(PlaySession& player, std::unique_ptr<MediaControls> controls,
                     std::unique_ptr<MprisService> service)
    : player_(player), controls_(std::move(controls)), service_(std::move(service)) {
  // Announced once a tick has brought the transport commands in line with what a command did, so
  // that one change on the desktop's side is one announcement. A lyric line changed between ticks
  // (exact timing) is announced at once; the service sends only what differs from before.
  listening_ = player_.Subscribe([s = service_.get()](unsigned changes) {
    if ((changes & kTicked) || changes == kChangedLyric) s->Announce();
  });
}

MainMpris::~MainMpris() { player_.Unsubscribe(listening_); }

std::unique_ptr<MainMpris> MainMpris::Start(PlaySession& player, ProgramWindow& window) {
  auto controls = std::make_unique<PlayerControls>(player, window);
  std::unique_ptr<MprisService> service =
      MprisService::Start(*controls, QString::fromLatin1(kAppId));
  if (!service) return nullptr;
  return std::unique_ptr<MainMpris>(new MainMpris(player, std::move(controls), std::move(service)));
}

const QString& MainMpris::BusName() const { return service_->BusName(); }

}  // namespace quillet
