// How the engine plays. Each stream has a worker thread that decodes ahead into a queue of output
// frames (stereo, at the output's rate); one writer thread per engine moves those frames into the
// outputs (Output.h). A stream gets an output (a "voice") when it first plays, and keeps it.
//
// Positions. A stream plays in stretches: from a seek (or its start) on, its frames land on the
// output's time line from `seg_at` on, and the source frame of any of them follows from the two
// rates. The frame being heard is the output's Heard(), so the position is where the listener is.
//
// Taking back. The outputs keep deep buffers, so what a pause, a stop or a seek must end is
// still waiting in them. The voice keeps a copy of the frames written and not yet heard; a
// command takes them back from the output's first replaceable frame on (they return to their
// streams' queues) and writes instead a short fade-out of what was to come. A resume or the new
// place of a seek fades in. A queued stream (ChannelQueue) is joined when the current one's last
// frame is written: its frames follow in the same output, and taking back across the joint
// returns them to it, queued again.
//
// One lock (Playback::mu) guards every stream and voice; output calls are made with it held. The
// outputs' own callbacks never take it: they only kick the writer (Waker).
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "audio/Engine.h"
#include "audio/FrameSource.h"
#include "audio/Output.h"

namespace quillet::audio {

inline constexpr std::uint32_t kBytesPerSample = 2;  // byte positions count 16-bit samples

enum class PlayState { kIdle, kPlaying, kPaused, kStopped, kEnded };

struct Stream;

// An open output and the frames written to it that may still be taken back.
struct Voice {
  std::unique_ptr<Output> out;
  std::deque<float> recent;  // frames [recent_from, out->Written()), as written
  std::uint64_t recent_from = 0;
  Stream* writer = nullptr;  // whose frames go in now; nullptr once let go
  Stream* before = nullptr;  // a stream whose last frames precede the writer's, until heard
  bool corked = false;
  std::chrono::steady_clock::time_point let_go{};
};

struct Stream {
  Handle id = 0;
  std::unique_ptr<FrameSource> src;
  std::uint32_t rate = 0;      // the file's
  std::uint32_t channels = 0;  // the file's
  std::uint64_t frames = 0;    // the file's length in frames
  std::uint32_t out_rate = 0;  // the output's

  // The worker's side: output frames decoded ahead, from the current stretch.
  std::deque<float> ahead;
  bool src_end = false;   // the stretch's last frame is in `ahead`
  bool failed = false;    // the decoder gave up before the end
  std::uint64_t gen = 0;  // bumped by every seek; the worker drops work of older ones
  std::uint64_t seek_to = 0;
  bool quit = false;
  std::condition_variable cv;  // the worker waits here, on the engine's lock
  std::thread worker;

  // The writer's side.
  PlayState state = PlayState::kIdle;
  bool lost = false;  // its output failed (the server went away)
  std::shared_ptr<Voice> voice;
  std::uint64_t seg_src = 0;  // source frame at which the stretch begins
  std::uint64_t seg_at = 0;   // output index of the stretch's first frame
  std::uint64_t seg_out = 0;  // output frames of the stretch written
  bool tail_written = false;  // every frame of the stretch is written
  bool drained = false;       // ... and the output was told so
  std::uint64_t hold_at = 0;  // paused or stopped: where what is heard of it ends
  bool faded = false;         // paused, stopped or sought by a fade-out: fade in next
  std::size_t fade_in = 0;    // frames of fade-in still to apply
  Stream* queued = nullptr;   // the stream to follow this one (ChannelQueue)
  Stream* behind = nullptr;   // the stream this one is queued to follow

  std::uint32_t BytesPerFrame() const { return channels * kBytesPerSample; }

  std::uint64_t SourceAt(std::uint64_t out_frames) const {
    // Split so that the product cannot overflow.
    const std::uint64_t src =
        seg_src + out_frames / out_rate * rate + out_frames % out_rate * rate / out_rate;
    return std::min(src, frames);
  }
};

// The streams, their voices and the writer thread. Every member is guarded by `mu`; the
// engine's operations take it and call these.
class Playback {
 public:
  std::mutex mu;
  std::map<Handle, std::shared_ptr<Stream>> streams;
  std::vector<std::shared_ptr<Voice>> voices;
  std::shared_ptr<OutputDevice> device;
  Waker waker;
  std::thread pump;
  bool pump_quit = false;
  std::atomic<std::uint32_t> volume{0xFFFFFFFFu};

  // Frames of a fade at the output's rate.
  std::size_t FadeFrames() const;
  // nullptr for 0 and for a handle not (or no longer) open.
  std::shared_ptr<Stream> Find(Handle h);

  // --- The worker ----------------------------------------------------------------------------

  // The stream's worker thread: keeps `ahead` filled from the current stretch.
  void Work(Stream* s);

  // Starts a new stretch of `s` at source frame `frame`, after what its voice holds.
  void NewStretch(Stream& s, std::uint64_t frame);

  // --- Writing -------------------------------------------------------------------------------

  // Writes the next `n` frames of `s` (its writer) with `gain(k)` applied to frame k.
  template <typename Gain>
  std::size_t WriteFrames(Voice& v, Stream& s, std::size_t n, Gain gain);

  // Writes up to `n` frames of `s`, fading in while a fade-in is due.
  std::size_t WritePlain(Voice& v, Stream& s, std::size_t n);

  // The writer's queued stream follows it in the same output.
  bool Join(Voice& v);

  // Moves frames from the writer's queue into the output while it has room.
  void Serve(Voice& v);

  // The output broke: its streams stop and say why from now on.
  void Lose(Voice& v);

  // --- Taking back ---------------------------------------------------------------------------

  // Marks a stream whose last frame has been heard as played out.
  void UpdateEnd(Stream& s);

  // Frames from `from` to `to` of the voice's copy go back to the front of `s`'s queue.
  void GiveBack(Voice& v, Stream& s, std::uint64_t from, std::uint64_t to);

  // Takes back every frame from the output's first replaceable one on. A joint not yet reached
  // is undone: the writer is queued again behind the stream before it.
  void Recall(Voice& v);

  // Fades `s` (its voice's writer) out from the first replaceable frame on; returns where what
  // is heard of it ends. With `hold` (pause, stop, free) silence follows; without (a seek),
  // the new place does.
  std::uint64_t FadeOut(Stream& s, bool hold);

  // Writes the fade-out of `s`'s next frames.
  void Fade(Voice& v, Stream& s);

  // Cancels what `s` has queued, or the joint it is the stream before.
  void CancelQueue(Stream& s);

  // Cancels every queue `s` takes part in.
  void CancelQueues(Stream& s);

  // `s` no longer writes to its voice, which plays out what it has and closes.
  void LetGo(Stream& s);

  // Keeps the stream's state up to date with its output.
  void Check(Stream& s);

  // The source frame being heard.
  std::uint64_t Position(Stream& s);

  // --- The writer thread ---------------------------------------------------------------------

  // The writer thread: serves every voice when kicked, and closes voices let go once they
  // have played out.
  void Pump();
  void StopPump();

  // Takes every stream out of the table and lets them go (joining their workers) unlocked.
  void FreeAllStreams();

 private:
  std::vector<float> scratch_;  // WriteFrames' own
};

}  // namespace quillet::audio
