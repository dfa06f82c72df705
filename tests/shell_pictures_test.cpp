// The window pictures: the build's renderings and the icons made on first use must give the
// pixels the SVG icon engine gave when everything was rendered at start.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QPainter>

#include "shell/Look.h"

static void RegisterPictures() { Q_INIT_RESOURCE(quillet); }

namespace quillet {
namespace {

constexpr Picture kAll[] = {
    Picture::Add,         Picture::Delete,     Picture::Save,      Picture::Load,
    Picture::About,       Picture::Exit,       Picture::Stop,      Picture::Previous,
    Picture::Play,        Picture::Pause,      Picture::Next,      Picture::Speaker,
    Picture::LyricImport, Picture::LyricUndo,  Picture::LyricCopy, Picture::LyricClear,
    Picture::LyricClose,  Picture::LyricStamp,
};

bool IsTransport(Picture p) {
  return p == Picture::Stop || p == Picture::Previous || p == Picture::Play ||
         p == Picture::Pause || p == Picture::Next;
}

QImage Svg(const QString& path, int size) {
  return QIcon(path)
      .pixmap(size, size)
      .toImage()
      .convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QImage Image(const QPixmap& pixmap) {
  return pixmap.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// The icon as it was built at start: both sizes from the SVG, greyed copies for the transport.
QIcon EagerIcon(Picture p) {
  QIcon icon;
  for (int size : {16, 32}) {
    const QPixmap normal = QIcon(PicturePath(p)).pixmap(size, size);
    icon.addPixmap(normal, QIcon::Normal);
    if (!IsTransport(p)) continue;
    QPixmap grey(normal.size());
    grey.fill(Qt::transparent);
    QPainter painter(&grey);
    painter.drawPixmap(0, 0, normal);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(grey.rect(), QColor(128, 128, 128));
    painter.end();
    icon.addPixmap(grey, QIcon::Disabled);
  }
  return icon;
}

class Pictures : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterPictures();
    ASSERT_FALSE(qGuiApp->devicePixelRatio() > 1.0) << "the build's renderings serve scale 1";
    // Else every comparison below would be of empty pictures.
    ASSERT_FALSE(QIcon(PicturePath(Picture::Add)).pixmap(16, 16).isNull());
  }
};

TEST_F(Pictures, BuildRenderingsAreTheSvgEnginesPixels) {
  for (Picture p : kAll) {
    for (int size : {16, 32}) {
      EXPECT_EQ(Image(PicturePixmap(p, size)), Svg(PicturePath(p), size))
          << PicturePath(p).toStdString() << " at " << size;
    }
  }
  // A size the build did not render comes from the SVG.
  EXPECT_EQ(Image(PicturePixmap(Picture::Play, 24)), Svg(PicturePath(Picture::Play), 24));
  const QIcon app = ApplicationIcon();
  for (int size : {16, 32, 48}) {
    EXPECT_EQ(Image(app.pixmap(size, size)), Svg(QStringLiteral(":/pictures/quillet.svg"), size))
        << "application icon at " << size;
  }
  // One icon for every window.
  EXPECT_EQ(ApplicationIcon().cacheKey(), app.cacheKey());
}

TEST_F(Pictures, IconsMadeOnFirstUseAnswerAsTheEagerOnes) {
  const QSize requests[] = {{16, 16}, {8, 8}, {20, 20}, {32, 32}, {48, 48}, {16, 24}, {40, 10}};
  const QIcon::Mode modes[] = {QIcon::Normal, QIcon::Disabled, QIcon::Active, QIcon::Selected};
  for (Picture p : kAll) {
    const QIcon eager = EagerIcon(p);
    // A fresh icon per request: the first question decides what gets rendered.
    for (const QSize& size : requests) {
      for (QIcon::Mode mode : modes) {
        const QIcon lazy = PictureIcon(p);
        EXPECT_FALSE(lazy.isNull());
        const std::string what = PicturePath(p).toStdString() + " " + std::to_string(size.width()) +
                                 "x" + std::to_string(size.height()) + " mode " +
                                 std::to_string(mode);
        EXPECT_EQ(lazy.actualSize(size, mode), eager.actualSize(size, mode)) << what;
        EXPECT_EQ(Image(lazy.pixmap(size, mode)), Image(eager.pixmap(size, mode))) << what;
      }
    }
    // Asked small first, then large: the larger rendering is still the one the eager icon has.
    const QIcon lazy = PictureIcon(p);
    EXPECT_EQ(Image(lazy.pixmap(16, QIcon::Disabled)), Image(eager.pixmap(16, QIcon::Disabled)));
    EXPECT_EQ(Image(lazy.pixmap(28)), Image(eager.pixmap(28)));
    EXPECT_EQ(lazy.availableSizes(), eager.availableSizes());
  }
}

}  // namespace
}  // namespace quillet
