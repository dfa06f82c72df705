#include "shell/MainDesktopLyrics.h"

#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <cstdio>

#include "platform/Dialogs.h"
#include "shell/DesktopLyricBar.h"
#include "shell/TfrmMain.h"

namespace quillet {

MainDesktopLyrics::MainDesktopLyrics(TfrmMain& main) : QObject(&main), w_(main) {
  setObjectName(QStringLiteral("MainDesktopLyrics"));
  listening_ = w_.Player.Subscribe([this](unsigned changes) {
    if (changes & kChangedOptions) Follow();
  });
}

MainDesktopLyrics::~MainDesktopLyrics() {
  w_.Player.Unsubscribe(listening_);
  // The bar is a window of its own (not a child of the main window, which may be hidden): it
  // goes before the player it watches.
  bar_.reset();
}

void MainDesktopLyrics::Start() {
  started_ = true;
  Follow();
}

// The marks, and the bar, follow the options.
void MainDesktopLyrics::Follow() {
  const Options& o = w_.Player.Shared.options;
  w_.ItemDesktopLyrics->setChecked(o.desktopLyrics);
  w_.ItemLockDesktopLyrics->setChecked(o.desktopLyricsLocked);
  if (!started_) return;
  if (!o.desktopLyrics) {
    if (bar_) bar_->hide();
    return;
  }
  const bool fresh = !bar_;
  MakeBar();
  bar_->FollowOptions(o);
  if (fresh || !bar_->isVisible()) {
    bar_->Place(o);
    bar_->show();
  }
}

void MainDesktopLyrics::MakeBar() {
  if (bar_) return;
  bar_ = std::make_unique<DesktopLyricBar>(w_.Player);
  bar_->PlaceChanged = [this](const QRect& place) { KeepPlace(place); };
}

bool MainDesktopLyrics::SavePicture(const QString& path) {
  const bool fresh = !bar_;
  MakeBar();
  if (fresh) bar_->FollowOptions(w_.Player.Shared.options);
  const QImage window = w_.grab().toImage();
  const QSize canvasSize(window.width() + 160, window.height() + 100);
  QImage canvas(canvasSize, QImage::Format_ARGB32_Premultiplied);
  QPainter p(&canvas);
  QLinearGradient desktop(0, 0, 0, canvasSize.height());
  desktop.setColorAt(0, QColor(58, 110, 165));
  desktop.setColorAt(1, QColor(24, 52, 90));
  p.fillRect(canvas.rect(), desktop);
  p.drawImage(80, 24, window);
  // The bar lies across the window's lower edge, hidden (so the options stay as they are).
  if (!bar_->isVisible()) bar_->resize(canvasSize.width() - 60, 100);
  QImage bar(bar_->size(), QImage::Format_ARGB32_Premultiplied);
  bar.fill(Qt::transparent);
  bar_->render(&bar, QPoint(), QRegion(), QWidget::DrawChildren);
  p.drawImage(30, 24 + window.height() - 64, bar);
  p.end();
  return canvas.save(path);
}

void MainDesktopLyrics::ItemDesktopLyricsClick() {
  Options o = w_.Player.Shared.options;
  o.desktopLyrics = !o.desktopLyrics;
  Keep(o, true);
}

void MainDesktopLyrics::ItemLockDesktopLyricsClick() {
  Options o = w_.Player.Shared.options;
  o.desktopLyricsLocked = !o.desktopLyricsLocked;
  Keep(o, true);
}

// The change holds for this run whatever happens to the file; a failure to write it is told (a
// box for a menu command, the error output for a move of the bar). A menu command's change is
// followed by every face; the bar's place concerns none of them.
void MainDesktopLyrics::Keep(const Options& changed, bool command) {
  PlayerShared& shared = w_.Player.Shared;
  shared.options = changed;
  const IoResult io = SaveOptions(changed);
  if (!io.ok) {
    if (command) {
      ShowErrorBox(w_.Dlg, &w_, shared.VersionText, io.error);
    } else {
      std::fprintf(stderr, "quillet: %s\n", io.error.c_str());
    }
  }
  if (command) w_.Player.OptionsChanged();
}

void MainDesktopLyrics::KeepPlace(const QRect& place) {
  Options o = w_.Player.Shared.options;
  if (o.desktopBarPlaced && o.desktopBarX == place.x() && o.desktopBarY == place.y() &&
      o.desktopBarWidth == place.width() && o.desktopBarHeight == place.height()) {
    return;
  }
  o.desktopBarPlaced = true;
  // Under Wayland a window does not learn where it is: only its size is kept.
  if (QGuiApplication::platformName() != QLatin1String("wayland")) {
    o.desktopBarX = place.x();
    o.desktopBarY = place.y();
  }
  o.desktopBarWidth = place.width();
  o.desktopBarHeight = place.height();
  Keep(o, false);
}

}  // namespace quillet
