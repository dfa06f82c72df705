#include "shell/MainTransport.h"

#include <QFontMetrics>
#include <QKeySequence>
#include <QShortcut>
#include <QTimer>
#include <algorithm>
#include <exception>
#include <string>

#include "common/DisplayText.h"
#include "platform/Dialogs.h"
#include "shell/Look.h"
#include "shell/TfrmMain.h"

namespace quillet {

namespace {

// Restarts the refresh timer when a tick ends, however it ends: normally, by an exception, or
// after its failure was reported. Not after exit, and not while the user holds the seek bar
// (a press during a box the tick showed): the release starts it again.
class RearmGuard {
 public:
  explicit RearmGuard(TfrmMain& w) : w_(w) {}
  ~RearmGuard() {
    const PlayerSnapshot& s = w_.Player.Snapshot();
    if (s.ready && s.state != psSeeking) w_.ShowTimer->start();
  }
  RearmGuard(const RearmGuard&) = delete;
  RearmGuard& operator=(const RearmGuard&) = delete;

 private:
  TfrmMain& w_;
};

}  // namespace

MainTransport::MainTransport(TfrmMain& main) : QObject(&main), w_(main) {
  setObjectName(QStringLiteral("MainTransport"));
  listening_ = w_.Player.Subscribe([this](unsigned changes) { Show(changes); });
  w_.Player.OnReport = [this](const PlayerReport& r) { ShowReport(r); };
  lyricTimer_ = new QTimer(this);
  lyricTimer_->setObjectName(QStringLiteral("LyricTimer"));
  lyricTimer_->setSingleShot(true);
  lyricTimer_->setTimerType(Qt::PreciseTimer);
  connect(lyricTimer_, &QTimer::timeout, this, [this] { LyricTimerTimer(); });
  auto* earlier = new QShortcut(QKeySequence(Qt::Key_BracketLeft), &w_);
  earlier->setObjectName(QStringLiteral("LyricEarlierKey"));
  connect(earlier, &QShortcut::activated, this, [this] { NudgeLyric(kLyricNudgeMs); });
  auto* later = new QShortcut(QKeySequence(Qt::Key_BracketRight), &w_);
  later->setObjectName(QStringLiteral("LyricLaterKey"));
  connect(later, &QShortcut::activated, this, [this] { NudgeLyric(-kLyricNudgeMs); });
}

MainTransport::~MainTransport() {
  w_.Player.Unsubscribe(listening_);
  w_.Player.OnReport = nullptr;
}

// The displays follow the snapshot. The seek bar's range and place move only when a tick has
// read them: while the user holds the bar it stays under the mouse.
void MainTransport::Show(unsigned changes) {
  const PlayerSnapshot& s = w_.Player.Snapshot();
  if (changes & (kChangedLyric | kChangedOptions)) ShowLyricStrip(s);
  AimLyricTimer();
  w_.ItemLoopLst->setChecked(s.mode == pmLoopLst);
  w_.ItemLoopSel->setChecked(s.mode == pmLoopSel);
  w_.ItemLoopSingle->setChecked(s.mode == pmLoopSingle);
  if (changes & (kChangedProgress | kProgressRead)) {
    w_.GBPlayProgress->setTitle(DisplayTagText(s.progressCaption));
  }
  if (changes & kProgressRead) {
    if (s.progressMax) w_.tbPlayProgress->SetMax(*s.progressMax);
    w_.tbPlayProgress->SetPosition(s.progressPosition);
  }
  if ((changes & kChangedVolume) && w_.tbSetVolume->Position() != s.volume) {
    w_.tbSetVolume->SetPosition(s.volume);
  }
  if (changes & kTicked) {
    if (const std::optional<int> bar =
            VolumeBarFollow(s.volumePacked, w_.tbSetVolume->Position())) {
      w_.tbSetVolume->SetPosition(*bar);
    }
  }
  w_.btnPrev->setEnabled(s.canPrev);
  w_.btnNext->setEnabled(s.canNext);
  w_.btnPlay->setEnabled(s.canPlay);
  w_.btnPause->setEnabled(s.canPause);
  w_.btnStop->setEnabled(s.canStop);
}

// The strip: the line as plain text, as it always was; with a translation, the line and after
// it the translation in a lighter colour, the translation elided first so that both fit on the
// one line. Its accessible name is the line.
void MainTransport::ShowLyricStrip(const PlayerSnapshot& s) {
  QLabel* strip = w_.PanelLyric;
  const QString line = QString::fromUtf8(s.lyricLine);
  // Screen readers hear the line (and its translation) whole, however the strip cuts it; a
  // new name is announced.
  const QString spoken = s.lyricTranslation.empty()
                             ? line
                             : line + QLatin1Char(' ') + QString::fromUtf8(s.lyricTranslation);
  if (strip->accessibleName() != spoken) strip->setAccessibleName(spoken);
  if (s.lyricTranslation.empty()) {
    strip->setTextFormat(Qt::PlainText);
    strip->setText(line);
    return;
  }
  const QFontMetrics fm(strip->font());
  const int width = strip->width() - 4;
  const QString gap = QStringLiteral("  ");
  const QString shown = fm.elidedText(line, Qt::ElideRight, width);
  const int rest = width - fm.horizontalAdvance(shown + gap);
  const QString translation =
      rest > fm.horizontalAdvance(QStringLiteral("…")) * 2
          ? fm.elidedText(QString::fromUtf8(s.lyricTranslation), Qt::ElideRight, rest)
          : QString();
  QString html = shown.toHtmlEscaped();
  if (!translation.isEmpty()) {
    html += gap + QStringLiteral("<span style=\"color:%1\">%2</span>")
                      .arg(QColor(kMaroon).lighter(250).name(), translation.toHtmlEscaped());
  }
  strip->setTextFormat(Qt::RichText);
  strip->setText(html);
}

// Aims the single-shot timer at the next exact line, counted from the position the line was
// found for; stopped when none is due.
void MainTransport::AimLyricTimer() {
  const PlayerSnapshot& s = w_.Player.Snapshot();
  if (!s.ready || s.lyricNextMs < 0 || s.state != psPlaying) {
    lyricTimer_->stop();
    return;
  }
  const std::int64_t wait = std::max<std::int64_t>(0, s.lyricNextMs - s.lyricAtMs);
  lyricTimer_->start(static_cast<int>(std::min<std::int64_t>(wait, 24 * 3600 * 1000)));
}

void MainTransport::LyricTimerTimer() {
  w_.Player.LyricTick();
  AimLyricTimer();
}

void MainTransport::NudgeLyric(int deltaMs) {
  // The player's report shows a failure to write the file in the general error box.
  w_.Player.NudgeLyric(deltaMs);
}

void MainTransport::ShowReport(const PlayerReport& r) {
  // From the tray menu the window may be hidden: the focus only goes to a view on screen.
  if (r.focusList && w_.isVisible()) w_.ListViewLst->setFocus();
  if (r.streamError) ShowAudioError(w_.Dlg, &w_, PlaySession::kStreamError, *r.streamError);
  if (r.outputError) ShowAudioError(w_.Dlg, &w_, PlaySession::kOutputError, *r.outputError);
  if (!r.failure.empty()) ShowErrorBox(w_.Dlg, &w_, w_.Player.Shared.VersionText, r.failure);
}

void MainTransport::btnPlayClick() { w_.Player.Play(); }

void MainTransport::btnPauseClick() { w_.Player.Pause(); }

void MainTransport::btnStopClick() { w_.Player.Stop(); }

void MainTransport::btnPrevClick() { w_.Player.Previous(); }

void MainTransport::btnNextClick() { w_.Player.Next(); }

void MainTransport::ShowTimerTimer() {
  // Nothing acts before the creation step has set the state up, nor after exit.
  if (!w_.Player.Snapshot().ready) return;
  w_.ShowTimer->stop();
  RearmGuard rearm(w_);
  std::string failure;
  try {
    w_.Player.Tick();
  } catch (const std::exception& e) {
    failure = e.what();
  } catch (...) {
    failure = "the refresh step failed";
  }
  // Reported while the timer is still off, so a failure that repeats does not pile up boxes.
  if (!failure.empty()) ShowErrorBox(w_.Dlg, &w_, w_.Player.Shared.VersionText, failure);
}

void MainTransport::tbPlayProgressEnter() { w_.GBPlayProgress->setFocus(); }

void MainTransport::tbPlayProgressMouseDown() {
  w_.ShowTimer->stop();
  w_.Player.BeginSeek();
}

void MainTransport::tbPlayProgressChange() { w_.Player.SeekPreview(w_.tbPlayProgress->Position()); }

void MainTransport::tbPlayProgressMouseUp() {
  w_.Player.EndSeek(w_.tbPlayProgress->Position());
  if (w_.Player.Snapshot().ready) w_.ShowTimer->start();
}

void MainTransport::tbSetVolumeEnter() { w_.GBPlayControl->setFocus(); }

void MainTransport::tbSetVolumeUserChange() { w_.Player.SetVolume(w_.tbSetVolume->Position()); }

}  // namespace quillet
