// The whole program on the scripted engine for playback tests, with dialogs that can run code
// while a box is "open" (as the refresh timer can, behind a modal box).
#pragma once

#include <QItemSelectionModel>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/PlayerState.h"
#include "player/PlaySession.h"
#include "playlist/TrackProbe.h"
#include "shell/TfrmAbout.h"
#include "shell/TfrmConfig.h"
#include "shell/TfrmLyric.h"
#include "shell/TfrmMain.h"
#include "support/AppFixture.h"
#include "support/ScriptedDialogs.h"
#include "support/ScriptedEngine.h"

namespace quillet::testing {

// Scripted dialogs that can run code once, while the next box is "open".
class HookDialogs : public ScriptedDialogs {
 public:
  std::function<void()> whileOpen;
  Answer message(QWidget* owner, const QString& title, const QString& text, Icon icon,
                 Buttons buttons) override {
    if (whileOpen) {
      auto f = std::move(whileOpen);
      whileOpen = nullptr;
      f();
    }
    return ScriptedDialogs::message(owner, title, text, icon, buttons);
  }
};

// The program on the scripted engine (or a real one), started in a fresh working directory, the
// refresh timer stopped so that ticks come from the test only.
class PlayRig {
 public:
  explicit PlayRig(audio::Engine* engine = nullptr,
                   const std::function<void(const std::string&)>& beforeStart = {}) {
    if (engine == nullptr) {
      own_ = std::make_unique<ScriptedEngine>();
      engine = own_.get();
    }
    AppFixture::Options o;
    o.engine = engine;
    o.dialogs = &dialogs;
    o.beforeStart = beforeStart;
    app_ = std::make_unique<AppFixture>(o);
  }
  PlayRig(const PlayRig&) = delete;
  PlayRig& operator=(const PlayRig&) = delete;

  HookDialogs dialogs;

  TfrmMain& main() { return app_->main(); }
  TfrmConfig& config() { return app_->config(); }
  PlayerShared& state() { return app_->state(); }
  PlaySession& session() { return app_->session(); }
  // The scripted engine (only when the rig made it).
  ScriptedEngine& engine() { return *own_; }
  const std::string& dir() const { return app_->workDir(); }
  std::string File(const std::string& name) const { return dir() + "/" + name; }

  // One refresh tick, called as the timer would; the timer is stopped again afterwards so the
  // next tick also comes from the test.
  void Tick(int n = 1) {
    for (int i = 0; i < n; ++i) {
      main().Transport->ShowTimerTimer();
      main().ShowTimer->stop();
    }
  }
  // A row as the probe would make it, without touching the disk.
  void AddRow(const std::string& path, const std::string& length = "03:00",
              const std::string& singer = {}, const std::string& album = {}) {
    main().Player.List().Append(PlaylistRow{FileNamePart(path), singer, album, length, path});
  }
  // A scripted file and its row.
  void AddTrack(const std::string& path, double seconds = 180) {
    own_->AddFile(path, seconds);
    AddRow(path);
  }
  void Select(const std::vector<int>& rows, int focused = -1) {
    QItemSelectionModel* sm = main().ListViewLst->selectionModel();
    sm->clearSelection();
    for (int r : rows) {
      sm->select(main().ListModel->index(r, 0),
                 QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    if (focused >= 0) {
      sm->setCurrentIndex(main().ListModel->index(focused, 0), QItemSelectionModel::NoUpdate);
    }
  }
  std::string Panel() { return main().PanelLyric->text().toStdString(); }
  std::string Progress() { return main().GBPlayProgress->title().toStdString(); }
  audio::Handle Current() { return session().Snapshot().stream; }
  const PlayerSnapshot& now() { return session().Snapshot(); }

 private:
  // Declared before the fixture, so the engine outlives the windows.
  std::unique_ptr<ScriptedEngine> own_;
  std::unique_ptr<AppFixture> app_;
};

}  // namespace quillet::testing
