#include "shell/Look.h"

#include <QAction>
#include <QMenu>
#include <QPainter>
#include <QPalette>
#include <QPushButton>
#include <QStringList>
#include <QWidget>

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

QString PicturePath(Picture picture) {
  static constexpr const char* kNames[] = {
      "add",        "delete",     "save",       "load",        "about",       "exit",
      "stop",       "prev",       "play",       "pause",       "next",        "speaker",
      "lyric-load", "lyric-undo", "lyric-copy", "lyric-clear", "lyric-close", "lyric-stamp",
  };
  return QStringLiteral(":/pictures/%1.svg").arg(QLatin1String(kNames[static_cast<int>(picture)]));
}

QPixmap PicturePixmap(Picture picture, int size) {
  EnsurePictures();
  return QIcon(PicturePath(picture)).pixmap(size, size);
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

}  // namespace

QIcon PictureIcon(Picture picture) {
  QIcon icon;
  for (int size : {16, 32}) {
    const QPixmap normal = PicturePixmap(picture, size);
    icon.addPixmap(normal, QIcon::Normal);
    if (IsTransport(picture)) icon.addPixmap(Greyed(normal), QIcon::Disabled);
  }
  return icon;
}

QIcon ApplicationIcon() {
  EnsurePictures();
  QIcon icon;
  const QIcon source(QStringLiteral(":/pictures/quillet.svg"));
  for (int size : {16, 32, 48}) icon.addPixmap(source.pixmap(size, size));
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

void ConnectCheckItem(QAction* item, QObject* context, std::function<void()> handler) {
  QObject::connect(item, &QAction::triggered, context, [item, handler = std::move(handler)] {
    item->toggle();
    handler();
  });
}

}  // namespace quillet
