#include "shell/DesktopLyricBar.h"

#include <QAccessible>
#include <QEnterEvent>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <cmath>

#include "common/DisplayText.h"
#include "shell/Look.h"

namespace quillet {

namespace {

// The edge a drag resizes from, and the room around the texts.
constexpr int kEdge = 8;
constexpr int kMargin = 10;
// A word whose line gives no end fills over this time.
constexpr std::int64_t kLastWordMs = 1000;

QColor ColourOr(const std::string& chosen, const char* own) {
  const QColor c(QString::fromStdString(chosen));
  return c.isValid() ? c : QColor(QLatin1String(own));
}

int SubFontSize(int size) { return std::max(10, size * 3 / 5); }

bool OnX11() { return QGuiApplication::platformName() == QLatin1String("xcb"); }

// Text with a dark outline and a soft shadow, so that it reads on light and dark alike.
void DrawOutlined(QPainter& p, const QFont& font, const QPointF& baseline, const QString& text,
                  const QColor& colour) {
  QPainterPath path;
  path.addText(baseline, font, text);
  const qreal width = std::max<qreal>(2.0, font.pixelSize() / 9.0);
  p.save();
  p.translate(width * 0.6, width * 0.6);
  p.fillPath(path, QColor(0, 0, 0, 110));
  p.restore();
  p.strokePath(path,
               QPen(QColor(20, 20, 20, 220), width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.fillPath(path, colour);
}

}  // namespace

DesktopLyricBar::DesktopLyricBar(PlaySession& player, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                          Qt::WindowDoesNotAcceptFocus),
      player_(player),
      text_(QLatin1String(kDefaultTextColour)),
      highlight_(QLatin1String(kDefaultHighlightColour)) {
  setObjectName(QStringLiteral("DesktopLyricBar"));
  setWindowTitle(QString::fromUtf8("桌面歌词"));
  setAttribute(Qt::WA_TranslucentBackground);
  setAttribute(Qt::WA_ShowWithoutActivating);
  setAttribute(Qt::WA_QuitOnClose, false);
  setMouseTracking(true);
  setMinimumSize(160, 40);

  holdTimer_ = new QTimer(this);
  holdTimer_->setSingleShot(true);
  connect(holdTimer_, &QTimer::timeout, this, [this] {
    fading_ = true;
    fade_.start();
    StartFrames();
  });
  frameTimer_ = new QTimer(this);
  frameTimer_->setInterval(kFrameMs);
  connect(frameTimer_, &QTimer::timeout, this, [this] { Frame(); });
  placeTimer_ = new QTimer(this);
  placeTimer_->setSingleShot(true);
  placeTimer_->setInterval(400);
  connect(placeTimer_, &QTimer::timeout, this, [this] {
    if (PlaceChanged) PlaceChanged(geometry());
  });
  clock_.start();
  listening_ = player_.Subscribe([this](unsigned changes) { Follow(changes); });
  Follow(~0u);
}

DesktopLyricBar::~DesktopLyricBar() { player_.Unsubscribe(listening_); }

void DesktopLyricBar::FollowOptions(const Options& o) {
  const int size = o.desktopFontSize >= 8 ? o.desktopFontSize : kDefaultFontSize;
  const QColor text = ColourOr(o.desktopTextColour, kDefaultTextColour);
  const QColor highlight = ColourOr(o.desktopHighlightColour, kDefaultHighlightColour);
  if (size != fontSize_ || text != text_ || highlight != highlight_) {
    fontSize_ = size;
    text_ = text;
    highlight_ = highlight;
    Relayout();
  }
  SetLocked(o.desktopLyricsLocked);
}

void DesktopLyricBar::Place(const Options& o) {
  placing_ = true;
  const QScreen* screen = QGuiApplication::primaryScreen();
  const QRect free = screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
  const int lineHeight = QFontMetrics(KaiFont(fontSize_, true)).height();
  const int subHeight = QFontMetrics(KaiFont(SubFontSize(fontSize_), true)).height();
  QRect g(0, 0, std::min(900, free.width() * 7 / 10), lineHeight + subHeight + 3 * kMargin);
  g.moveCenter(free.center());
  g.moveBottom(free.bottom() - 60);
  // The kept place, unless no screen shows any of it now (a screen that has gone).
  const QRect kept(o.desktopBarX, o.desktopBarY, o.desktopBarWidth, o.desktopBarHeight);
  bool seen = false;
  for (const QScreen* s : QGuiApplication::screens()) seen = seen || s->geometry().intersects(kept);
  if (o.desktopBarPlaced && seen) g = kept;
  // A program cannot place its windows under Wayland: the compositor chooses, and that is fine.
  if (QGuiApplication::platformName() == QLatin1String("wayland")) {
    resize(g.size());
  } else {
    setGeometry(g);
  }
  placing_ = false;
}

void DesktopLyricBar::SetLocked(bool locked) {
  if (locked == locked_) return;
  locked_ = locked;
  hover_ = false;
  dragging_ = false;
  unsetCursor();
  // Changing the flags hides the window; it comes back where it was. On X11 a window manager
  // that frames the bar (openbox, for one) takes the clicks in its frame whatever input shape
  // the bar has; locked, the bar is left out of its hands, so that nothing of it is there for a
  // click.
  placing_ = true;
  const bool shown = isVisible();
  Qt::WindowFlags flags = windowFlags();
  flags.setFlag(Qt::WindowTransparentForInput, locked);
  if (OnX11()) flags.setFlag(Qt::X11BypassWindowManagerHint, locked);
  setWindowFlags(flags);
  if (shown) show();
  placing_ = false;
  update();
}

// ---- Following the player ----------------------------------------------------------------------

void DesktopLyricBar::Follow(unsigned changes) {
  const PlayerSnapshot& s = player_.Snapshot();
  if (changes & (kTicked | kChangedLyric | kChangedState | kChangedTrack)) {
    clockBaseMs_ = s.lyricAtMs;
    clockRuns_ = s.state == psPlaying;
    clock_.restart();
  }
  if (changes & (kChangedLyric | kChangedTrack | kChangedState | kChangedOptions)) {
    if (!s.ready) {
      words_.clear();
      ShowTexts(QString(), QString(), false);
    } else if (s.track && s.state != psStopped && !s.lyricText.empty()) {
      const bool placeholder = s.lyricLine == PlaySession::kLyricPlaceholder;
      const std::string& sub = s.lyricTranslation.empty() ? s.lyricNextLine : s.lyricTranslation;
      words_ = s.lyricWords;
      lineEndMs_ = s.lyricNextMs;
      ShowTexts(placeholder ? QString() : QString::fromUtf8(s.lyricLine), QString::fromUtf8(sub),
                false);
    } else {
      // No lyric, or between tracks: the track's title (the last one's when none is open).
      if (s.track) {
        titleStream_ = s.track->stream;
        titleLine_ = DisplayTagText(s.track->name).trimmed();
        titleSub_ = DisplayTagText(s.track->artist).trimmed();
        const QString album = DisplayTagText(s.track->album).trimmed();
        if (!album.isEmpty()) {
          titleSub_ += (titleSub_.isEmpty() ? QString() : QStringLiteral(" · ")) + album;
        }
      }
      words_.clear();
      ShowTexts(titleLine_, titleSub_, true);
    }
  }
  Frames();
}

void DesktopLyricBar::Frames() {
  // The fill runs while the line is being sung; once it is complete (or stands still) one
  // paint shows where it stands, and the frames stop.
  const bool filling = !marks_.empty() && clockRuns_ && isVisible() && FillWidth() < lineWidth_;
  if (filling || fading_) {
    StartFrames();
    return;
  }
  frameTimer_->stop();
  if (!marks_.empty()) {
    const int px = static_cast<int>(std::lround(FillWidth()));
    if (px != lastFillPx_) {
      lastFillPx_ = px;
      update(QRect(0, lineTop_, width(), lineHeight_));
    }
  }
}

void DesktopLyricBar::ShowTexts(const QString& line, const QString& sub, bool title) {
  if (title) {
    // A title is shown once for its track, then fades; it does not come back on every change.
    if (title_ && shownTitleStream_ == titleStream_) return;
    title_ = true;
    shownTitleStream_ = titleStream_;
    fading_ = false;
    opacity_ = line.isEmpty() && sub.isEmpty() ? 0 : 1;
    if (opacity_ > 0) holdTimer_->start(kTitleHoldMs);
  } else {
    if (!title_ && line == line_ && sub == sub_ && marksFor_ == words_) return;
    title_ = false;
    shownTitleStream_ = 0;
    holdTimer_->stop();
    fading_ = false;
    opacity_ = 1;
  }
  line_ = line;
  sub_ = sub;
  marksFor_ = words_;
  // Locked on X11 no window manager keeps the bar above the others: each new line brings it up.
  if (locked_ && OnX11() && isVisible()) raise();
  lastFillPx_ = -1;
  Relayout();
  // Screen readers follow the line through the accessible name; the change is announced.
  if (accessibleName() != line_) setAccessibleName(line_);
  if (accessibleDescription() != sub_) setAccessibleDescription(sub_);
}

std::int64_t DesktopLyricBar::ClockMs() const {
  return clockBaseMs_ + (clockRuns_ ? clock_.elapsed() : 0);
}

double DesktopLyricBar::FillWidth() const {
  if (marks_.empty()) return 0;
  const std::int64_t now = ClockMs();
  std::size_t i = marks_.size();
  while (i > 0 && marks_[i - 1].atMs > now) --i;
  if (i == 0) return 0;
  const WordMark& word = marks_[i - 1];
  const bool last = i == marks_.size();
  const double nextX = last ? lineWidth_ : marks_[i].x;
  std::int64_t endMs = last ? lineEndMs_ : marks_[i].atMs;
  if (endMs <= word.atMs) endMs = word.atMs + kLastWordMs;
  const double part = std::clamp(
      static_cast<double>(now - word.atMs) / static_cast<double>(endMs - word.atMs), 0.0, 1.0);
  return word.x + part * (nextX - word.x);
}

double DesktopLyricBar::FillFraction() const {
  return lineWidth_ > 0 ? FillWidth() / lineWidth_ : 0;
}

bool DesktopLyricBar::Animating() const { return frameTimer_->isActive(); }

void DesktopLyricBar::StartFrames() {
  if (!frameTimer_->isActive()) frameTimer_->start();
}

// One frame: the fade goes on, the fill moves when it has moved by a pixel. The frames stop when
// neither has anything left to do.
void DesktopLyricBar::Frame() {
  bool more = false;
  if (fading_) {
    opacity_ = 1.0 - static_cast<double>(fade_.elapsed()) / kFadeMs;
    if (opacity_ <= 0) {
      opacity_ = 0;
      fading_ = false;
      line_.clear();
      sub_.clear();
      marks_.clear();
      if (!accessibleName().isEmpty()) setAccessibleName(QString());
      if (!accessibleDescription().isEmpty()) setAccessibleDescription(QString());
    }
    update();
    more = fading_;
  }
  if (!marks_.empty() && clockRuns_) {
    const double width = FillWidth();
    const int px = static_cast<int>(std::lround(width));
    if (px != lastFillPx_) {
      lastFillPx_ = px;
      update(QRect(0, lineTop_, this->width(), lineHeight_));
    }
    more = more || width < lineWidth_;
  }
  if (!more) frameTimer_->stop();
}

// ---- Drawing -----------------------------------------------------------------------------------

// The texts are drawn once into two pictures, in the plain colour and with the line in the
// highlight colour; a frame only puts them together.
void DesktopLyricBar::Relayout() {
  marks_.clear();
  const qreal dpr = devicePixelRatioF();
  const QSize pixels = size() * dpr;
  plain_ = QImage();
  filled_ = QImage();
  if (line_.isEmpty() && sub_.isEmpty()) {
    update();
    return;
  }
  const QFont big = KaiFont(fontSize_, true);
  const QFont small = KaiFont(SubFontSize(fontSize_), true);
  const QFontMetricsF bm(big), sm(small);
  const qreal room = width() - 2 * kMargin;
  const QString shown = bm.elidedText(line_, Qt::ElideRight, room);
  const QString subShown = sm.elidedText(sub_, Qt::ElideRight, room);
  lineHeight_ = static_cast<int>(std::ceil(bm.height()));
  const int subHeight = subShown.isEmpty() ? 0 : static_cast<int>(std::ceil(sm.height()));
  const int gap = subShown.isEmpty() ? 0 : kMargin / 2;
  lineTop_ = std::max(0, (height() - lineHeight_ - gap - subHeight) / 2);
  lineWidth_ = bm.horizontalAdvance(shown);
  lineLeft_ = (width() - lineWidth_) / 2;

  // A clear layer the bar's size, to draw the line on in one colour.
  const auto layer = [&](QImage& image) {
    image = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::transparent);
  };
  layer(plain_);
  QPainter p(&plain_);
  p.setRenderHint(QPainter::Antialiasing);
  DrawOutlined(p, big, QPointF(lineLeft_, lineTop_ + bm.ascent()), shown, text_);
  if (!subShown.isEmpty()) {
    const qreal left = (width() - sm.horizontalAdvance(subShown)) / 2;
    DrawOutlined(p, small, QPointF(left, lineTop_ + lineHeight_ + gap + sm.ascent()), subShown,
                 text_);
  }
  p.end();
  update();

  // Word marks, when the words make up the line as shown.
  QString joined;
  for (const LyricWordTime& w : words_) joined += QString::fromUtf8(w.text);
  if (words_.empty() || shown != line_ || joined.trimmed() != line_) return;
  qsizetype lead = 0;
  while (lead < joined.size() && joined[lead].isSpace()) ++lead;
  qsizetype at = 0;
  for (const LyricWordTime& w : words_) {
    const qsizetype start = std::clamp<qsizetype>(at - lead, 0, line_.size());
    marks_.push_back({w.atMs, bm.horizontalAdvance(line_.left(start))});
    at += QString::fromUtf8(w.text).size();
  }
  layer(filled_);
  QPainter f(&filled_);
  f.setRenderHint(QPainter::Antialiasing);
  DrawOutlined(f, big, QPointF(lineLeft_, lineTop_ + bm.ascent()), shown, highlight_);
}

void DesktopLyricBar::paintEvent(QPaintEvent*) {
  ++paints_;
  QPainter p(this);
  if (hover_ && !locked_) {
    // The faint frame that shows where the bar can be taken.
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(255, 255, 255, 110), 1));
    p.setBrush(QColor(0, 0, 0, 60));
    p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
  }
  if (opacity_ <= 0 || plain_.isNull()) return;
  p.setOpacity(opacity_);
  p.drawImage(0, 0, plain_);
  if (filled_.isNull()) return;
  const double fill = FillWidth();
  if (fill <= 0) return;
  // The highlighted line up to the fill's edge, over the plain one.
  const qreal dpr = filled_.devicePixelRatio();
  const QRectF part(0, lineTop_, lineLeft_ + fill, lineHeight_);
  p.drawImage(part, filled_,
              QRectF(part.x() * dpr, part.y() * dpr, part.width() * dpr, part.height() * dpr));
}

void DesktopLyricBar::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Relayout();
  if (!placing_ && isVisible()) placeTimer_->start();
}

void DesktopLyricBar::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  if (!placing_ && isVisible()) placeTimer_->start();
}

// ---- Moving and resizing -----------------------------------------------------------------------

void DesktopLyricBar::enterEvent(QEnterEvent* event) {
  QWidget::enterEvent(event);
  if (locked_) return;
  hover_ = true;
  update();
}

void DesktopLyricBar::leaveEvent(QEvent* event) {
  QWidget::leaveEvent(event);
  hover_ = false;
  if (!dragging_) unsetCursor();
  update();
}

Qt::Edges DesktopLyricBar::EdgesAt(const QPoint& pos) const {
  Qt::Edges edges;
  if (pos.x() < kEdge) edges |= Qt::LeftEdge;
  if (pos.x() >= width() - kEdge) edges |= Qt::RightEdge;
  if (pos.y() < kEdge) edges |= Qt::TopEdge;
  if (pos.y() >= height() - kEdge) edges |= Qt::BottomEdge;
  return edges;
}

void DesktopLyricBar::mousePressEvent(QMouseEvent* event) {
  if (locked_ || event->button() != Qt::LeftButton) {
    QWidget::mousePressEvent(event);
    return;
  }
  event->accept();
  const Qt::Edges edges = EdgesAt(event->position().toPoint());
  // The window system moves the window itself where it can (Wayland allows nothing else).
  QWindow* window = windowHandle();
  const bool system =
      window != nullptr && (edges ? window->startSystemResize(edges) : window->startSystemMove());
  if (system) return;
  dragging_ = true;
  dragEdges_ = edges;
  dragStart_ = event->globalPosition().toPoint();
  dragGeometry_ = geometry();
}

void DesktopLyricBar::mouseMoveEvent(QMouseEvent* event) {
  if (locked_) return;
  if (!dragging_) {
    const Qt::Edges edges = EdgesAt(event->position().toPoint());
    const bool horizontal = edges & (Qt::LeftEdge | Qt::RightEdge);
    const bool vertical = edges & (Qt::TopEdge | Qt::BottomEdge);
    if (horizontal && vertical) {
      const bool main =
          edges == (Qt::LeftEdge | Qt::TopEdge) || edges == (Qt::RightEdge | Qt::BottomEdge);
      setCursor(main ? Qt::SizeFDiagCursor : Qt::SizeBDiagCursor);
    } else if (horizontal) {
      setCursor(Qt::SizeHorCursor);
    } else if (vertical) {
      setCursor(Qt::SizeVerCursor);
    } else {
      setCursor(Qt::SizeAllCursor);
    }
    return;
  }
  const QPoint d = event->globalPosition().toPoint() - dragStart_;
  if (!dragEdges_) {
    move(dragGeometry_.topLeft() + d);
    return;
  }
  QRect g = dragGeometry_;
  const QSize least = minimumSize();
  if (dragEdges_ & Qt::LeftEdge) g.setLeft(std::min(g.left() + d.x(), g.right() - least.width()));
  if (dragEdges_ & Qt::RightEdge) g.setRight(std::max(g.right() + d.x(), g.left() + least.width()));
  if (dragEdges_ & Qt::TopEdge) g.setTop(std::min(g.top() + d.y(), g.bottom() - least.height()));
  if (dragEdges_ & Qt::BottomEdge) {
    g.setBottom(std::max(g.bottom() + d.y(), g.top() + least.height()));
  }
  setGeometry(g);
}

void DesktopLyricBar::mouseReleaseEvent(QMouseEvent* event) {
  dragging_ = false;
  QWidget::mouseReleaseEvent(event);
}

// Hidden, it follows the texts but runs no frames; shown again, it takes up the fill.
void DesktopLyricBar::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  Frames();
}

void DesktopLyricBar::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  hover_ = false;
  dragging_ = false;
  if (!fading_) frameTimer_->stop();
}

}  // namespace quillet
