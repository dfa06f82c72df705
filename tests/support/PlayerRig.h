// The player on its own over the scripted engine, in a fresh working directory, with no window:
// ready to take commands, its reports collected. Scenarios are written as scripts of steps and
// checks (Run), so that a table of them reads as what the user does and what plays.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <initializer_list>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "player/PlaySession.h"
#include "playlist/TrackProbe.h"
#include "support/ScriptedEngine.h"
#include "support/fixtures/FileFixtures.h"

namespace quillet::testing {

class PlayerRig {
 public:
  PlayerRig() : cwd(dir.path()), player(shared, engine) {
    player.Reset();
    player.MarkReady();
    player.OnReport = [this](const PlayerReport& r) {
      reports.push_back(r);
      if (tickInBox_) {
        // The box is open: the refresh timer goes on ticking behind it.
        tickInBox_ = false;
        player.Tick();
      }
    };
  }
  PlayerRig(const PlayerRig&) = delete;
  PlayerRig& operator=(const PlayerRig&) = delete;

  // A row whose file opens for `seconds` (or, with seconds <= 0, does not open at all).
  void AddRow(const std::string& name, double seconds = 60, const std::string& length = "01:00",
              const std::string& singer = {}, const std::string& album = {}) {
    const std::string path = dir.File(name);
    if (seconds > 0) engine.AddFile(path, seconds);
    list().Append(PlaylistRow{name, singer, album, length, path});
  }
  // Rows t0.mp3 .. t<n-1>.mp3 of three minutes each.
  void Tracks(int n) {
    for (int i = 0; i < n; ++i) AddRow(Track(i), 180, "03:00");
  }
  static std::string Track(int i) { return "t" + std::to_string(i) + ".mp3"; }
  void Write(const std::string& name, const std::string& bytes) {
    WriteBytes(dir.File(name), bytes);
  }

  TrackList& list() { return player.List(); }
  const PlayerSnapshot& now() { return player.Snapshot(); }
  void Select(int row) { list().SetSelection({row}, row); }
  // The path of the stream that plays now; empty with none.
  std::string PlayingPath() {
    const ScriptedEngine::Stream* s = engine.Find(now().stream);
    return s != nullptr ? s->path : std::string();
  }
  PlayerReport LastReport() { return reports.empty() ? PlayerReport() : reports.back(); }
  // The stream queued to follow the current one (0: none), and its path.
  audio::Handle Queued() {
    const ScriptedEngine::Stream* current = engine.Find(now().stream);
    return current != nullptr ? current->queued : 0;
  }
  std::string QueuedPath() {
    const ScriptedEngine::Stream* q = engine.Find(Queued());
    return q != nullptr ? q->path : std::string();
  }
  // Open streams that are neither the current one nor queued to follow it: each is a leak.
  int Strays() {
    const ScriptedEngine::Stream* current = engine.Find(now().stream);
    const audio::Handle queued = current != nullptr ? current->queued : 0;
    int n = 0;
    for (const auto& [h, s] : engine.streams) n += h != now().stream && h != queued ? 1 : 0;
    return n;
  }
  // No stream leaks, and the state names an open stream while it plays (or none).
  void ExpectNoStrays(const std::string& where) {
    EXPECT_EQ(Strays(), 0) << where;
    if (now().stream != 0 && now().state != psStopped) {
      EXPECT_NE(engine.Find(now().stream), nullptr) << where;
    }
  }

  // Runs `script`: words separated by spaces, each a step or (with '=') a check. After every step
  // but `end` no stream may be left open that is not current or queued.
  //
  // Steps (rows by index, tracks by their index in t<i>.mp3):
  //   select:1,2 (the last one focused; `select:` none)  play afresh row:N pause stop prev next
  //   loop-list loop-sel loop-one  tick tick:N  end (the current stream plays out)  advance
  //   (end, and two ticks)  at:S (the current stream's position)  delete:1,2  clear  append:i
  //   missing:i (t<i> no longer opens)  unplayable:i (t<i> opens but will not play)  mark
  //   (remember the current stream)  seek-begin seek-preview:S seek-end:S  volume:N  tick-in-box
  //   (the next report's box ticks once while open)
  // Checks:
  //   plays=i|name|- (the current stream's file; `-` no stream)  state=playing|paused|stopped|
  //   seeking  mode=none|list|sel|one  lst=N seli=N (the cursors)  snapshot=i,j (loop selection's
  //   paths)  selected=i,j  focused=N  row=N (currentRow)  marked=current|freed
  //   stream=playing|paused|stopped|ended (the current stream in the engine)  pos=S
  //   lyric=text ('_' for a space, `-` the placeholder)  lines=N  caption=text (after the
  //   caption's head)  bar=N max=N|-  buttons=P-zsN  menu=dscLS1  volume=N
  //   box=-|stream:N|output:N|failure (the boxes reported since the last box check)
  //   focus-list=yes|no (the last report)  creates=N calls=N (the engine's)
  void Run(const std::string& what, const std::string& script) {
    std::istringstream in(script);
    std::string word;
    int n = 0;
    while (in >> word) {
      const std::string where = what + ", word " + std::to_string(++n) + " '" + word + "'";
      SCOPED_TRACE(where);
      const std::size_t eq = word.find('=');
      if (eq != std::string::npos) {
        Check(word.substr(0, eq), word.substr(eq + 1));
        continue;
      }
      const std::size_t colon = word.find(':');
      const std::string arg = colon == std::string::npos ? std::string() : word.substr(colon + 1);
      Step(word.substr(0, colon), arg);
      if (word != "end") ExpectNoStrays(where);
    }
  }

  TempDir dir;
  ScopedCurrentDir cwd;
  ScriptedEngine engine;
  PlayerShared shared;
  PlaySession player;
  std::vector<PlayerReport> reports;

 private:
  static std::vector<int> Ints(const std::string& s) {
    std::vector<int> out;
    std::istringstream in(s);
    std::string part;
    while (std::getline(in, part, ',')) out.push_back(std::stoi(part));
    return out;
  }
  static std::string Name(const std::string& v) {
    return !v.empty() && std::isdigit(static_cast<unsigned char>(v[0])) ? Track(std::stoi(v)) : v;
  }
  void Step(const std::string& s, const std::string& arg) {
    static const std::map<std::string, void (PlaySession::*)()> kCommands = {
        {"play", &PlaySession::Play},
        {"afresh", &PlaySession::PlayAfresh},
        {"pause", &PlaySession::Pause},
        {"stop", &PlaySession::Stop},
        {"prev", &PlaySession::Previous},
        {"next", &PlaySession::Next},
        {"loop-list", &PlaySession::SwitchLoopList},
        {"loop-sel", &PlaySession::SwitchLoopSelection},
        {"loop-one", &PlaySession::SwitchLoopSingle},
        {"seek-begin", &PlaySession::BeginSeek}};
    static const std::map<std::string, void (PlaySession::*)(int)> kWithNumber = {
        {"row", &PlaySession::PlayRow},
        {"seek-preview", &PlaySession::SeekPreview},
        {"seek-end", &PlaySession::EndSeek},
        {"volume", &PlaySession::SetVolume}};
    if (auto c = kCommands.find(s); c != kCommands.end()) {
      (player.*c->second)();
    } else if (auto n = kWithNumber.find(s); n != kWithNumber.end()) {
      (player.*n->second)(std::stoi(arg));
    } else if (s == "select") {
      const std::vector<int> rows = Ints(arg);
      list().SetSelection(rows, rows.empty() ? -1 : rows.back());
    } else if (s == "tick") {
      for (int i = arg.empty() ? 1 : std::stoi(arg); i > 0; --i) player.Tick();
    } else if (s == "end" || s == "advance") {
      ASSERT_NE(engine.Find(now().stream), nullptr) << "nothing to end";
      engine.End(now().stream);
      if (s == "advance") {
        player.Tick();
        player.Tick();
      }
    } else if (s == "at") {
      ASSERT_NE(engine.Find(now().stream), nullptr);
      engine.At(now().stream, std::stod(arg));
    } else if (s == "delete") {
      list().Remove(Ints(arg));
    } else if (s == "clear") {
      list().Clear();
    } else if (s == "append") {
      const std::string name = Name(arg);
      list().Append(PlaylistRow{name, {}, {}, "03:00", dir.File(name)});
    } else if (s == "missing") {
      engine.files.erase(dir.File(Name(arg)));
    } else if (s == "unplayable") {
      engine.files[dir.File(Name(arg))].playFails = true;
      for (auto& [h, st] : engine.streams) {
        if (st.path == dir.File(Name(arg))) st.file.playFails = true;
      }
    } else if (s == "mark") {
      marked_ = now().stream;
    } else if (s == "tick-in-box") {
      tickInBox_ = true;
    } else {
      ADD_FAILURE() << "unknown step";
    }
  }
  std::string Flags(std::initializer_list<std::pair<bool, char>> flags) {
    std::string out;
    for (const auto& [on, c] : flags) out += on ? c : '-';
    return out;
  }
  std::string Boxes() {
    std::string out;
    for (std::size_t i = boxesSeen_; i < reports.size(); ++i) {
      const PlayerReport& r = reports[i];
      const auto add = [&](const std::string& b) { out += (out.empty() ? "" : " ") + b; };
      if (r.streamError) add("stream:" + std::to_string(*r.streamError));
      if (r.outputError) add("output:" + std::to_string(*r.outputError));
      if (!r.failure.empty()) add("failure");
    }
    boxesSeen_ = reports.size();
    return out.empty() ? "-" : out;
  }
  void Check(const std::string& key, const std::string& v) {
    // In the order of TPlayerState and TPlayMode.
    static const char* const kStates[] = {"stopped", "paused", "playing", "seeking"};
    static const char* const kModes[] = {"list", "one", "sel", "none"};
    const ScriptedEngine::Stream* current = engine.Find(now().stream);
    if (key == "plays") {
      if (v == "-") {
        EXPECT_EQ(now().stream, 0u);
      } else {
        EXPECT_EQ(PlayingPath(), dir.File(Name(v)));
        ASSERT_TRUE(now().track.has_value());
        EXPECT_EQ(now().track->path, dir.File(Name(v)));
      }
    } else if (key == "state") {
      EXPECT_EQ(kStates[now().state], v);
    } else if (key == "mode") {
      EXPECT_EQ(kModes[now().mode], v);
    } else if (key == "lst") {
      EXPECT_EQ(player.ListCursor(), std::stoi(v));
    } else if (key == "seli") {
      EXPECT_EQ(player.SelectionCursor(), std::stoi(v));
    } else if (key == "snapshot") {
      std::vector<std::string> paths;
      for (int i : Ints(v)) paths.push_back(dir.File(Track(i)));
      EXPECT_EQ(player.LoopSelectionPaths(), paths);
    } else if (key == "selected") {
      EXPECT_EQ(list().Selected(), Ints(v));
    } else if (key == "focused") {
      EXPECT_EQ(list().Focused(), std::stoi(v));
    } else if (key == "row") {
      EXPECT_EQ(now().currentRow, std::stoi(v));
    } else if (key == "marked") {
      if (v == "freed") {
        EXPECT_EQ(engine.Find(marked_), nullptr);
      } else {
        EXPECT_EQ(v, "current");
        EXPECT_EQ(now().stream, marked_);
        EXPECT_NE(engine.Find(marked_), nullptr);
      }
    } else if (key == "stream") {
      static const char* const kSt[] = {"fresh", "playing", "paused", "stopped", "ended", "lost"};
      ASSERT_NE(current, nullptr);
      EXPECT_EQ(kSt[static_cast<int>(current->st)], v);
    } else if (key == "pos") {
      ASSERT_NE(current, nullptr);
      EXPECT_NEAR(current->pos, std::stod(v), 0.001);
    } else if (key == "lyric") {
      std::string text = v == "-" ? PlaySession::kLyricPlaceholder : v;
      std::replace(text.begin(), text.end(), '_', ' ');
      EXPECT_EQ(now().lyricLine, text);
    } else if (key == "lines") {
      EXPECT_EQ(player.Lyric().size(), std::stoul(v));
    } else if (key == "caption") {
      EXPECT_EQ(now().progressCaption, kProgressCaption + v);
    } else if (key == "bar") {
      EXPECT_EQ(now().progressPosition, std::stoi(v));
    } else if (key == "max") {
      EXPECT_EQ(now().progressMax, v == "-" ? std::nullopt : std::optional<int>(std::stoi(v)));
    } else if (key == "buttons") {
      const PlayerSnapshot& s = now();
      EXPECT_EQ(Flags({{s.canPrev, 'P'},
                       {s.canPlay, 'p'},
                       {s.canPause, 'z'},
                       {s.canStop, 's'},
                       {s.canNext, 'N'}}),
                v);
    } else if (key == "menu") {
      const MenuStates m = player.Menu();
      EXPECT_EQ(Flags({{m.delLst, 'd'},
                       {m.saveLst, 's'},
                       {m.clearLst, 'c'},
                       {m.loopLst, 'L'},
                       {m.loopSel, 'S'},
                       {m.loopSingle, '1'}}),
                v);
    } else if (key == "volume") {
      EXPECT_EQ(now().volume, std::stoi(v));
    } else if (key == "box") {
      EXPECT_EQ(Boxes(), v);
    } else if (key == "focus-list") {
      EXPECT_EQ(LastReport().focusList, v == "yes");
    } else if (key == "creates") {
      EXPECT_EQ(engine.Count("create "), std::stoi(v));
    } else if (key == "calls") {
      EXPECT_EQ(engine.calls.size(), std::stoul(v));
    } else {
      ADD_FAILURE() << "unknown check";
    }
  }

  audio::Handle marked_ = 0;
  std::size_t boxesSeen_ = 0;
  bool tickInBox_ = false;
};

}  // namespace quillet::testing
