// The main window's transport seam: the five transport buttons, the refresh tick, the seek bar
// and the volume bar; and the window as a view of the player: the lyric strip, the progress,
// the buttons' enabled states and the mode items' marks follow the player's snapshot, and the
// boxes it reports are shown here.
#pragma once

#include <QObject>

class QTimer;

#include "player/PlaySession.h"

namespace quillet {

class TfrmMain;

class MainTransport : public QObject {
 public:
  explicit MainTransport(TfrmMain& main);
  ~MainTransport() override;
  MainTransport(const MainTransport&) = delete;
  MainTransport& operator=(const MainTransport&) = delete;

  void btnPlayClick();
  void btnPauseClick();
  void btnStopClick();
  void btnPrevClick();
  void btnNextClick();
  void ShowTimerTimer();
  void tbPlayProgressEnter();
  void tbPlayProgressMouseDown();
  void tbPlayProgressChange();
  void tbPlayProgressMouseUp();
  void tbSetVolumeEnter();
  void tbSetVolumeUserChange();
  // The single-shot lyric timer ran out: the player shows the line due now, the timer is aimed
  // at the next one.
  void LyricTimerTimer();
  // The timing correction keys: "[" moves the lyric 100 ms earlier, "]" 100 ms later.
  void NudgeLyric(int deltaMs);
  static constexpr int kLyricNudgeMs = 100;

 private:
  void Show(unsigned changes);
  void ShowReport(const PlayerReport& report);
  void ShowLyricStrip(const PlayerSnapshot& s);
  void AimLyricTimer();

  TfrmMain& w_;
  int listening_ = 0;
  QTimer* lyricTimer_ = nullptr;  // "LyricTimer": aimed at the next exact line
};

}  // namespace quillet
