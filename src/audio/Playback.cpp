#include "audio/Playback.h"

#include <algorithm>
#include <cmath>

namespace quillet::audio {

namespace {

using Clock = std::chrono::steady_clock;

// Decoded ahead per stream: about 0.74 s at 44100 Hz, whatever the file's length. The worker
// sleeps until half of it has been written and then fills it up again in one go.
constexpr std::size_t kAheadFrames = 32768;
constexpr std::size_t kRefillRoom = kAheadFrames / 2;
constexpr std::size_t kWriteChunk = 4096;
// Fades of pause, stop and seek: long enough not to click, short enough to feel instant.
constexpr double kFadeSeconds = 0.008;
// Silence after the fade of a pause or a stop, while the output is held (FadeOut).
constexpr double kHoldSilenceSeconds = 0.03;
// An output let go of plays out its last fade, but closes after this at the latest.
constexpr auto kLetGoLimit = std::chrono::seconds(2);

}  // namespace

std::size_t Playback::FadeFrames() const {
  return static_cast<std::size_t>(std::lround(kFadeSeconds * device->rate()));
}

std::shared_ptr<Stream> Playback::Find(Handle h) {
  if (h == 0) return nullptr;
  auto it = streams.find(h);
  return it == streams.end() ? nullptr : it->second;
}

void Playback::Work(Stream* s) {
  std::vector<float> got;
  std::uint64_t my_gen = 0;
  bool topping_up = true;  // filling up; it waits again once full
  std::unique_lock<std::mutex> lk(mu);
  while (!s->quit) {
    if (s->gen != my_gen) {
      my_gen = s->gen;
      topping_up = true;
      const std::uint64_t to = s->seek_to;
      lk.unlock();
      const bool ok = s->src->Seek(to);
      lk.lock();
      if (!ok && s->gen == my_gen) {
        s->failed = s->src_end = true;
        waker.Kick();
      }
      continue;
    }
    const std::size_t have = s->ahead.size() / 2;
    if (have >= kAheadFrames) topping_up = false;
    if (have + kRefillRoom <= kAheadFrames) topping_up = true;
    if (s->src_end || !topping_up) {
      s->cv.wait(lk);
      continue;
    }
    lk.unlock();
    got.clear();
    const FrameSource::Got r = s->src->Read(&got);
    lk.lock();
    if (s->gen != my_gen) continue;
    const bool was_empty = s->ahead.empty();
    s->ahead.insert(s->ahead.end(), got.begin(), got.end());
    if (r != FrameSource::Got::kMore) {
      s->src_end = true;
      s->failed = r == FrameSource::Got::kError;
    }
    if (was_empty || s->src_end) waker.Kick();
  }
}

void Playback::NewStretch(Stream& s, std::uint64_t frame) {
  ++s.gen;
  s.seek_to = frame;
  s.ahead.clear();
  s.src_end = s.failed = false;
  s.seg_src = frame;
  s.seg_at = s.hold_at = s.voice ? s.voice->out->Written() : 0;
  s.seg_out = 0;
  s.tail_written = s.drained = false;
  s.fade_in = 0;
  s.cv.notify_all();
}

template <typename Gain>
std::size_t Playback::WriteFrames(Voice& v, Stream& s, std::size_t n, Gain gain) {
  n = std::min(n, s.ahead.size() / 2);
  if (n == 0) return 0;
  scratch_.assign(s.ahead.begin(), s.ahead.begin() + static_cast<std::ptrdiff_t>(2 * n));
  for (std::size_t k = 0; k < n; ++k) {
    const float g = gain(k);
    scratch_[2 * k] *= g;
    scratch_[2 * k + 1] *= g;
  }
  const std::size_t put = v.out->Write(scratch_.data(), n);
  s.ahead.erase(s.ahead.begin(), s.ahead.begin() + static_cast<std::ptrdiff_t>(2 * put));
  v.recent.insert(v.recent.end(), scratch_.begin(),
                  scratch_.begin() + static_cast<std::ptrdiff_t>(2 * put));
  s.seg_out += put;
  // What has been heard can no longer be taken back.
  const std::uint64_t heard = v.out->Heard();
  if (heard > v.recent_from) {
    const auto drop = static_cast<std::size_t>(
        std::min<std::uint64_t>(heard - v.recent_from, v.recent.size() / 2));
    v.recent.erase(v.recent.begin(), v.recent.begin() + static_cast<std::ptrdiff_t>(2 * drop));
    v.recent_from += drop;
  }
  if (put < n) s.cv.notify_all();
  if (s.ahead.size() / 2 + kRefillRoom <= kAheadFrames) s.cv.notify_all();
  return put;
}

std::size_t Playback::WritePlain(Voice& v, Stream& s, std::size_t n) {
  if (s.fade_in == 0) return WriteFrames(v, s, n, [](std::size_t) { return 1.0f; });
  const std::size_t len = FadeFrames();
  const std::size_t done = len - s.fade_in;
  const std::size_t put = WriteFrames(v, s, std::min(n, s.fade_in), [&](std::size_t k) {
    return static_cast<float>(done + k + 1) / static_cast<float>(len);
  });
  s.fade_in -= put;
  return put;
}

bool Playback::Join(Voice& v) {
  Stream* s = v.writer;
  Stream* q = s->queued;
  if (!q) return false;
  if (v.before) {
    // One joint at a time: a track shorter than the output's buffer waits for the joint
    // before it to be heard.
    UpdateEnd(*v.before);
    if (v.before) return false;
  }
  s->queued = nullptr;
  q->behind = nullptr;
  v.before = s;
  v.writer = q;
  q->voice = s->voice;
  q->seg_at = q->hold_at = v.out->Written();
  q->seg_out = 0;
  q->tail_written = q->drained = q->faded = false;
  q->fade_in = 0;
  q->state = PlayState::kPlaying;
  return true;
}

void Playback::Serve(Voice& v) {
  if (v.out->Failed()) {
    Lose(v);
    return;
  }
  Stream* s = v.writer;
  if (!s) return;
  if (s->state != PlayState::kPlaying) {
    // Once the fade-out is heard, the output holds.
    if (!v.corked && v.out->Heard() >= s->hold_at) {
      v.out->SetPaused(true);
      v.corked = true;
    }
    return;
  }
  std::size_t room = v.out->Room();
  while (room > 0) {
    if (s->ahead.empty()) {
      if (!s->src_end) return;  // the worker kicks when it has more
      s->tail_written = true;
      if (Join(v)) {
        s = v.writer;
        continue;
      }
      if (!s->drained) {
        s->drained = true;
        v.out->Drain();
      }
      return;
    }
    const std::size_t put = WritePlain(v, *s, std::min(room, kWriteChunk));
    if (put == 0) return;
    room -= put;
  }
}

void Playback::Lose(Voice& v) {
  for (Stream* s : {v.writer, v.before}) {
    if (!s) continue;
    s->lost = true;
    if (s->state == PlayState::kPlaying || s->state == PlayState::kPaused) {
      s->hold_at = s->seg_at + s->seg_out;
      s->state = PlayState::kStopped;
    }
    if (s->queued) {
      s->queued->behind = nullptr;
      s->queued = nullptr;
    }
    s->voice.reset();
  }
  v.writer = v.before = nullptr;
  v.let_go = Clock::now() - kLetGoLimit;
}

void Playback::UpdateEnd(Stream& s) {
  if (s.state != PlayState::kPlaying || !s.tail_written || !s.voice) return;
  Voice& v = *s.voice;
  if (v.writer == &s && s.queued) return;  // its queued stream joins when served
  if (v.out->Heard() < s.seg_at + s.seg_out) return;
  s.state = PlayState::kEnded;
  if (v.before == &s) {
    v.before = nullptr;
    s.voice.reset();
  }
}

void Playback::GiveBack(Voice& v, Stream& s, std::uint64_t from, std::uint64_t to) {
  if (to <= from) return;
  const auto a = static_cast<std::ptrdiff_t>(2 * (from - v.recent_from));
  const auto b = static_cast<std::ptrdiff_t>(2 * (to - v.recent_from));
  s.ahead.insert(s.ahead.begin(), v.recent.begin() + a, v.recent.begin() + b);
  s.seg_out -= to - from;
  s.tail_written = s.drained = false;
}

void Playback::Recall(Voice& v) {
  if (v.before) UpdateEnd(*v.before);
  const std::uint64_t written = v.out->Written();
  const std::uint64_t at = std::max(v.out->Rewind(v.out->Rewritable()), v.recent_from);
  if (at >= written) return;
  Stream* w = v.writer;
  if (w) {
    // Silence written after a hold belongs to no stream.
    const std::uint64_t from = std::max(at, w->seg_at);
    GiveBack(v, *w, from, std::min(written, w->seg_at + w->seg_out));
    Stream* b = v.before;
    if (at < w->seg_at && !b) {
      // It had not begun after the silence of a hold: it begins where the output goes on.
      w->seg_at = at;
      w->hold_at = std::min(w->hold_at, at);
    }
    if (at < w->seg_at && b) {
      GiveBack(v, *b, at, w->seg_at);
      w->voice.reset();
      w->state = PlayState::kIdle;
      b->queued = w;
      w->behind = b;
      v.writer = b;
      v.before = nullptr;
    }
  }
  v.recent.resize(static_cast<std::size_t>(2 * (at - v.recent_from)));
}

std::uint64_t Playback::FadeOut(Stream& s, bool hold) {
  Voice& v = *s.voice;
  Recall(v);
  if (v.writer != &s && v.before == &s) {
    // The joint is already on its way: the few frames of the next stream there fade out
    // instead, and it goes back to where it stood.
    Stream* q = v.writer;
    Fade(v, *q);
    const std::uint64_t start = q->seg_src;
    q->voice.reset();
    q->state = PlayState::kIdle;
    q->faded = false;
    v.writer = &s;
    v.before = nullptr;
    NewStretch(*q, start);
  }
  if (v.writer != &s) return v.out->Written();
  Fade(v, s);
  const std::uint64_t end = v.out->Written();
  if (hold) {
    // A little silence after the fade keeps the output running until the writer holds it
    // (Serve), so that it never runs dry: an output that ran dry may drop the first frames
    // that follow.
    scratch_.assign(static_cast<std::size_t>(2 * kHoldSilenceSeconds * device->rate()), 0.0f);
    const std::size_t put = v.out->Write(scratch_.data(), scratch_.size() / 2);
    v.recent.insert(v.recent.end(), scratch_.begin(),
                    scratch_.begin() + static_cast<std::ptrdiff_t>(2 * put));
  }
  return end;
}

void Playback::Fade(Voice& v, Stream& s) {
  const std::size_t n = std::min(FadeFrames(), s.ahead.size() / 2);
  const std::size_t skip = s.fade_in;  // a fade-in cut short starts the fade-out lower
  const std::size_t len = FadeFrames();
  const float from = skip ? static_cast<float>(len - skip) / static_cast<float>(len) : 1.0f;
  s.fade_in = 0;
  WriteFrames(v, s, n, [&](std::size_t k) {
    return from * static_cast<float>(n - 1 - k) / static_cast<float>(n);
  });
  if (s.ahead.empty() && s.src_end) s.tail_written = true;
}

void Playback::CancelQueue(Stream& s) {
  if (s.queued) {
    s.queued->behind = nullptr;
    s.queued = nullptr;
  }
  UpdateEnd(s);  // a joint already heard is no longer to be cancelled
  if (!s.voice || s.voice->before != &s) return;
  Voice& v = *s.voice;
  Recall(v);
  if (v.before == &s) {
    FadeOut(s, false);  // too late to take back: the next stream's frames there fade out
    s.tail_written = true;
  }
  if (s.queued) {
    s.queued->behind = nullptr;
    s.queued = nullptr;
  }
  Serve(v);
}

void Playback::CancelQueues(Stream& s) {
  if (s.behind) CancelQueue(*s.behind);
  if (s.voice && s.voice->writer == &s && s.voice->before) CancelQueue(*s.voice->before);
  CancelQueue(s);
}

void Playback::LetGo(Stream& s) {
  if (!s.voice) return;
  Voice& v = *s.voice;
  if (v.writer == &s) {
    v.writer = nullptr;
    v.let_go = Clock::now();
  }
  if (v.before == &s) v.before = nullptr;
  s.voice.reset();
}

void Playback::Check(Stream& s) {
  if (s.voice && s.voice->out->Failed()) Lose(*s.voice);
  UpdateEnd(s);
}

std::uint64_t Playback::Position(Stream& s) {
  if (s.state == PlayState::kEnded) return s.failed ? s.SourceAt(s.seg_out) : s.frames;
  if (!s.voice) return s.SourceAt(std::min(s.hold_at - std::min(s.hold_at, s.seg_at), s.seg_out));
  const std::uint64_t h = s.state == PlayState::kPlaying
                              ? s.voice->out->Heard()
                              : std::min(s.hold_at, s.voice->out->Written());
  return s.SourceAt(h > s.seg_at ? std::min(h - s.seg_at, s.seg_out) : 0);
}

void Playback::Pump() {
  std::unique_lock<std::mutex> lk(mu);
  while (!pump_quit) {
    bool settling = false;
    for (const auto& v : voices) {
      Serve(*v);
      if (v->writer && v->writer->state != PlayState::kPlaying && !v->corked) settling = true;
      if (v->writer && v->writer->queued && v->before) settling = true;  // a joint waits
    }
    const auto now = Clock::now();
    for (auto it = voices.begin(); it != voices.end();) {
      Voice& v = **it;
      const bool idle = !v.writer && !v.before;
      if (idle &&
          (v.out->Failed() || v.out->Heard() >= v.out->Written() || now - v.let_go > kLetGoLimit)) {
        it = voices.erase(it);
        continue;
      }
      if (idle) settling = true;
      ++it;
    }
    lk.unlock();
    waker.Wait(settling ? std::chrono::milliseconds(10) : std::chrono::milliseconds(1000));
    lk.lock();
  }
}

void Playback::StopPump() {
  {
    std::lock_guard<std::mutex> lk(mu);
    pump_quit = true;
  }
  waker.Kick();
  if (pump.joinable()) pump.join();
}

void Playback::FreeAllStreams() {
  std::map<Handle, std::shared_ptr<Stream>> gone;
  {
    std::lock_guard<std::mutex> lk(mu);
    gone.swap(streams);
    for (auto& [id, s] : gone) {
      s->quit = true;
      s->queued = s->behind = nullptr;
      s->voice.reset();
      s->cv.notify_all();
    }
    voices.clear();
  }
  for (auto& [id, s] : gone)
    if (s->worker.joinable()) s->worker.join();
}

}  // namespace quillet::audio
