// The playback layer on its own, over the scripted engine: the one stream's life cycle across the
// play modes and their failures, and a tick that reads the play position once.
#include "player/PlaySession.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "playlist/TrackProbe.h"
#include "support/ScriptedEngine.h"
#include "support/fixtures/FileFixtures.h"

namespace quillet {
namespace {

using testing::ScriptedEngine;

class PlaySessionTest : public ::testing::Test {
 protected:
  PlaySessionTest() : cwd(dir.path()), session(state, engine) { session.Reset(); }

  // A row whose file opens for `seconds`, or does not open at all.
  void AddRow(const std::string& name, bool opens = true, double seconds = 60) {
    const std::string path = dir.File(name);
    if (opens) engine.AddFile(path, seconds);
    rows.push_back(PlaylistRow{name, {}, {}, "01:00", path});
  }
  TickShown Tick(int selected = -1) { return session.Tick(rows, selected, 100); }
  // At most one stream is open, and the one the state names is it (or none).
  void ExpectOneStreamAtMost(const char* where) {
    EXPECT_LE(engine.streams.size(), 1u) << where;
    if (state.CurrentStream != 0 && state.PlayerState != psStopped) {
      EXPECT_NE(engine.Find(state.CurrentStream), nullptr) << where;
    }
  }
  std::string PlayingPath() {
    auto* s = engine.Find(state.CurrentStream);
    return s != nullptr ? s->path : std::string();
  }

  testing::TempDir dir;
  testing::ScopedCurrentDir cwd;
  ScriptedEngine engine;
  PlayerShared state;
  PlaySession session;
  std::vector<PlaylistRow> rows;
};

TEST_F(PlaySessionTest, EveryModeKeepsOneStreamAndFreesWhatItReplaces) {
  AddRow("a.mp3");
  AddRow("broken.mp3", false);
  AddRow("c.mp3");

  // List loop passes over the file that does not open and wraps around.
  session.SwitchLoopList(false, 0);
  std::vector<std::string> played;
  for (int i = 0; i < 6; ++i) {
    const TickShown t = Tick();
    ExpectOneStreamAtMost("list loop");
    if (state.PlayerState == psPlaying) {
      played.push_back(FileNamePart(PlayingPath()));
      engine.End(state.CurrentStream);
      Tick();  // the end of the track is seen
    }
  }
  EXPECT_EQ(played, (std::vector<std::string>{"a.mp3", "c.mp3", "a.mp3", "c.mp3"}));

  // Next while list loop plays ends the track now; the next tick starts the following one.
  Tick();
  const std::string before = PlayingPath();
  session.Next(rows, -1);
  EXPECT_TRUE(engine.streams.empty());
  Tick();
  ExpectOneStreamAtMost("next");
  EXPECT_NE(PlayingPath(), before);

  // Switching the mode off stops and frees.
  session.SwitchLoopList(true, -1);
  EXPECT_EQ(state.CurrentStream, 0u);
  EXPECT_TRUE(engine.streams.empty());
  EXPECT_EQ(state.PlayMode, pmNone);

  // Loop selection: a snapshot path that has gone is passed over without a message.
  session.SwitchLoopSelection(false, {rows[0].path, dir.File("gone.mp3"), rows[2].path});
  played.clear();
  for (int i = 0; i < 6 && played.size() < 3; ++i) {
    const TickShown t = Tick();
    EXPECT_TRUE(t.failure.empty());
    EXPECT_FALSE(t.streamError.has_value());
    ExpectOneStreamAtMost("loop selection");
    if (state.PlayerState == psPlaying) {
      played.push_back(FileNamePart(PlayingPath()));
      engine.End(state.CurrentStream);
      Tick();
    }
  }
  EXPECT_EQ(played, (std::vector<std::string>{"a.mp3", "c.mp3", "a.mp3"}));

  // Single loop replays the same stream; when it cannot, the mode goes off with it freed.
  session.SwitchLoopSelection(true, {});
  session.Play(&rows[2]);
  session.SwitchLoopSingle(false);
  const audio::Handle h = state.CurrentStream;
  engine.End(h);
  Tick();
  Tick();
  EXPECT_EQ(state.CurrentStream, h);
  EXPECT_EQ(state.PlayerState, psPlaying);
  engine.Find(h)->file.playFails = true;
  engine.End(h);
  Tick();
  Tick();
  EXPECT_EQ(state.PlayMode, pmNone);
  EXPECT_EQ(state.CurrentStream, 0u);
  EXPECT_TRUE(engine.streams.empty());

  // Stop and the end of the program free what is open.
  session.Play(&rows[0]);
  session.Stop();
  EXPECT_TRUE(engine.streams.empty());
  session.Play(&rows[0]);
  session.Shutdown();
  EXPECT_TRUE(engine.streams.empty());
  EXPECT_EQ(engine.calls.back(), "free-engine");
}

TEST_F(PlaySessionTest, FailedStartsSettleTheStateAndReportTheEngineCode) {
  AddRow("a.mp3");
  AddRow("broken.mp3", false);

  // Play: the stream box with the code, the state stopped before the box opens.
  Shown shown = session.Play(&rows[1]);
  ASSERT_TRUE(shown.streamError.has_value());
  EXPECT_EQ(*shown.streamError, audio::kErrFileOpen);
  EXPECT_EQ(state.PlayerState, psStopped);
  EXPECT_EQ(state.CurrentStream, 0u);

  // Next without a mode onto a file that does not open: the state stays playing with no stream,
  // and the next tick finds it stopped.
  session.Play(&rows[0]);
  shown = session.Next(rows, 0);
  ASSERT_TRUE(shown.streamError.has_value());
  EXPECT_FALSE(shown.selectOnly.has_value());
  EXPECT_EQ(state.PlayerState, psPlaying);
  EXPECT_TRUE(engine.streams.empty());
  const TickShown t = Tick(0);
  EXPECT_EQ(state.PlayerState, psStopped);
  EXPECT_EQ(t.strip, std::string(PlaySession::kLyricPlaceholder));
}

TEST_F(PlaySessionTest, OutputLostUnderATrackIsSaidOnceAndTheNextPlayOpensAgain) {
  AddRow("a.mp3");
  AddRow("b.mp3");
  session.SwitchLoopList(false, 0);
  Tick();
  ASSERT_EQ(state.PlayerState, psPlaying);
  engine.Find(state.CurrentStream)->st = ScriptedEngine::St::Lost;

  // The tick that finds it says so once and stops the list loop, which would otherwise try
  // every row in turn without a sound.
  TickShown t = Tick();
  ASSERT_TRUE(t.outputError.has_value());
  EXPECT_EQ(*t.outputError, audio::kErrDevice);
  EXPECT_EQ(state.PlayerState, psStopped);
  EXPECT_EQ(state.PlayMode, pmNone);
  const int creates = engine.Count("create ");
  for (int i = 0; i < 5; ++i) {
    t = Tick();
    EXPECT_FALSE(t.outputError.has_value());
  }
  EXPECT_EQ(engine.Count("create "), creates);

  // A track that simply ends is no such error.
  session.Play(&rows[1]);
  engine.End(state.CurrentStream);
  EXPECT_FALSE(Tick().outputError.has_value());

  // Back again, play works.
  session.Play(&rows[0]);
  EXPECT_EQ(state.PlayerState, psPlaying);
  EXPECT_EQ(engine.streams.size(), 1u);
}

TEST_F(PlaySessionTest, TickReadsThePositionOnceSoCaptionAndLyricAgree) {
  AddRow("a.mp3", true, 120);
  testing::WriteBytes(dir.File("a.lrc"), "[00:04]four\r\n[00:05]five\r\n");
  session.Play(&rows[0]);
  ASSERT_FALSE(session.LyricLines.empty());
  engine.At(state.CurrentStream, 4.9999);
  engine.positionReads = 0;
  const TickShown t = Tick(0);
  EXPECT_EQ(engine.positionReads, 1);
  EXPECT_EQ(t.progressCaption, std::string("=·=播放进度=·=00:04=·=02:00"));
  EXPECT_EQ(t.strip, std::string("four"));
  EXPECT_EQ(t.progressPosition, 5);  // the bar rounds; the texts truncate
}

}  // namespace
}  // namespace quillet
