#include "shell/Look.h"

#include <QAction>
#include <QGuiApplication>
#include <QIconEngine>
#include <QImage>
#include <QMenu>
#include <QPainter>
#include <QPalette>
#include <QPushButton>
#include <QScreen>
#include <QStringList>
#include <QWidget>
#include <algorithm>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

// The pictures are compiled into a static library, so they are registered by hand.
static void RegisterPictures() { Q_INIT_RESOURCE(quillet); }

namespace quillet {

namespace {

void EnsurePictures() {
  static const bool registered = [] {
    RegisterPictures();
    return true;
  }();
  (void)registered;
}

// An icon whose pixels are made when first asked for. The windows hold far more pictures than
// the first sight of the main window shows (menus, the lyric editor, disabled states, larger
// sizes), and rendering them all from SVG was a good part of the start's time. `make(sizes)`
// builds the icon from renderings at those sizes; the full icon has all of `sizes` (smallest
// first). A request no larger than the smallest size at scale 1 is answered from that rendering
// alone, which is the one the full icon would pick for it, so the pixels are the same. Each is
// made once, on the first question about its pixels; copies share them.
class DeferredIconEngine : public QIconEngine {
 public:
  using Maker = std::function<QIcon(const std::vector<int>& sizes)>;

  DeferredIconEngine(Maker make, std::vector<int> sizes)
      : shared_(std::make_shared<Shared>(Shared{std::move(make), std::move(sizes), {}, {}})) {}

  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
    const qreal dpr = painter->device() != nullptr ? painter->device()->devicePixelRatio() : 1.0;
    IconFor(rect.size() * dpr, dpr).paint(painter, rect, Qt::AlignCenter, mode, state);
  }
  // Answered without rendering (menus ask it of every item when they lay out, shown or not).
  // The renderings are square: the one the icon picks is the smallest whose area covers the
  // request's, else the largest, and it is scaled down to fit.
  QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override {
    int side = shared_->sizes.back();
    for (int s : shared_->sizes) {
      if (qint64{s} * s >= qint64{size.width()} * size.height()) {
        side = s;
        break;
      }
    }
    side = std::min({side, size.width(), size.height()});
    return QSize(side, side);
  }
  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    return IconFor(size, 1.0).pixmap(size, 1.0, mode, state);
  }
  QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                       qreal scale) override {
    if (scale <= 1.0) return pixmap(size, mode, state);
    return Full().pixmap(size / scale, scale, mode, state);
  }
  QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
    return Full().availableSizes(mode, state);
  }
  // The pictures are compiled in; asking whether there is one must not render it.
  bool isNull() override { return false; }
  QString key() const override { return QStringLiteral("QuilletDeferredIcon"); }
  QIconEngine* clone() const override { return new DeferredIconEngine(*this); }

 private:
  struct Shared {
    Maker make;
    std::vector<int> sizes;
    std::optional<QIcon> smallest;
    std::optional<QIcon> full;
  };

  const QIcon& Full() {
    if (!shared_->full) shared_->full = shared_->make(shared_->sizes);
    return *shared_->full;
  }
  const QIcon& IconFor(const QSize& deviceSize, qreal scale) {
    const int smallest = shared_->sizes.front();
    if (shared_->full || scale > 1.0 || deviceSize.width() > smallest ||
        deviceSize.height() > smallest) {
      return Full();
    }
    if (!shared_->smallest) shared_->smallest = shared_->make({smallest});
    return *shared_->smallest;
  }

  std::shared_ptr<Shared> shared_;
};

}  // namespace

void InstallFontSubstitutes() {
  const QString face = QString::fromUtf8(kKaiFace);
  if (QFont::substitutes(face).contains(QLatin1String(kKaiSubstitute))) return;
  QFont::insertSubstitution(face, QLatin1String(kKaiSubstitute));
}

QFont KaiFont(int pixelSize, bool bold) {
  InstallFontSubstitutes();
  QFont font(QString::fromUtf8(kKaiFace));
  font.setPixelSize(pixelSize);
  font.setBold(bold);
  return font;
}

// Made by the build (tools/render_pictures.cpp): the picture `name` rendered for `size`.
const unsigned char* PictureRendering(const char* name, int size, int* width, int* height);

namespace {

constexpr const char* kPictureNames[] = {
    "add",        "delete",     "save",       "load",        "about",       "exit",
    "stop",       "prev",       "play",       "pause",       "next",        "speaker",
    "lyric-load", "lyric-undo", "lyric-copy", "lyric-clear", "lyric-close", "lyric-stamp",
};

// The picture `name` at size × size as the SVG icon engine draws it: from the build's rendering
// where there is one for a screen of scale 1, else from the SVG.
QPixmap NamedPixmap(const char* name, int size) {
  int width = 0;
  int height = 0;
  const unsigned char* pixels = nullptr;
  if (!(qGuiApp->devicePixelRatio() > 1.0)) pixels = PictureRendering(name, size, &width, &height);
  if (pixels != nullptr) {
    // The pixels are constant and last as long as the program; the image only reads them.
    return QPixmap::fromImage(
        QImage(pixels, width, height, width * 4, QImage::Format_ARGB32_Premultiplied));
  }
  EnsurePictures();
  return QIcon(QStringLiteral(":/pictures/%1.svg").arg(QLatin1String(name))).pixmap(size, size);
}

}  // namespace

QString PicturePath(Picture picture) {
  return QStringLiteral(":/pictures/%1.svg")
      .arg(QLatin1String(kPictureNames[static_cast<int>(picture)]));
}

QPixmap PicturePixmap(Picture picture, int size) {
  return NamedPixmap(kPictureNames[static_cast<int>(picture)], size);
}

namespace {

bool IsTransport(Picture picture) {
  switch (picture) {
    case Picture::Stop:
    case Picture::Previous:
    case Picture::Play:
    case Picture::Pause:
    case Picture::Next:
      return true;
    default:
      return false;
  }
}

// The same shape, all in grey.
QPixmap Greyed(const QPixmap& normal) {
  if (normal.isNull()) return normal;
  QPixmap grey(normal.size());
  grey.setDevicePixelRatio(normal.devicePixelRatio());
  grey.fill(Qt::transparent);
  QPainter p(&grey);
  p.drawPixmap(0, 0, normal);
  p.setCompositionMode(QPainter::CompositionMode_SourceIn);
  p.fillRect(grey.rect(), QColor(128, 128, 128));
  return grey;
}

QIcon RenderedPictureIcon(Picture picture, const std::vector<int>& sizes) {
  QIcon icon;
  for (int size : sizes) {
    const QPixmap normal = PicturePixmap(picture, size);
    icon.addPixmap(normal, QIcon::Normal);
    if (IsTransport(picture)) icon.addPixmap(Greyed(normal), QIcon::Disabled);
  }
  return icon;
}

}  // namespace

QIcon PictureIcon(Picture picture) {
  return QIcon(new DeferredIconEngine(
      [picture](const std::vector<int>& sizes) { return RenderedPictureIcon(picture, sizes); },
      {16, 32}));
}

QIcon ApplicationIcon() {
  // One icon for every window, the tray and the application, rendered once when first shown.
  static constexpr const char* kCacheProperty = "quilletApplicationIcon";
  QCoreApplication* app = QCoreApplication::instance();
  if (app != nullptr) {
    const QVariant cached = app->property(kCacheProperty);
    if (cached.isValid()) return cached.value<QIcon>();
  }
  const QIcon icon(new DeferredIconEngine(
      [](const std::vector<int>& sizes) {
        QIcon rendered;
        for (int size : sizes) rendered.addPixmap(NamedPixmap("quillet", size));
        return rendered;
      },
      {16, 32, 48}));
  // Held by the application object, so it goes before the toolkit does.
  if (app != nullptr) app->setProperty(kCacheProperty, QVariant::fromValue(icon));
  return icon;
}

void SetTextColour(QWidget* widget, const QColor& colour) {
  QPalette pal = widget->palette();
  for (auto group : {QPalette::Active, QPalette::Inactive}) {
    pal.setColor(group, QPalette::WindowText, colour);
    pal.setColor(group, QPalette::ButtonText, colour);
    pal.setColor(group, QPalette::Text, colour);
  }
  widget->setPalette(pal);
}

QPushButton* MakeCommandButton(QWidget* parent, const char* name, const char* caption, int x, int y,
                               const QIcon& glyph) {
  auto* b = new QPushButton(QString::fromUtf8(caption), parent);
  b->setObjectName(QLatin1String(name));
  b->setGeometry(x, y, 75, 20);
  b->setAutoDefault(true);
  b->setFont(KaiFont(12));
  if (!glyph.isNull()) {
    b->setIcon(glyph);
    b->setIconSize(QSize(16, 16));
  }
  SetTextColour(b, kNavy);
  return b;
}

QAction* AddMenuItem(QMenu* menu, const char* name, const char* caption) {
  auto* a = new QAction(QString::fromUtf8(caption), menu);
  a->setObjectName(QLatin1String(name));
  a->setIconVisibleInMenu(true);
  menu->addAction(a);
  return a;
}

QAction* AddMenuSeparator(QMenu* menu, const char* name) {
  auto* a = new QAction(menu);
  a->setObjectName(QLatin1String(name));
  a->setSeparator(true);
  menu->addAction(a);
  return a;
}

void CentreOnScreen(QWidget* window) {
  const QScreen* s = window->screen();
  if (s == nullptr) return;
  QRect frame = window->frameGeometry();
  frame.moveCenter(s->geometry().center());
  window->move(frame.topLeft());
}

void ConnectCheckItem(QAction* item, QObject* context, std::function<void()> handler) {
  QObject::connect(item, &QAction::triggered, context, [item, handler = std::move(handler)] {
    item->toggle();
    handler();
  });
}

}  // namespace quillet
