// The player on its own, over the scripted engine: the one stream's life cycle across the play
// modes and their failures, a tick that reads the play position once, the commands it refuses,
// and what it tells the faces that watch it.
#include "player/PlaySession.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "support/PlayerRig.h"

namespace quillet {
namespace {

using testing::ScriptedEngine;

class PlaySessionTest : public ::testing::Test, protected testing::PlayerRig {};

TEST_F(PlaySessionTest, EveryModeFreesWhatItReplaces) {
  AddRow("a.mp3");
  AddRow("broken.mp3", 0);
  AddRow("c.mp3");

  // List loop passes over the file that does not open and wraps around.
  player.SwitchLoopList();
  std::vector<std::string> played;
  for (int i = 0; i < 6; ++i) {
    player.Tick();
    ExpectNoStrays("list loop");
    if (now().state == psPlaying) {
      played.push_back(FileNamePart(PlayingPath()));
      EXPECT_EQ(list().Selected(), std::vector<int>{now().currentRow});
      engine.End(now().stream);
      player.Tick();  // the end of the track is seen
    }
  }
  EXPECT_EQ(played, (std::vector<std::string>{"a.mp3", "c.mp3", "a.mp3", "c.mp3"}));

  // Next while list loop plays ends the track now; the next tick starts the following one.
  player.Tick();
  const std::string before = PlayingPath();
  player.Next();
  EXPECT_TRUE(engine.streams.empty());
  player.Tick();
  ExpectNoStrays("next");
  EXPECT_NE(PlayingPath(), before);

  // Switching the mode off stops and frees.
  player.SwitchLoopList();
  EXPECT_EQ(now().stream, 0u);
  EXPECT_TRUE(engine.streams.empty());
  EXPECT_EQ(now().mode, pmNone);

  // Loop selection: a snapshot path that has gone is passed over without a message.
  list().SetSelection({0, 1, 2});
  player.SwitchLoopSelection();
  EXPECT_EQ(player.LoopSelectionPaths().size(), 3u);
  played.clear();
  reports.clear();
  for (int i = 0; i < 6 && played.size() < 3; ++i) {
    player.Tick();
    ExpectNoStrays("loop selection");
    if (now().state == psPlaying) {
      played.push_back(FileNamePart(PlayingPath()));
      engine.End(now().stream);
      player.Tick();
    }
  }
  EXPECT_TRUE(reports.empty());
  EXPECT_EQ(played, (std::vector<std::string>{"a.mp3", "c.mp3", "a.mp3"}));

  // Single loop plays the file again (a second stream of it, queued); with no second stream to
  // be had it replays its own, and when that cannot play the mode goes off with it freed.
  player.SwitchLoopSelection();
  Select(2);
  player.Play();
  player.SwitchLoopSingle();
  audio::Handle h = now().stream;
  EXPECT_EQ(now().nextPath, dir.File("c.mp3"));
  engine.End(h);
  player.Tick();
  player.Tick();
  EXPECT_EQ(PlayingPath(), dir.File("c.mp3"));
  EXPECT_EQ(engine.Find(h), nullptr);
  EXPECT_EQ(now().state, psPlaying);
  ExpectNoStrays("single loop");
  const ScriptedEngine::File file = engine.files[dir.File("c.mp3")];
  engine.files.erase(dir.File("c.mp3"));
  engine.End(now().stream);
  player.Tick();
  h = now().stream;
  EXPECT_EQ(Queued(), 0u);
  engine.End(h);
  player.Tick();
  player.Tick();
  EXPECT_EQ(now().stream, h) << "its own stream plays again";
  EXPECT_EQ(now().state, psPlaying);
  engine.Find(h)->file.playFails = true;
  engine.End(h);
  player.Tick();
  player.Tick();
  engine.files[dir.File("c.mp3")] = file;
  EXPECT_EQ(now().mode, pmNone);
  EXPECT_EQ(now().stream, 0u);
  EXPECT_TRUE(engine.streams.empty());

  // Stop and the end of the program free what is open; nothing acts afterwards.
  Select(0);
  player.Tick();
  player.Play();
  player.Tick();
  player.Stop();
  EXPECT_TRUE(engine.streams.empty());
  player.Tick();
  player.Play();
  player.Shutdown();
  EXPECT_TRUE(engine.streams.empty());
  EXPECT_EQ(engine.calls.back(), "free-engine");
  EXPECT_FALSE(now().ready);
  player.Tick();
  player.Play();
  EXPECT_EQ(engine.calls.back(), "free-engine");
}

// In each play mode the track that comes next is opened and queued behind the one that plays
// (so the engine joins them without a gap) and takes over at the joint: announced as a track the
// mode starts, its row selected, its own position shown, the one after it queued in turn.
TEST_F(PlaySessionTest, EachModeQueuesItsNextTrackWhichTakesOverAtTheJoint) {
  for (const char* name : {"a.mp3", "b.mp3", "c.mp3"}) AddRow(name);
  testing::WriteBytes(dir.File("b.lrc"), "[ti:Bee]\r\n[00:01]one\r\n");
  struct Case {
    const char* what;
    std::function<void()> start;
    std::vector<std::string> heard;  // the first track, then each one after a joint
    std::vector<int> rows;           // the row selected after each joint (-1: not a list row)
  };
  const Case cases[] = {
      {"list loop",
       [&] { Select(0), player.SwitchLoopList(), player.Tick(); },
       {"a.mp3", "b.mp3", "c.mp3", "a.mp3"},
       {1, 2, 0}},
      {"loop selection",
       [&] {
         list().SetSelection({0, 1}), player.SwitchLoopSelection(), player.Tick();
       },
       {"a.mp3", "b.mp3", "a.mp3"},
       {-1, -1}},
      {"single loop",
       [&] { Select(1), player.Tick(), player.Play(), player.SwitchLoopSingle(); },
       {"b.mp3", "b.mp3", "b.mp3"},
       {-1, -1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.start();
    ASSERT_EQ(now().state, psPlaying);
    EXPECT_EQ(FileNamePart(PlayingPath()), c.heard[0]);
    for (std::size_t i = 1; i < c.heard.size(); ++i) {
      const audio::Handle old = now().stream, next = Queued();
      ASSERT_NE(next, 0u) << "nothing queued behind " << c.heard[i - 1];
      EXPECT_EQ(FileNamePart(QueuedPath()), c.heard[i]);
      EXPECT_EQ(now().nextPath, QueuedPath());
      engine.At(old, 170);
      engine.End(old);
      const int creates = engine.Count("create ");
      player.Tick();
      EXPECT_EQ(now().stream, next) << "the queued stream is the current one";
      EXPECT_EQ(now().state, psPlaying);
      EXPECT_EQ(engine.Find(old), nullptr) << "the stream that played out is freed";
      EXPECT_EQ(engine.Count("create "), creates + 1) << "only the one after it is opened";
      EXPECT_DOUBLE_EQ(now().position, 0);
      if (c.heard[i] == "b.mp3" && c.heard[i - 1] != "b.mp3") {
        EXPECT_EQ(now().lyricLine, std::string("标题：Bee    ")) << "the new track's lyric";
      }
      if (c.rows[i - 1] >= 0) {
        EXPECT_EQ(list().Selected(), std::vector<int>{c.rows[i - 1]});
        EXPECT_EQ(now().currentRow, c.rows[i - 1]);
      }
      ExpectNoStrays(c.what);
    }
    player.Stop();
    EXPECT_TRUE(engine.streams.empty());
  }
}

// Whatever the user does before the joint drops the queued track or queues the one that now
// comes next; a seek keeps it. A next file that does not open is left to the tick, which passes
// over it as it always has.
TEST_F(PlaySessionTest, WhatTheUserDoesBeforeTheJointCancelsOrRenewsTheQueue) {
  for (const char* name : {"a.mp3", "b.mp3", "c.mp3"}) AddRow(name);
  struct Case {
    const char* what;
    std::function<void()> act;
    const char* queuedAfter;  // nullptr: nothing stays queued
  };
  const Case cases[] = {
      {"stop", [&] { player.Stop(); }, nullptr},
      {"next", [&] { player.Next(); }, nullptr},
      {"mode off", [&] { player.SwitchLoopList(); }, nullptr},
      {"single loop instead", [&] { player.SwitchLoopSingle(); }, "a.mp3"},
      {"the next row removed", [&] { list().Remove({1}); }, "c.mp3"},
      {"a row added", [&] { AddRow("d.mp3"); }, "b.mp3"},
      {"the list cleared", [&] { list().Clear(); }, nullptr},
      {"seek", [&] { player.SeekTo(30); }, "b.mp3"},
      {"pause", [&] { player.Tick(), player.Pause(); }, "b.mp3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    list().Clear();
    for (const char* name : {"a.mp3", "b.mp3", "c.mp3"}) AddRow(name);
    Select(0);
    player.SwitchLoopList();
    player.Tick();
    const audio::Handle queued = Queued();
    ASSERT_EQ(FileNamePart(QueuedPath()), "b.mp3");
    c.act();
    if (c.queuedAfter == nullptr) {
      EXPECT_EQ(engine.Find(queued), nullptr) << "the queued stream is freed";
      EXPECT_EQ(Queued(), 0u);
    } else {
      EXPECT_EQ(FileNamePart(QueuedPath()), c.queuedAfter);
      if (std::string(c.queuedAfter) == "b.mp3") {
        EXPECT_EQ(Queued(), queued);
      }
    }
    ExpectNoStrays(c.what);
    player.Tick();
    player.Stop();
    EXPECT_TRUE(engine.streams.empty());
  }

  // b does not open: nothing is queued, and at the end of a the tick passes over b to c.
  list().Clear();
  AddRow("a.mp3");
  AddRow("b.mp3", 0);
  AddRow("c.mp3");
  engine.files.erase(dir.File("b.mp3"));
  Select(0);
  player.SwitchLoopList();
  player.Tick();
  EXPECT_EQ(Queued(), 0u);
  const int creates = engine.Count("create ");
  player.Tick();
  EXPECT_EQ(engine.Count("create "), creates) << "a refused queue is not tried on every tick";
  engine.End(now().stream);
  for (int i = 0; i < 3 && FileNamePart(PlayingPath()) != "c.mp3"; ++i) player.Tick();
  EXPECT_EQ(FileNamePart(PlayingPath()), "c.mp3");
  EXPECT_TRUE(reports.empty());
}

TEST_F(PlaySessionTest, FailedStartsSettleTheStateAndReportTheEngineCode) {
  AddRow("a.mp3");
  AddRow("broken.mp3", 0);

  // Play: the stream box with the code, the state stopped before the box opens.
  Select(1);
  struct {
    TPlayerState state;
    std::uint32_t stream;
  } stateInBox{psPlaying, 1};
  player.OnReport = [&](const PlayerReport& r) {
    reports.push_back(r);
    stateInBox = {now().state, now().stream};
  };
  player.Play();
  ASSERT_TRUE(LastReport().streamError.has_value());
  EXPECT_EQ(*LastReport().streamError, audio::kErrFileOpen);
  EXPECT_EQ(stateInBox.state, psStopped);
  EXPECT_EQ(stateInBox.stream, 0u);

  // Next without a mode onto a file that does not open: the state stays playing with no stream,
  // the selection stays, and the next tick finds it stopped.
  Select(0);
  player.Play();
  player.Tick();
  reports.clear();
  player.Next();
  ASSERT_TRUE(LastReport().streamError.has_value());
  EXPECT_FALSE(LastReport().focusList);
  EXPECT_EQ(list().Selected(), std::vector<int>{0});
  EXPECT_EQ(now().state, psPlaying);
  EXPECT_TRUE(engine.streams.empty());
  player.Tick();
  EXPECT_EQ(now().state, psStopped);
  EXPECT_EQ(now().lyricLine, std::string(PlaySession::kLyricPlaceholder));
}

TEST_F(PlaySessionTest, OutputLostUnderATrackIsSaidOnceAndTheNextPlayOpensAgain) {
  AddRow("a.mp3");
  AddRow("b.mp3");
  player.SwitchLoopList();
  player.Tick();
  ASSERT_EQ(now().state, psPlaying);
  engine.Find(now().stream)->st = ScriptedEngine::St::Lost;

  // The tick that finds it says so once and stops the list loop, which would otherwise try
  // every row in turn without a sound.
  player.Tick();
  ASSERT_TRUE(LastReport().outputError.has_value());
  EXPECT_EQ(*LastReport().outputError, audio::kErrDevice);
  EXPECT_EQ(now().state, psStopped);
  EXPECT_EQ(now().mode, pmNone);
  const int creates = engine.Count("create ");
  reports.clear();
  for (int i = 0; i < 5; ++i) player.Tick();
  EXPECT_TRUE(reports.empty());
  EXPECT_EQ(engine.Count("create "), creates);

  // A track that simply ends is no such error.
  Select(1);
  player.Play();
  engine.End(now().stream);
  player.Tick();
  EXPECT_TRUE(reports.empty());

  // Back again, play works.
  Select(0);
  player.Tick();
  player.Play();
  EXPECT_EQ(now().state, psPlaying);
  EXPECT_EQ(engine.streams.size(), 1u);
}

TEST_F(PlaySessionTest, TickReadsThePositionOnceSoCaptionAndLyricAgree) {
  AddRow("a.mp3", 120);
  testing::WriteBytes(dir.File("a.lrc"), "[00:04]four\r\n[00:05]five\r\n");
  Select(0);
  player.Play();
  ASSERT_FALSE(player.Lyric().empty());
  engine.At(now().stream, 4.9999);
  engine.positionReads = 0;
  player.Tick();
  EXPECT_EQ(engine.positionReads, 1);
  EXPECT_EQ(now().progressCaption, std::string("=·=播放进度=·=00:04=·=02:00"));
  EXPECT_EQ(now().lyricLine, std::string("four"));
  EXPECT_EQ(now().progressPosition, 5);  // the bar rounds; the texts truncate
  EXPECT_DOUBLE_EQ(*now().length, 120);
}

// A command whose button or menu item is off does nothing: the rule lives in the player, so
// every face (window, tray menu, media controls) keeps it alike.
TEST_F(PlaySessionTest, CommandsTheButtonsWouldRefuseAreRefused) {
  AddRow("a.mp3");
  AddRow("b.mp3");
  player.Tick();  // stopped, nothing selected: only nothing can be pressed
  ASSERT_FALSE(now().canPlay || now().canPause || now().canStop || now().canPrev || now().canNext);
  struct Case {
    const char* what;
    void (PlaySession::*command)();
  };
  const Case refused[] = {{"play", &PlaySession::Play},
                          {"previous", &PlaySession::Previous},
                          {"next", &PlaySession::Next},
                          {"single loop", &PlaySession::SwitchLoopSingle}};
  list().SetSelection({0});  // selected between ticks: the buttons wait for the next tick
  for (const Case& c : refused) {
    const std::size_t calls = engine.calls.size();
    (player.*c.command)();
    EXPECT_EQ(engine.calls.size(), calls) << c.what;
    EXPECT_EQ(now().mode, pmNone) << c.what;
    EXPECT_EQ(now().state, psStopped) << c.what;
  }

  player.Tick();
  player.Play();
  ASSERT_EQ(now().state, psPlaying);
  player.Pause();  // the pause button stays off until a tick has seen the track play
  EXPECT_EQ(now().state, psPlaying);
  player.Tick();
  player.Pause();
  EXPECT_EQ(now().state, psPaused);
  player.Tick();
  player.Pause();  // paused: pause is off, play resumes
  EXPECT_EQ(now().state, psPaused);
  player.Play();
  EXPECT_EQ(now().state, psPlaying);
}

// Faces hear of each change once, after the call that made it, and of nothing else; the
// position alone changes nothing but comes with every tick.
TEST_F(PlaySessionTest, ListenersHearEachChangeOnce) {
  AddRow("a.mp3");
  std::vector<unsigned> heard;
  const int id = player.Subscribe([&](unsigned c) { heard.push_back(c); });
  auto Heard = [&] {
    std::vector<unsigned> h = heard;
    heard.clear();
    return h;
  };
  Select(0);
  EXPECT_TRUE(Heard().empty()) << "a selection is the list's to tell";
  player.Tick();
  std::vector<unsigned> h = Heard();
  ASSERT_EQ(h.size(), 1u);
  EXPECT_EQ(h[0] & (kTicked | kChangedCommands), kTicked | kChangedCommands);
  player.Tick();
  h = Heard();
  ASSERT_EQ(h.size(), 1u);
  EXPECT_EQ(h[0] & ~(kTicked | kProgressRead), 0u) << "nothing else changed";

  player.Play();
  h = Heard();
  ASSERT_EQ(h.size(), 1u);
  EXPECT_EQ(h[0] & (kChangedState | kChangedTrack | kChangedLyric),
            kChangedState | kChangedTrack | kChangedLyric);
  ASSERT_TRUE(now().track.has_value());
  EXPECT_EQ(now().track->name, "a.mp3");
  EXPECT_EQ(now().currentRow, 0);

  engine.At(now().stream, 3);
  player.Tick();
  h = Heard();
  ASSERT_EQ(h.size(), 1u);
  EXPECT_TRUE(h[0] & kTicked);
  EXPECT_DOUBLE_EQ(now().position, 3);

  player.SetVolume(70000);
  h = Heard();
  ASSERT_EQ(h.size(), 1u);
  EXPECT_EQ(h[0], kChangedVolume);
  EXPECT_EQ(now().volume, 65535);

  // The playing row follows its row when rows above it go, and is none once it goes itself.
  list().Append(PlaylistRow{"z", {}, {}, {}, "/z"});
  list().Remove({0});
  player.Tick();
  EXPECT_EQ(now().currentRow, -1);
  Heard();
  player.Unsubscribe(id);
  player.Stop();
  EXPECT_TRUE(Heard().empty());
}

}  // namespace
}  // namespace quillet
