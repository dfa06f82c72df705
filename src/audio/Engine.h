// The operations the player needs of an audio engine, behind an interface so that the
// playback layer runs the same over the real engine and over the scripted one of the tests.
// This is the engine's whole contract; AudioEngine.h adds only what is not part of it.
//
// Units. Between the player and the engine a position or a length is in milliseconds
// (ChannelGetPositionMs, ChannelGetLengthMs, ChannelSetPositionMs). The byte forms remain for
// callers that need them: a byte position or length is in the stream's decoded PCM bytes, the
// stream's own frames x its channel count x 2, as if decoded to 16-bit samples, and is always a
// whole number of frames.
//
// Error codes (LastErrorCode, for the calling thread's last call):
//    0 ok                       14 already initialised
//    1 memory                   20 illegal parameter
//    2 cannot open the file     23 illegal device
//    3 no sound driver          24 not playing
//    5 invalid handle           37 not available
//    6 unsupported sample fmt   41 unsupported file format
//    7 invalid position         -1 unknown
//    8 not initialised
#pragma once

#include <cstdint>
#include <string>

namespace quillet::audio {

using Handle = std::uint32_t;  // 0 is never a live stream; handles are not reused
inline constexpr std::uint64_t kNotAvailable = ~std::uint64_t{0};
// ChannelIsActive results; anything but kStopped counts as active.
enum ActiveState : std::uint32_t { kStopped = 0, kPlaying = 1, kStalled = 2, kPaused = 3 };

enum ErrorCode : int {
  kOk = 0,
  kErrMemory = 1,
  kErrFileOpen = 2,
  kErrDriver = 3,
  kErrHandle = 5,
  kErrFormat = 6,
  kErrPosition = 7,
  kErrInit = 8,
  kErrAlready = 14,
  kErrIllegalParam = 20,
  kErrDevice = 23,
  kErrNotPlaying = 24,
  kErrNotAvailable = 37,
  kErrFileFormat = 41,
  kErrUnknown = -1,
};

class Engine {
 public:
  virtual ~Engine() = default;

  // True when the decoding and output libraries loaded at run time are the ones the engine was
  // built for; `why` receives a short explanation when not.
  virtual bool BackEndOk(std::string* why) = 0;

  // device -1 is the default device, 1.. the output devices the driver lists; freq 0 means
  // 44100; flags must be 0. False (with its code) when no device can be opened: 3 no driver,
  // 23 no such device or it cannot be opened, 14 already initialised. Free releases the device
  // and frees every stream still open.
  virtual bool Init(int device, std::uint32_t freq, std::uint32_t flags) = 0;
  virtual bool Free() = 0;

  // Opens a file as a stream; 0 on failure (code 2, 41, 8 ...). With `mem`, `path` holds the
  // file's bytes instead of its path. [offset, offset + length) is the part used; length 0 is to
  // the end. flags must be 0. Needs a successful Init (code 8 otherwise). A file without any
  // audio (an empty file, a WAVE with no samples) is code 41.
  virtual Handle StreamCreateFile(bool mem, const std::string& path, std::uint64_t offset,
                                  std::uint64_t length, std::uint32_t flags) = 0;
  virtual bool StreamFree(Handle h) = 0;

  // Resumes from the current position; a stream that has played out starts again from 0, as
  // does any stream with `restart`. Playing a stream cancels what any other stream has queued
  // (ChannelQueue). Pause, stop and a seek fade the sound out over a few milliseconds before
  // they take effect (silent within 50 ms); a resume, and the new place of a seek while
  // playing, fade in. A start from the beginning does not fade.
  virtual bool ChannelPlay(Handle h, bool restart) = 0;
  // 24 when not playing, 14 when already paused.
  virtual bool ChannelPause(Handle h) = 0;
  // Stopped, the stream is inactive; a later ChannelPlay resumes where it stopped.
  virtual bool ChannelStop(Handle h) = 0;
  // 0 never played, stopped, played out or invalid; non-zero while playing or paused.
  virtual std::uint32_t ChannelIsActive(Handle h) = 0;

  virtual std::uint64_t ChannelGetLength(Handle h) = 0;    // kNotAvailable when unknown
  virtual std::uint64_t ChannelGetPosition(Handle h) = 0;  // the position being heard
  // Exact inverses of each other at frame granularity; -1 and kNotAvailable on an error.
  virtual double ChannelBytes2Seconds(Handle h, std::uint64_t bytes) = 0;
  virtual std::uint64_t ChannelSeconds2Bytes(Handle h, double seconds) = 0;
  // Lands on the frame that holds `bytes`; beyond the length is code 7. A stream that had played
  // out is stopped there, and the next ChannelPlay resumes from it. While playing, the new place
  // is heard within 100 ms and nothing of the old one after that.
  virtual bool ChannelSetPosition(Handle h, std::uint64_t bytes) = 0;

  // The same in milliseconds, the player's unit. A position is the frame being heard, rounded
  // down to the millisecond; ChannelSetPositionMs lands on the first frame at or after `ms`, so
  // that the position read back is `ms` again. kNotAvailable (code 5) for a bad handle.
  virtual std::uint64_t ChannelGetLengthMs(Handle h) = 0;
  virtual std::uint64_t ChannelGetPositionMs(Handle h) = 0;
  virtual bool ChannelSetPositionMs(Handle h, std::uint64_t ms) = 0;

  // Gap-free track changes. Hands over `next` (a stream from StreamCreateFile that is neither
  // playing nor paused, and not `current`) to follow `current` (playing, paused, or itself
  // queued behind another) without a gap: the engine decodes it ahead and writes its first frame
  // right after the last frame of `current`, into the same output. Files at another rate are
  // resampled to the output's rate, so they join as seamlessly. MP3 encoder delay and padding are
  // never played, so two files cut from one recording join sample for sample.
  //   - `next` plays from where it stands: its start, unless it was set elsewhere
  //     (ChannelSetPosition) before. A stream that had played out starts from its start.
  //   - Up to the moment the joint is heard, `current` is the stream playing (its position
  //     runs to its length); `next` stands at its starting position and reports 0 until it is
  //     joined, kPlaying from then on. From that moment `current` is stopped, played out
  //     (ChannelIsActive 0, position = its length, a later ChannelPlay starts it from 0), and
  //     `next` plays with its own position and length. So the joint has been heard when
  //     ChannelIsActive(current) is 0 while ChannelIsActive(next) is not.
  //   - To repeat one track, queue a second stream of the same file; a stream cannot follow
  //     itself.
  //   - Cancelled, with `next` left as it was (not playing, at its starting position), by
  //     ChannelQueue(current, 0), by another ChannelQueue on `current`, by ChannelStop,
  //     ChannelSetPosition or StreamFree of either stream, and by ChannelPlay of any other
  //     stream, whenever they come before the joint is heard. Pausing and resuming `current`
  //     keeps it. A cancel that comes in the last few milliseconds, when the joint is already on
  //     its way to the listener, fades out the few frames of `next` that are.
  //   - A track shorter than the output's buffer (a quarter of a second) joins the one after
  //     it once its own joint has been heard; a chain of such tracks may leave a short gap.
  // Codes: 5 bad handle, 20 `next` is `current`, 24 `current` is not playing, paused or queued, 14
  // `next` is playing or paused. ChannelQueue(current, 0) is true whether or not anything was
  // queued.
  virtual bool ChannelQueue(Handle current, Handle next) = 0;

  // Output volume: left in the low 16 bits, right in the high 16 bits, each 0..65535.
  virtual std::uint32_t GetVolume() = 0;
  virtual bool SetVolume(std::uint32_t packed) = 0;

  // The code of the calling thread's last call.
  virtual int LastErrorCode() = 0;
};

}  // namespace quillet::audio
