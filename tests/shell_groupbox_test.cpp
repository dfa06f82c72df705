// The captioned group box: indent rules, repaint economy, the open top edge behind the caption.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QImage>
#include <QTest>

#include "shell/Look.h"
#include "shell/TfcGroupBox.h"

namespace quillet {
namespace {

TEST(CaptionedGroupBox, IndentIsAtLeastThree) {
  TfcGroupBox box(QStringLiteral("x"));
  EXPECT_EQ(box.CaptionIndent(), 8);
  for (int given : {0, 1, 2, -40}) {
    box.SetCaptionIndent(given);
    EXPECT_EQ(box.CaptionIndent(), 3) << given;
  }
  box.SetCaptionIndent(3);
  EXPECT_EQ(box.CaptionIndent(), 3);
  box.SetCaptionIndent(235);
  EXPECT_EQ(box.CaptionIndent(), 235);
}

TEST(CaptionedGroupBox, RepaintsOnlyWhenIndentOrCaptionChanges) {
  TfcGroupBox box(QStringLiteral("caption"));
  box.resize(200, 40);
  box.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
  QTRY_VERIFY(box.PaintCount() > 0);
  QApplication::processEvents();
  int painted = box.PaintCount();

  box.SetCaptionIndent(8);  // the value it has
  box.SetCaptionIndent(1);
  box.SetCaptionIndent(2);  // both store 3: one change only
  QApplication::processEvents();
  painted = box.PaintCount();
  box.SetCaptionIndent(0);  // stores 3 again: no change, no repaint
  QApplication::processEvents();
  QTest::qWait(50);
  EXPECT_EQ(box.PaintCount(), painted);

  box.SetCaptionIndent(20);
  QTRY_VERIFY(box.PaintCount() > painted);
  painted = box.PaintCount();
  box.setTitle(QStringLiteral("a longer caption"));
  QTRY_VERIFY(box.PaintCount() > painted);
}

class StripPainting : public ::testing::Test {
 protected:
  void SetUp() override {
    box.setFont(KaiFont(12));
    box.resize(584, 40);
    box.SetCaptionIndent(235);
    // Caption strokes in a colour the frame never uses, so they cannot pass for frame lines.
    SetTextColour(&box, QColor(255, 0, 0));
    image = QImage(box.size(), QImage::Format_RGB32);
    image.fill(Qt::black);
    box.render(&image);
    f = box.FrameGeometry();
    shadow = box.palette().color(QPalette::Mid).rgb();
    light = box.palette().color(QPalette::Light).rgb();
    face = box.palette().color(QPalette::Window).rgb();
  }
  QRgb At(int x, int y) const { return image.pixel(x, y); }

  TfcGroupBox box{QString::fromUtf8("=·=Quillet=·=")};
  QImage image;
  TfcGroupBox::Frame f{};
  QRgb shadow = 0, light = 0, face = 0;
};

TEST_F(StripPainting, GeometryOfTheStripCaption) {
  EXPECT_EQ(f.textHeight, 12);
  EXPECT_EQ(f.top, 5);
  EXPECT_EQ(f.captionX, 235);
  EXPECT_GT(f.captionWidth, 40);
}

TEST_F(StripPainting, TopEdgeIsOpenBehindTheCaptionOnly) {
  const int y = f.top;
  const int x = f.captionX;
  const int end = x + f.captionWidth + 1;
  EXPECT_EQ(At(100, y), shadow);
  EXPECT_EQ(At(100, y + 1), light);
  EXPECT_EQ(At(x - 3, y), shadow);  // the lines end where the gap starts
  for (int gx = x - 2; gx < end; ++gx) {
    EXPECT_NE(At(gx, y), shadow) << gx;
    EXPECT_NE(At(gx, y + 1), light) << gx;
  }
  EXPECT_EQ(At(end, y), shadow);
  EXPECT_EQ(At(end + 5, y + 1), light);
  EXPECT_EQ(At(500, y), shadow);
}

TEST_F(StripPainting, SidesBottomAndFace) {
  const int h = box.height();
  const int w = box.width();
  EXPECT_EQ(At(0, 20), shadow);
  EXPECT_EQ(At(1, 20), light);
  EXPECT_EQ(At(w - 2, 20), shadow);
  EXPECT_EQ(At(w - 1, 20), light);
  EXPECT_EQ(At(100, h - 2), shadow);
  EXPECT_EQ(At(100, h - 1), light);
  EXPECT_EQ(At(100, 20), face);
}

TEST(CaptionedGroupBox, RightToLeftCaptionStartsFromTheRightEdge) {
  TfcGroupBox box(QStringLiteral("abc"));
  box.resize(300, 40);
  box.setLayoutDirection(Qt::RightToLeft);
  box.SetCaptionIndent(20);
  const TfcGroupBox::Frame f = box.FrameGeometry();
  EXPECT_EQ(f.captionX, 300 - f.captionWidth - 20);
}

TEST(CaptionedGroupBox, EmptyCaptionClosesTheTopEdge) {
  TfcGroupBox box;
  box.resize(100, 30);
  const TfcGroupBox::Frame f = box.FrameGeometry();
  EXPECT_EQ(f.textHeight, 2);
  EXPECT_EQ(f.top, 0);
  EXPECT_EQ(f.captionWidth, 0);
}

TEST(CaptionedGroupBox, AssistiveToolsReadTheCaption) {
  TfcGroupBox box(QString::fromUtf8("=·=Quillet=·="));
  TGroupBox plain(QString::fromUtf8("=·=播放列表=·="));
  QAccessibleInterface* a = QAccessible::queryAccessibleInterface(&box);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->text(QAccessible::Name), QString::fromUtf8("=·=Quillet=·="));
  QAccessibleInterface* b = QAccessible::queryAccessibleInterface(&plain);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->text(QAccessible::Name), QString::fromUtf8("=·=播放列表=·="));
}

TEST(OrdinaryGroupBox, FrameIsClosedButHiddenBehindTheCaptionText) {
  TGroupBox box(QStringLiteral("Caption"));
  box.setFont(KaiFont(12));
  box.resize(200, 40);
  QImage image(box.size(), QImage::Format_RGB32);
  image.fill(Qt::black);
  box.render(&image);
  const QRgb shadow = box.palette().color(QPalette::Mid).rgb();
  const QRgb face = box.palette().color(QPalette::Window).rgb();
  const int textWidth = QFontMetrics(box.font()).horizontalAdvance(QStringLiteral("Caption"));
  EXPECT_EQ(image.pixel(4, 5), shadow);  // left of the caption
  EXPECT_EQ(image.pixel(8 + textWidth + 3, 5), shadow);
  EXPECT_EQ(image.pixel(0, 20), shadow);
  EXPECT_EQ(image.pixel(50, 20), face);
}

}  // namespace
}  // namespace quillet
