// The engine on the fake output (FakeOutput.h), where the test decides how much has been heard
// and reads back every frame heard: gap-free joints of a queued track, what cancels them, the
// fades of pause, stop and seek, and how soon a command is heard. No sound device is involved.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "audio/AudioEngine.h"
#include "audio/FakeOutput.h"
#include "support/fixtures/AudioFixtures.h"
#include "support/fixtures/FileFixtures.h"

namespace quillet::audio {
namespace {

using Clock = std::chrono::steady_clock;
using testing::TempDir;
using testing::WaveFormat;
using testing::WaveSpec;

constexpr std::uint32_t kRate = 44100;
constexpr double kPi = 3.14159265358979323846;

double Tone(std::size_t k, std::uint32_t rate, double freq = 440, double amp = 0.5) {
  return amp * std::sin(2 * kPi * freq * static_cast<double>(k) / rate);
}

// `frames` frames of one continuous tone from frame `from` on, in every channel.
std::vector<float> ToneSamples(std::size_t from, std::size_t frames, std::uint16_t channels,
                               std::uint32_t rate) {
  std::vector<float> out(frames * channels);
  for (std::size_t i = 0; i < frames; ++i)
    for (std::uint16_t c = 0; c < channels; ++c)
      out[i * channels + c] = static_cast<float>(Tone(from + i, rate));
  return out;
}

float LargestStep(const std::vector<float>& x, std::size_t from = 0, std::size_t to = SIZE_MAX) {
  float worst = 0;
  to = std::min(to, x.size());
  for (std::size_t i = from + 1; i < to; ++i) worst = std::max(worst, std::fabs(x[i] - x[i - 1]));
  return worst;
}

class FakeEngineTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(engine_.Init(-1, kRate, 0)) << AudioEngine::ErrorGetCode(); }

  Handle Open(const std::string& path) {
    const Handle h = engine_.StreamCreateFile(false, path, 0, 0, 0);
    EXPECT_NE(h, 0u) << path << " code " << AudioEngine::ErrorGetCode();
    return h;
  }
  std::shared_ptr<FakeTape> Tape() { return device_->Tapes().back(); }

  // Plays `frames` frames, waiting for the engine to write them; fewer when it writes no more.
  std::size_t Hear(std::size_t frames, std::shared_ptr<FakeTape> tape = nullptr) {
    if (!tape) tape = Tape();
    std::size_t done = 0;
    auto idle_since = Clock::now();
    while (done < frames && Clock::now() - idle_since < std::chrono::milliseconds(300)) {
      const std::size_t n = tape->Hear(std::min<std::size_t>(frames - done, 441));
      done += n;
      if (n > 0)
        idle_since = Clock::now();
      else
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return done;
  }
  // Waits until the engine has written at least `frames` frames not yet heard.
  bool Buffered(std::size_t frames) {
    const auto end = Clock::now() + std::chrono::seconds(5);
    while (Tape()->Queued() < frames)
      if (Clock::now() > end) return false;
    return true;
  }

  TempDir dir_;
  std::shared_ptr<FakeDevice> device_ = std::make_shared<FakeDevice>(kRate);
  AudioEngine engine_{[this](int, std::uint32_t, int*) { return device_; }};
};

// One tone cut at a sample boundary into two files; the queue must play them as the one tone.
struct JoinCase {
  const char* name;
  WaveSpec first, second;
  bool mp3;
  float tolerance;  // how far a heard sample may be from the ideal tone
};

TEST_F(FakeEngineTest, QueuedTrackFollowsTheLastFrameWithoutAGapAndTakesOverThePosition) {
  const JoinCase cases[] = {
      {"WAVE pair", {kRate, 2, WaveFormat::kPcm16}, {kRate, 2, WaveFormat::kPcm16}, false, 1e-4f},
      {"mono then stereo",
       {kRate, 1, WaveFormat::kFloat32},
       {kRate, 2, WaveFormat::kPcm24},
       false,
       1e-4f},
      {"44.1 then 48 kHz",
       {kRate, 2, WaveFormat::kPcm16},
       {48000, 2, WaveFormat::kPcm16},
       false,
       0.02f},
      {"LAME MP3 pair",
       {kRate, 2, WaveFormat::kPcm16},
       {kRate, 2, WaveFormat::kPcm16},
       true,
       0.05f},
  };
  for (const JoinCase& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.mp3 && !testing::LameAvailable()) continue;
    // 0.4 s, then 0.3 s of the same tone going on (at the second file's own rate).
    const std::size_t n1 = 17640;  // 0.4 s: a whole number of frames at both rates
    const double cut = static_cast<double>(n1) / c.first.rate;
    const auto n2 = static_cast<std::size_t>(0.3 * c.second.rate);
    const std::size_t from2 = static_cast<std::size_t>(std::llround(cut * c.second.rate));
    std::string a = dir_.File(std::string(c.name) + "-a.wav");
    std::string b = dir_.File(std::string(c.name) + "-b.wav");
    testing::WriteWave(a, c.first, ToneSamples(0, n1, c.first.channels, c.first.rate));
    testing::WriteWave(b, c.second, ToneSamples(from2, n2, c.second.channels, c.second.rate));
    if (c.mp3) {
      for (std::string* p : {&a, &b}) {
        const std::string mp3 = *p + ".mp3";
        ASSERT_EQ(std::system(("lame --quiet --noreplaygain --cbr -b 192 '" + *p + "' '" + mp3 +
                               "' </dev/null")
                                  .c_str()),
                  0);
        *p = mp3;
      }
    }
    const Handle ha = Open(a);
    const Handle hb = Open(b);
    const std::size_t tapes = device_->Tapes().size();
    ASSERT_TRUE(engine_.ChannelPlay(ha, false));
    ASSERT_TRUE(engine_.ChannelQueue(ha, hb));
    ASSERT_EQ(device_->Tapes().size(), tapes + 1) << "the queued track opened an output of its own";

    // Before the joint: the first track plays, the second waits at its start.
    ASSERT_EQ(Hear(n1 - 100), n1 - 100);
    EXPECT_EQ(engine_.ChannelIsActive(ha), kPlaying);
    EXPECT_EQ(engine_.ChannelGetPosition(ha) / (2 * c.first.channels), n1 - 100);
    EXPECT_EQ(engine_.ChannelIsActive(hb), kPlaying);
    EXPECT_EQ(engine_.ChannelGetPosition(hb), 0u);
    // After it: the first has played out, the second plays with its own position.
    const std::size_t out2 = (n2 * kRate + c.second.rate - 1) / c.second.rate;
    ASSERT_EQ(Hear(100 + 4410), 100u + 4410);
    EXPECT_EQ(engine_.ChannelIsActive(ha), kStopped);
    EXPECT_EQ(engine_.ChannelGetPosition(ha), engine_.ChannelGetLength(ha));
    EXPECT_EQ(engine_.ChannelIsActive(hb), kPlaying);
    EXPECT_NEAR(engine_.ChannelBytes2Seconds(hb, engine_.ChannelGetPosition(hb)), 0.1, 1e-3);
    EXPECT_EQ(engine_.ChannelGetLength(hb), n2 * 2 * c.second.channels);
    Hear(out2);
    EXPECT_EQ(engine_.ChannelIsActive(hb), kStopped);

    // Every frame of both, in order, one tone: nothing missing, nothing doubled.
    const std::vector<float> heard = Tape()->Left();
    ASSERT_EQ(heard.size(), n1 + out2);
    float worst = 0;
    std::size_t worst_at = 0;
    // (Where the resampler's filter meets the second file's end is its own business.)
    const std::size_t check = c.second.rate == kRate ? heard.size() : n1 + kRate / 10;
    for (std::size_t k = 0; k < check; ++k) {
      const float err = std::fabs(heard[k] - static_cast<float>(Tone(k, kRate)));
      if (err > worst) worst = err, worst_at = k;
    }
    EXPECT_LT(worst, c.tolerance) << "at frame " << worst_at << " of " << heard.size()
                                  << ", the joint at " << n1;
    EXPECT_TRUE(engine_.StreamFree(ha));
    EXPECT_TRUE(engine_.StreamFree(hb));
  }
}

// A list of tracks, one shorter than the output's buffer: each joins the one before it, the short
// one waiting for the joint before it to be heard.
TEST_F(FakeEngineTest, TracksShorterThanTheBufferJoinOneAfterAnother) {
  const std::size_t n[] = {13230, 2205, 8820};  // 0.3 s, 0.05 s, 0.2 s of one tone
  std::vector<Handle> h;
  std::size_t from = 0;
  for (std::size_t i = 0; i < 3; ++i) {
    const std::string path = dir_.File("part" + std::to_string(i) + ".wav");
    testing::WriteWave(path, {}, ToneSamples(from, n[i], 2, kRate));
    from += n[i];
    h.push_back(Open(path));
  }
  ASSERT_TRUE(engine_.ChannelPlay(h[0], false));
  ASSERT_TRUE(engine_.ChannelQueue(h[0], h[1]));
  ASSERT_TRUE(engine_.ChannelQueue(h[1], h[2]));  // the second reports playing before its joint
  Hear(from + kRate);
  for (Handle x : h) EXPECT_EQ(engine_.ChannelIsActive(x), kStopped);
  const std::vector<float> heard = Tape()->Left();
  ASSERT_EQ(heard.size(), from);
  for (std::size_t k = 0; k < heard.size(); ++k)
    ASSERT_NEAR(heard[k], Tone(k, kRate), 1e-4) << "frame " << k;
}

// Whatever comes before the joint cancels it: nothing of the queued track is heard, and it is
// left as it was.
TEST_F(FakeEngineTest, StopSeekFreeOrAnotherPlayBeforeTheJointCancelsTheQueuedTrack) {
  // The first track is a quiet tone, the queued one loud: any frame of it shows.
  const std::size_t n1 = 13230;
  testing::WriteSineWave(dir_.File("a.wav"), 0.3, {}, 440, 0.2);
  testing::WriteSineWave(dir_.File("b.wav"), 0.5, {}, 1000, 0.9);
  testing::WriteSineWave(dir_.File("c.wav"), 0.1, {}, 300, 0.2);
  struct Case {
    const char* name;
    std::function<void(Handle a, Handle b, Handle c)> cancel;
    bool a_plays_on;  // the first track is heard to its end
  };
  const Case cases[] = {
      {"queue 0", [&](Handle a, Handle, Handle) { EXPECT_TRUE(engine_.ChannelQueue(a, 0)); }, true},
      {"stop", [&](Handle a, Handle, Handle) { EXPECT_TRUE(engine_.ChannelStop(a)); }, false},
      {"seek", [&](Handle a, Handle, Handle) { EXPECT_TRUE(engine_.ChannelSetPosition(a, 0)); },
       true},
      {"free the first", [&](Handle a, Handle, Handle) { EXPECT_TRUE(engine_.StreamFree(a)); },
       false},
      {"free the queued", [&](Handle, Handle b, Handle) { EXPECT_TRUE(engine_.StreamFree(b)); },
       true},
      {"play another", [&](Handle, Handle, Handle c) { EXPECT_TRUE(engine_.ChannelPlay(c, 0)); },
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Handle ha = Open(dir_.File("a.wav"));
    const Handle hb = Open(dir_.File("b.wav"));
    const Handle hc = Open(dir_.File("c.wav"));
    ASSERT_TRUE(engine_.ChannelPlay(ha, false));
    const auto tape = Tape();
    ASSERT_TRUE(engine_.ChannelQueue(ha, hb));
    // 0.1 s before the joint the queued track's first frames are already written behind it.
    ASSERT_EQ(Hear(n1 - 4410), n1 - 4410);
    ASSERT_TRUE(Buffered(4410 + 2000)) << "the queued track was not joined ahead of time";
    c.cancel(ha, hb, hc);
    Hear(kRate, tape);
    const std::vector<float> heard = tape->Left();
    float loudest = 0;
    for (float v : heard) loudest = std::max(loudest, std::fabs(v));
    EXPECT_LT(loudest, 0.25f) << "the queued track was heard";
    if (c.a_plays_on) {
      EXPECT_GE(heard.size(), n1);
    }
    if (std::string(c.name) != "free the queued") {
      EXPECT_NE(engine_.ChannelIsActive(hb), kPlaying);
      EXPECT_EQ(engine_.ChannelGetPosition(hb), 0u);
    }
    for (Handle h : {ha, hb, hc}) engine_.StreamFree(h);
  }
}

// A pause, a stop and a seek end the sound with a fade, and a resume and the new place of a seek
// start with one: no step in what is heard is larger than the tone's own. Through an output
// that holds a quarter of a second, of which the last 25 ms can no longer be replaced, each is
// heard within 50 ms; nothing of the old place is heard after that (a seek that left the
// buffer alone would play on for a quarter of a second).
TEST_F(FakeEngineTest, PauseStopAndSeekFadeAndAreHeardAtOnce) {
  const std::size_t margin = kRate / 40;
  device_->Shape(kRate / 4, margin);
  // A tone whose amplitude tells the place: 0.5 for the first second, 0.2 after it.
  std::vector<float> samples = ToneSamples(0, 2 * kRate, 2, kRate);
  for (std::size_t i = 2 * kRate; i < samples.size(); ++i) samples[i] *= 0.4f;
  testing::WriteWave(dir_.File("t.wav"), {kRate, 2, WaveFormat::kFloat32}, samples);
  const float own_step = static_cast<float>(0.5 * 2 * kPi * 440 / kRate);

  struct Case {
    const char* name;
    std::function<void(Handle)> command;
    bool resumes;
  };
  const Case cases[] = {
      {"pause", [&](Handle h) { EXPECT_TRUE(engine_.ChannelPause(h)); }, false},
      {"stop", [&](Handle h) { EXPECT_TRUE(engine_.ChannelStop(h)); }, false},
      {"pause and resume",
       [&](Handle h) {
         EXPECT_TRUE(engine_.ChannelPause(h));
         EXPECT_TRUE(engine_.ChannelPlay(h, false));
       },
       true},
      {"seek", [&](Handle h) { EXPECT_TRUE(engine_.ChannelSetPosition(h, 4 * (kRate + 4410))); },
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Handle h = Open(dir_.File("t.wav"));
    ASSERT_TRUE(engine_.ChannelPlay(h, false));
    const auto tape = Tape();
    ASSERT_EQ(Hear(kRate / 5 + 123), kRate / 5 + 123);
    ASSERT_TRUE(Buffered(kRate / 5)) << "the output was not kept full";
    const std::size_t at = tape->Left().size();
    c.command(h);
    Hear(kRate / 5);
    std::vector<float> heard = tape->Left();
    if (!c.resumes) heard.push_back(0.0f);  // what follows the last frame heard is silence
    EXPECT_LT(LargestStep(heard), own_step * 1.1f) << "a click";
    // The old sound ends within 50 ms of the command: after a pause or a stop nothing is heard,
    // after the seek only the quieter new place.
    const bool seek = c.name == std::string("seek");
    std::size_t old_until = at;
    for (std::size_t i = at; i < heard.size(); ++i)
      if (std::fabs(heard[i]) > (seek ? 0.25f : 0.0f)) old_until = i + 1;
    if (seek) {
      // After the fade-out, the quieter second part.
      float later = 0;
      for (std::size_t i = old_until + 2 * margin; i < heard.size() - 1; ++i)
        later = std::max(later, std::fabs(heard[i]));
      EXPECT_NEAR(later, 0.2f, 0.01f) << "the seek was not heard from its new place";
    }
    if (!c.resumes) {
      EXPECT_NE(engine_.ChannelIsActive(h), kPlaying);
    }
    if (!c.resumes || seek) {
      EXPECT_LE(old_until - at, kRate / 20) << "the old place was heard for too long";
    }
    engine_.StreamFree(h);
  }
}

TEST_F(FakeEngineTest, MillisecondPositionsRoundTripAtEveryRate) {
  for (const std::uint32_t rate : {44100u, 48000u, 22050u, 11025u, 8000u}) {
    SCOPED_TRACE(rate);
    const std::string path = dir_.File("r" + std::to_string(rate) + ".wav");
    testing::WriteSineWave(path, 2.5, {rate, 1, WaveFormat::kPcm16});
    const Handle h = Open(path);
    const std::uint64_t frames = engine_.ChannelGetLength(h) / 2;
    EXPECT_EQ(engine_.ChannelGetLengthMs(h), frames * 1000 / rate);
    for (const std::uint64_t ms : {0u, 1u, 999u, 1234u, 2499u}) {
      ASSERT_TRUE(engine_.ChannelSetPositionMs(h, ms)) << ms;
      EXPECT_EQ(engine_.ChannelGetPositionMs(h), ms);
      // The frame it landed on is the first at or after `ms`.
      const std::uint64_t frame = engine_.ChannelGetPosition(h) / 2;
      EXPECT_GE(frame * 1000, ms * rate);
      EXPECT_LT((frame - (frame ? 1 : 0)) * 1000, ms * rate + (frame ? 0 : 1));
    }
    EXPECT_FALSE(engine_.ChannelSetPositionMs(h, engine_.ChannelGetLengthMs(h) + 2));
    EXPECT_EQ(AudioEngine::ErrorGetCode(), kErrPosition);
    EXPECT_EQ(engine_.ChannelGetPositionMs(0), kNotAvailable);
    EXPECT_EQ(AudioEngine::ErrorGetCode(), kErrHandle);
    engine_.StreamFree(h);
  }
}

TEST_F(FakeEngineTest, QueueRefusesWhatCannotFollowWithItsCode) {
  testing::WriteSineWave(dir_.File("a.wav"), 0.5);
  const Handle a = Open(dir_.File("a.wav"));
  const Handle b = Open(dir_.File("a.wav"));
  EXPECT_FALSE(engine_.ChannelQueue(a, b));
  EXPECT_EQ(AudioEngine::ErrorGetCode(), kErrNotPlaying);
  ASSERT_TRUE(engine_.ChannelPlay(a, false));
  EXPECT_FALSE(engine_.ChannelQueue(a, a));
  EXPECT_EQ(AudioEngine::ErrorGetCode(), kErrIllegalParam);
  EXPECT_FALSE(engine_.ChannelQueue(a, 999999));
  EXPECT_EQ(AudioEngine::ErrorGetCode(), kErrHandle);
  EXPECT_FALSE(engine_.ChannelQueue(b, a));
  EXPECT_EQ(AudioEngine::ErrorGetCode(), kErrNotPlaying);
  ASSERT_TRUE(engine_.ChannelPlay(b, false));
  EXPECT_FALSE(engine_.ChannelQueue(a, b));
  EXPECT_EQ(AudioEngine::ErrorGetCode(), kErrAlready);
  EXPECT_TRUE(engine_.ChannelQueue(a, 0));
}

TEST_F(FakeEngineTest, AnOutputThatFailsStopsItsStreamWithTheDeviceCode) {
  testing::WriteSineWave(dir_.File("a.wav"), 1.0);
  const Handle h = Open(dir_.File("a.wav"));
  ASSERT_TRUE(engine_.ChannelPlay(h, false));
  Hear(1000);
  Tape()->Fail();
  const auto end = Clock::now() + std::chrono::seconds(5);
  while (engine_.ChannelIsActive(h) != kStopped && Clock::now() < end) {
  }
  EXPECT_EQ(engine_.ChannelIsActive(h), kStopped);
  EXPECT_EQ(AudioEngine::ErrorGetCode(), kErrDevice);
  EXPECT_FALSE(engine_.ChannelPlay(h, false));
  EXPECT_EQ(AudioEngine::ErrorGetCode(), kErrDevice);
  device_->SetReady(false);
  EXPECT_EQ(engine_.StreamCreateFile(false, dir_.File("a.wav"), 0, 0, 0), 0u);
  EXPECT_EQ(AudioEngine::ErrorGetCode(), kErrDevice);
}

}  // namespace
}  // namespace quillet::audio
