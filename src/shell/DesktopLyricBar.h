// The desktop lyric bar (桌面歌词): a frameless, translucent window above all others that shows
// what the lyric strip shows, large and outlined so that it reads on any background: the current
// line, and smaller beneath it the translation (with "show translation" on) or the line to come.
// With exact timing and a line whose words are timed, the words fill with the highlight colour
// as they are sung. Without a lyric, and between tracks, it shows the track's title for a few
// seconds and then fades to nothing.
//
// It is a face of the player: it reads the snapshot when told of a change and keeps no play
// state of its own. It repaints only when its text changes, and while a word fill or a fade
// runs at most 30 times a second.
//
// Unlocked, it is dragged to move it and by its edge to resize it (a faint frame shows while the
// pointer is over it). Locked, it takes no input at all: clicks go to the window below.
#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <vector>

#include "common/Options.h"
#include "player/PlaySession.h"

class QTimer;

namespace quillet {

class DesktopLyricBar : public QWidget {
 public:
  static constexpr int kDefaultFontSize = 34;  // pixels
  static constexpr const char* kDefaultTextColour = "#ffffff";
  static constexpr const char* kDefaultHighlightColour = "#33c4ff";
  // A title stays this long, then fades out over kFadeMs.
  static constexpr int kTitleHoldMs = 3000;
  static constexpr int kFadeMs = 800;
  // One frame of a word fill or a fade: at most 30 a second.
  static constexpr int kFrameMs = 34;

  explicit DesktopLyricBar(PlaySession& player, QWidget* parent = nullptr);
  ~DesktopLyricBar() override;
  DesktopLyricBar(const DesktopLyricBar&) = delete;
  DesktopLyricBar& operator=(const DesktopLyricBar&) = delete;

  // The font size, colours and lock of the options; the place is the caller's to set.
  void FollowOptions(const Options& options);
  // The size (and, where the program may place windows, the place) kept in the options, or the
  // bar's own: across the bottom of the primary screen.
  void Place(const Options& options);
  // Locked: every click passes through to the window below.
  void SetLocked(bool locked);
  bool Locked() const { return locked_; }

  // The user moved or resized the bar; told once the moving has settled, with the new geometry.
  std::function<void(const QRect&)> PlaceChanged;

  // What it shows now (also its accessible name and description), for tests and diagnostics.
  const QString& LineText() const { return line_; }
  const QString& SubText() const { return sub_; }
  // 1 while a line or title is shown, falling to 0 as a title fades.
  double Opacity() const { return opacity_; }
  // The part of the line the word fill covers, 0..1; 0 without timed words.
  double FillFraction() const;
  bool Animating() const;
  int Paints() const { return paints_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  struct WordMark {
    std::int64_t atMs;
    double x;  // where the word starts on the line, from the line's left edge
  };

  void Follow(unsigned changes);
  void ShowTexts(const QString& line, const QString& sub, bool title);
  void Frame();
  // Starts or stops the frames as the fill and the fade need them.
  void Frames();
  void Relayout();
  // The play position (ms) now, from the snapshot's and the time since it was told.
  std::int64_t ClockMs() const;
  // The fill's right edge in pixels from the line's left; the whole width when complete.
  double FillWidth() const;
  void StartFrames();
  Qt::Edges EdgesAt(const QPoint& pos) const;

  PlaySession& player_;
  int listening_ = 0;

  // What is shown.
  QString line_, sub_;
  bool title_ = false;
  double opacity_ = 0;
  // The title of the last track seen, and the stream whose title is (or was last) shown.
  std::uint32_t titleStream_ = 0, shownTitleStream_ = 0;
  QString titleLine_, titleSub_;
  // The word times of the line, when it has them (words_ as told, marksFor_ as laid out).
  std::vector<LyricWordTime> words_, marksFor_;
  std::int64_t lineEndMs_ = -1;
  std::vector<WordMark> marks_;
  double lineWidth_ = 0, lineLeft_ = 0;
  int lineTop_ = 0, lineHeight_ = 0;
  int lastFillPx_ = -1;

  // The play clock between ticks.
  std::int64_t clockBaseMs_ = 0;
  bool clockRuns_ = false;
  QElapsedTimer clock_;

  // The look.
  int fontSize_ = kDefaultFontSize;
  QColor text_, highlight_;
  bool locked_ = false;
  bool hover_ = false;

  // Renderings of the texts in the plain and the highlight colour, made when they change.
  QImage plain_, filled_;

  QTimer* holdTimer_ = nullptr;   // a title's time on screen
  QTimer* frameTimer_ = nullptr;  // frames of a fill or a fade
  QTimer* placeTimer_ = nullptr;  // the place settles
  QElapsedTimer fade_;
  bool fading_ = false;
  bool placing_ = false;  // the program, not the user, moves the bar
  int paints_ = 0;

  // Dragging without the window system's help.
  Qt::Edges dragEdges_;
  bool dragging_ = false;
  QPoint dragStart_;
  QRect dragGeometry_;
};

}  // namespace quillet
