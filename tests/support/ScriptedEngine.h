// An audio engine whose streams the test drives by hand (position, end, failures), and a rig
// that starts the whole program on it in a fresh working directory, with dialogs that can run
// code while a box is "open" (as the refresh timer can, behind a modal box).
#pragma once

#include <QItemSelectionModel>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/PlayerState.h"
#include "player/audio/AudioEngine.h"
#include "playlist/TrackProbe.h"
#include "shell/Application.h"
#include "shell/TfrmAbout.h"
#include "shell/TfrmConfig.h"
#include "shell/TfrmLyric.h"
#include "shell/TfrmMain.h"
#include "support/ScriptedDialogs.h"
#include "support/fixtures/FileFixtures.h"

namespace quillet::testing {

class ScriptedEngine : public audio::AudioEngine {
 public:
  // 44100 Hz, 2 channels, 16 bits.
  static constexpr double kBytesPerSecond = 176400;

  struct File {
    double seconds = 180;
    bool lengthKnown = true;
    bool playFails = false;
  };
  enum class St { Fresh, Playing, Paused, Stopped, Ended };
  struct Stream {
    std::string path;
    File file;
    double pos = 0;
    St st = St::Fresh;
  };

  std::map<std::string, File> files;  // what opens; anything else fails with kErrFileOpen
  std::map<audio::Handle, Stream> streams;
  std::vector<std::string> calls;  // "create <path>", "play <h>", "free <h>", ...
  std::uint32_t volume = 0xFFFFFFFFu;
  int setVolumeCalls = 0;
  bool throwOnVolume = false;
  audio::Handle nextHandle = 100;

  void AddFile(const std::string& path, double seconds = 180) { files[path].seconds = seconds; }

  bool Init(int, std::uint32_t, std::uint32_t) override {
    SetErrorCode(audio::kOk);
    return true;
  }
  bool Free() override {
    streams.clear();
    calls.push_back("free-engine");
    return true;
  }
  audio::Handle StreamCreateFile(bool, const std::string& path, std::uint64_t, std::uint64_t,
                                 std::uint32_t) override {
    calls.push_back("create " + path);
    auto f = files.find(path);
    if (f == files.end()) {
      SetErrorCode(audio::kErrFileOpen);
      return 0;
    }
    const audio::Handle h = nextHandle++;
    streams[h] = Stream{path, f->second};
    SetErrorCode(audio::kOk);
    return h;
  }
  bool StreamFree(audio::Handle h) override {
    calls.push_back("free " + std::to_string(h));
    return streams.erase(h) > 0 ? Ok() : Fail(audio::kErrHandle);
  }
  bool ChannelPlay(audio::Handle h, bool restart) override {
    calls.push_back("play " + std::to_string(h));
    Stream* s = Find(h);
    if (s == nullptr) return Fail(audio::kErrHandle);
    if (s->file.playFails) return Fail(audio::kErrUnknown);
    if (restart || s->st == St::Ended) s->pos = 0;
    s->st = St::Playing;
    return Ok();
  }
  bool ChannelPause(audio::Handle h) override {
    calls.push_back("pause " + std::to_string(h));
    Stream* s = Find(h);
    if (s == nullptr) return Fail(audio::kErrHandle);
    if (s->st != St::Playing) return Fail(audio::kErrNotPlaying);
    s->st = St::Paused;
    return Ok();
  }
  bool ChannelStop(audio::Handle h) override {
    calls.push_back("stop " + std::to_string(h));
    Stream* s = Find(h);
    if (s == nullptr) return Fail(audio::kErrHandle);
    s->st = St::Stopped;
    return Ok();
  }
  std::uint32_t ChannelIsActive(audio::Handle h) override {
    Stream* s = Find(h);
    if (s == nullptr) return audio::kStopped;
    if (s->st == St::Playing) return audio::kPlaying;
    if (s->st == St::Paused) return audio::kPaused;
    return audio::kStopped;
  }
  std::uint64_t ChannelGetLength(audio::Handle h) override {
    Stream* s = Find(h);
    if (s == nullptr || !s->file.lengthKnown) return audio::kNotAvailable;
    return Bytes(s->file.seconds);
  }
  std::uint64_t ChannelGetPosition(audio::Handle h) override {
    Stream* s = Find(h);
    return s == nullptr ? audio::kNotAvailable : Bytes(s->pos);
  }
  double ChannelBytes2Seconds(audio::Handle h, std::uint64_t bytes) override {
    if (Find(h) == nullptr || bytes == audio::kNotAvailable) return -1;
    return static_cast<double>(bytes) / kBytesPerSecond;
  }
  std::uint64_t ChannelSeconds2Bytes(audio::Handle h, double seconds) override {
    if (Find(h) == nullptr) return audio::kNotAvailable;
    return Bytes(seconds);
  }
  bool ChannelSetPosition(audio::Handle h, std::uint64_t bytes) override {
    calls.push_back("seek " + std::to_string(h) + " " + std::to_string(bytes));
    Stream* s = Find(h);
    if (s == nullptr) return Fail(audio::kErrHandle);
    if (s->file.lengthKnown && bytes > Bytes(s->file.seconds)) return Fail(audio::kErrPosition);
    s->pos = static_cast<double>(bytes) / kBytesPerSecond;
    if (s->st == St::Ended) s->st = St::Stopped;
    return Ok();
  }
  std::uint32_t GetVolume() override {
    if (throwOnVolume) throw std::runtime_error("scripted volume failure");
    return volume;
  }
  bool SetVolume(std::uint32_t packed) override {
    volume = packed;
    ++setVolumeCalls;
    return Ok();
  }

  // Test controls.
  Stream* Find(audio::Handle h) {
    auto it = streams.find(h);
    return it == streams.end() ? nullptr : &it->second;
  }
  void At(audio::Handle h, double seconds) { Find(h)->pos = seconds; }
  // The stream plays out: its position stands at the end and it is no longer active.
  void End(audio::Handle h) {
    Stream* s = Find(h);
    s->pos = s->file.seconds;
    s->st = St::Ended;
  }
  int Count(const std::string& prefix) const {
    int n = 0;
    for (const std::string& c : calls) n += c.rfind(prefix, 0) == 0 ? 1 : 0;
    return n;
  }
  static std::uint64_t Bytes(double seconds) {
    return static_cast<std::uint64_t>(seconds * kBytesPerSecond) / 4 * 4;
  }

 private:
  static bool Ok() {
    SetErrorCode(audio::kOk);
    return true;
  }
  static bool Fail(int code) {
    SetErrorCode(code);
    return false;
  }
};

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

// The program on a scripted engine (or a real one), started in a fresh working directory, the
// refresh timer stopped so that ticks come from the test only.
class PlayRig {
 public:
  explicit PlayRig(audio::AudioEngine* engine = nullptr,
                   const std::function<void(const std::string&)>& beforeStart = {})
      : cwd_(dir_.path()) {
    if (beforeStart) beforeStart(dir_.path());
    if (engine == nullptr) {
      own_ = std::make_unique<ScriptedEngine>();
      engine = own_.get();
    }
    engine_ = engine;
    state_ = std::make_unique<PlayerShared>(*engine);
    StartHooks hooks;
    hooks.backEndCheck = [](std::string*) { return true; };
    hooks.endProcess = [] {};
    windows_ = CreateWindows(*state_, dialogs, hooks);
    windows_.main->ShowTimer->stop();
  }
  ~PlayRig() {
    if (windows_.main) windows_.main->ShowTimer->stop();
    windows_.main.reset();
  }
  PlayRig(const PlayRig&) = delete;
  PlayRig& operator=(const PlayRig&) = delete;

  HookDialogs dialogs;

  TfrmMain& main() { return *windows_.main; }
  TfrmConfig& config() { return *windows_.config; }
  PlayerShared& state() { return *state_; }
  // The scripted engine (only when the rig made it).
  ScriptedEngine& engine() { return *own_; }
  const std::string& dir() const { return dir_.path(); }
  std::string File(const std::string& name) const { return dir_.File(name); }

  // One refresh tick, called as the timer would; the timer is stopped again afterwards so the
  // next tick also comes from the test.
  void Tick(int n = 1) {
    for (int i = 0; i < n; ++i) {
      main().ShowTimerTimer();
      main().ShowTimer->stop();
    }
  }
  // A row as the probe would make it, without touching the disk.
  void AddRow(const std::string& path, const std::string& length = "03:00",
              const std::string& singer = {}, const std::string& album = {}) {
    main().ListModel->Append(PlaylistRow{FileNamePart(path), singer, album, length, path});
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
  audio::Handle Current() { return state_->CurrentStream; }

 private:
  TempDir dir_;
  ScopedCurrentDir cwd_;
  std::unique_ptr<ScriptedEngine> own_;
  audio::AudioEngine* engine_ = nullptr;
  std::unique_ptr<PlayerShared> state_;
  Windows windows_;
};

}  // namespace quillet::testing
