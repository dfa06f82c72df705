#include "shell/MainMpris.h"

#include <QFileInfo>
#include <QItemSelectionModel>
#include <QUrl>
#include <cmath>

#include "common/AppId.h"
#include "common/DisplayText.h"
#include "platform/Mpris.h"
#include "player/PlaySession.h"
#include "player/PlaybackRules.h"
#include "shell/TfrmMain.h"

namespace quillet {

namespace {

constexpr double kVolumeSteps = 65535.0;

// What the desktop asks, done with the window's own commands: a command whose button (or menu
// item) is off at the moment does nothing, as a click on it would.
class WindowControls final : public MediaControls {
 public:
  explicit WindowControls(TfrmMain& w) : w_(w) {}

  Now Current() override {
    Now n;
    switch (w_.State.PlayerState) {
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
    switch (w_.State.PlayMode) {
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
    n.volume = w_.Session.OutputVolume() / kVolumeSteps;
    // The buttons, except that a track that plays can still be played and one that is paused
    // can still be paused (both commands then leave it as it is): to the desktop these say
    // whether there is a track to play or pause, whatever it does at the moment.
    n.canPlay = w_.btnPlay->isEnabled() || w_.State.PlayerState == psPlaying;
    n.canPause = w_.btnPause->isEnabled() || w_.State.PlayerState == psPaused;
    n.canGoNext = w_.btnNext->isEnabled();
    n.canGoPrevious = w_.btnPrev->isEnabled();
    n.canSeek = w_.State.CurrentStream != 0;
    if (const PlaySession::Track* t = w_.Session.PlayingTrack()) {
      // Stream handles are never reused, so each start of a track has an id of its own.
      n.track.id = QStringLiteral("/io/github/quillet/Quillet/track/%1").arg(t->stream);
      if (const std::optional<double> length = w_.Session.LengthSeconds()) {
        n.track.lengthUs = std::llround(*length * 1e6);
      }
      const QString path = PathText(t->path);
      if (!path.isEmpty()) {
        n.track.url = QString::fromLatin1(
            QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toEncoded());
      }
      // As the playlist shows them; the padding of tag fields is not part of the text.
      n.track.title = DisplayTagText(t->name).trimmed();
      n.track.artist = DisplayTagText(t->artist).trimmed();
      n.track.album = DisplayTagText(t->album).trimmed();
    }
    return n;
  }

  std::int64_t PositionUs() override { return std::llround(w_.Session.PositionSeconds() * 1e6); }

  void Play() override {
    if (Ready() && w_.btnPlay->isEnabled()) w_.btnPlayClick();
  }
  void Pause() override {
    if (Ready() && w_.btnPause->isEnabled()) w_.btnPauseClick();
  }
  void Stop() override {
    if (Ready() && w_.btnStop->isEnabled()) w_.btnStopClick();
  }
  void Next() override {
    if (Ready() && w_.btnNext->isEnabled()) w_.btnNextClick();
  }
  void Previous() override {
    if (Ready() && w_.btnPrev->isEnabled()) w_.btnPrevClick();
  }

  void SeekTo(std::int64_t us) override {
    // While the user holds the seek bar, its release decides where the track goes on.
    if (!Ready() || w_.State.PlayerState == psSeeking) return;
    w_.Session.SeekTo(static_cast<double>(us) / 1e6);
  }

  void SetVolume(double volume) override {
    if (!Ready()) return;
    // The volume bar follows on the next tick, as it follows any change of the output volume.
    w_.Session.SetVolumeFromBar(static_cast<int>(std::lround(volume * kVolumeSteps)));
  }

  // As the context menu's mode items: only those the menu would offer now, and an item that
  // carries its mark switches its mode off when chosen (which stops playback).
  void SetLoop(Loop loop) override {
    if (!Ready()) return;
    const MenuStates m =
        PopupMenuStates(w_.RowCount(), !w_.SelectedRows().empty(), w_.State.CurrentStream);
    const bool list = w_.ItemLoopLst->isChecked();
    const bool selection = w_.ItemLoopSel->isChecked();
    const bool single = w_.ItemLoopSingle->isChecked();
    switch (loop) {
      case Loop::Track:
        if (!single && m.loopSingle) w_.ItemLoopSingleClick();
        break;
      case Loop::Playlist:
        if (!list && !selection && m.loopLst) w_.ItemLoopLstClick();
        break;
      case Loop::None:
        if (list && m.loopLst) w_.ItemLoopLstClick();
        if (selection && m.loopSel) w_.ItemLoopSelClick();
        if (single && m.loopSingle) w_.ItemLoopSingleClick();
        break;
    }
  }

  // As dropping the file on the window and double-clicking its new row.
  void OpenFile(const std::string& path) override {
    if (!Ready()) return;
    const int before = w_.RowCount();
    w_.WMDropFiles({path});
    if (w_.RowCount() <= before) return;
    w_.ListViewLst->selectionModel()->setCurrentIndex(
        w_.ListModel->index(w_.RowCount() - 1, 0),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    w_.ListViewLstDblClick();
  }

  void Raise() override {
    if (Ready()) w_.ShowProgram();
  }
  void Quit() override {
    if (Ready()) w_.btnExitAppClick();
  }

 private:
  // Before the creation step has finished and after exit, nothing acts.
  bool Ready() const { return w_.State.Ready; }

  TfrmMain& w_;
};

}  // namespace

MainMpris::MainMpris(TfrmMain& main, std::unique_ptr<MediaControls> controls,
                     std::unique_ptr<MprisService> service)
    : main_(main), controls_(std::move(controls)), service_(std::move(service)) {
  main_.AfterTick = [s = service_.get()] { s->Announce(); };
}

MainMpris::~MainMpris() { main_.AfterTick = nullptr; }

std::unique_ptr<MainMpris> MainMpris::Start(TfrmMain& main) {
  auto controls = std::make_unique<WindowControls>(main);
  std::unique_ptr<MprisService> service =
      MprisService::Start(*controls, QString::fromLatin1(kAppId));
  if (!service) return nullptr;
  return std::unique_ptr<MainMpris>(new MainMpris(main, std::move(controls), std::move(service)));
}

const QString& MainMpris::BusName() const { return service_->BusName(); }

}  // namespace quillet
