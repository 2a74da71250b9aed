#include "widgets/bitmap_button.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QMouseEvent>
#include <QPainter>
#include <memory>
#include <string>
#include <vector>

#include "test_pictures.h"

namespace zephra::widgets {
namespace {

using testing::EnsureApplication;

// A strip of `count` slices of `sliceWidth` x `height`, each slice one opaque colour.
QImage SliceStrip(int sliceWidth, int height, int count) {
  static const QRgb colours[] = {qRgb(200, 0, 0), qRgb(0, 200, 0), qRgb(0, 0, 200),
                                 qRgb(90, 90, 90), qRgb(10, 10, 10)};
  QImage strip(sliceWidth * count, height, QImage::Format_ARGB32);
  QPainter painter(&strip);
  for (int i = 0; i < count; ++i) {
    painter.fillRect(i * sliceWidth, 0, sliceWidth, height, QColor(colours[i % 5]));
  }
  return strip;
}

QByteArray Encoded(const QImage& image, const char* format) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, format);
  return bytes;
}

void SendMouse(QWidget* target, QEvent::Type type, QPoint pos) {
  QMouseEvent event(type, pos, target->mapToGlobal(pos), Qt::LeftButton,
                    type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                    Qt::NoModifier);
  QCoreApplication::sendEvent(target, &event);
}

TEST(BitmapButtonSlicesTest, ThreeSlicesPressButTwoOnlyMoveTheState) {
  EXPECT_EQ(PressStep(gsHover, 3).Slice, PressedSlice);
  EXPECT_EQ(ReleaseStep(3).Slice, HoverSlice);
  EXPECT_EQ(LeaveStep(gsPressed, 3).Slice, NormalSlice);
  EXPECT_EQ(EnterStep(gsNormal, 2).State, gsHover);
  EXPECT_EQ(EnterStep(gsNormal, 2).Slice, std::nullopt);
  EXPECT_EQ(PressStep(gsPressed, 4).Slice, std::nullopt);
}

TEST(BitmapButtonSlicesTest, SlicesStayInsideThePictureAndNeverDivideByZero) {
  EXPECT_EQ(SliceRect(3, 116, 29, 4), QRect(87, 0, 29, 29));
  EXPECT_EQ(SliceWidth(116, 0), 116);
  EXPECT_TRUE(SliceRect(0, 3, 29, 4).isEmpty());
  EXPECT_TRUE(SliceRect(0, 0, 0, 4).isEmpty());
  EXPECT_EQ(PaintedSlice(false, HoverSlice, 4), DisabledSlice);
  EXPECT_EQ(PaintedSlice(false, HoverSlice, 5), DisabledSlice);
  EXPECT_EQ(PaintedSlice(false, HoverSlice, 3), NormalSlice);   // no disabled image
  EXPECT_EQ(PaintedSlice(true, PressedSlice, 2), NormalSlice);  // fewer slices than selected
}

// Buttons in a shown, active window with a plain green background.
class BitmapButtonTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureApplication();
    Host = std::make_unique<QWidget>();
    Host->resize(200, 100);
    Host->setAutoFillBackground(true);
    QPalette palette = Host->palette();
    palette.setColor(QPalette::Window, QColor(0, 255, 0));
    Host->setPalette(palette);
    Host->show();
    QApplication::setActiveWindow(Host.get());
    ASSERT_TRUE(Host->isActiveWindow());
  }
  void TearDown() override { Host.reset(); }

  TBitmapButton* NewButton(const QImage& strip, int glyphCount = DefaultGlyphCount) {
    auto* button = new TBitmapButton(Host.get());
    button->SetGlyphCount(glyphCount);
    button->SetAutoSize(true);
    button->SetPicture(TGlyphPicture(strip, true));
    button->show();
    return button;
  }
  // The colour of the host, with everything on it, at `pos`.
  QColor HostPixel(QPoint pos) { return QColor(Host->grab().toImage().pixel(pos)); }

  std::unique_ptr<QWidget> Host;
};

TEST_F(BitmapButtonTest, FourSliceStripShowsOneColumnRangePerState) {
  TBitmapButton* button = NewButton(SliceStrip(29, 29, 4));
  EXPECT_EQ(button->size(), QSize(29, 29));
  EXPECT_EQ(button->ShownSource(), QRect(0, 0, 29, 29));

  button->DoMouseEnter();
  EXPECT_EQ(button->ShownSource(), QRect(29, 0, 29, 29));
  EXPECT_EQ(TBitmapButton::HoveredButton(), button);
  SendMouse(button, QEvent::MouseButtonPress, {5, 5});
  EXPECT_EQ(button->ShownSource(), QRect(58, 0, 29, 29));
  EXPECT_EQ(button->State(), gsPressed);
  SendMouse(button, QEvent::MouseButtonRelease, {5, 5});
  EXPECT_EQ(button->ShownSlice(), HoverSlice);
  EXPECT_EQ(button->State(), gsReleased);

  button->setEnabled(false);
  EXPECT_EQ(button->ShownSource(), QRect(87, 0, 29, 29));
  button->setEnabled(true);
  EXPECT_EQ(button->ShownSlice(), NormalSlice);
  button->DoMouseEnter();  // after re-enabling, hover shows again
  EXPECT_EQ(button->ShownSlice(), HoverSlice);
  button->DoMouseLeave();
  EXPECT_EQ(button->ShownSlice(), NormalSlice);
  EXPECT_EQ(TBitmapButton::HoveredButton(), nullptr);
}

TEST_F(BitmapButtonTest, ClickNeedsAReleaseOverTheButton) {
  TBitmapButton* button = NewButton(SliceStrip(29, 29, 4));
  int clicks = 0;
  button->OnClick = [&clicks](TBitmapButton*) { ++clicks; };
  button->DoMouseEnter();
  SendMouse(button, QEvent::MouseButtonPress, {5, 5});
  SendMouse(button, QEvent::MouseButtonRelease, {5, 5});
  EXPECT_EQ(clicks, 1);

  SendMouse(button, QEvent::MouseButtonPress, {5, 5});
  button->DoMouseLeave();
  SendMouse(button, QEvent::MouseButtonRelease, {50, 5});
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(button->ShownSlice(), NormalSlice);  // released outside: stays normal
  EXPECT_EQ(button->State(), gsNormal);
}

TEST_F(BitmapButtonTest, HandlersMayDeleteTheButton) {
  int deleted = 0;
  const auto destroy = [&deleted](TBitmapButton* sender) {
    delete sender;
    ++deleted;
  };
  TBitmapButton* clicked = NewButton(SliceStrip(29, 29, 4));
  clicked->OnClick = destroy;
  clicked->DoMouseEnter();
  SendMouse(clicked, QEvent::MouseButtonPress, {5, 5});
  SendMouse(clicked, QEvent::MouseButtonRelease, {5, 5});
  TBitmapButton* doubled = NewButton(SliceStrip(29, 29, 4));
  doubled->OnDblClick = destroy;
  SendMouse(doubled, QEvent::MouseButtonDblClick, {5, 5});
  EXPECT_EQ(deleted, 2);
  EXPECT_EQ(TBitmapButton::HoveredButton(), nullptr);
}

TEST_F(BitmapButtonTest, HoverPassesFromOneButtonToTheNext) {
  TBitmapButton* first = NewButton(SliceStrip(29, 29, 4));
  TBitmapButton* second = NewButton(SliceStrip(29, 29, 4));
  second->move(40, 0);
  std::vector<std::string> events;
  first->OnMouseLeave = [&events](TBitmapButton*) { events.push_back("first leave"); };
  second->OnMouseEnter = [&events, first](TBitmapButton*) {
    events.push_back(first->ShownSlice() == NormalSlice ? "second enter, first normal" : "bad");
  };
  first->DoMouseEnter();
  second->DoMouseEnter();
  EXPECT_EQ(events, (std::vector<std::string>{"first leave", "second enter, first normal"}));
  EXPECT_EQ(second->ShownSlice(), HoverSlice);
  EXPECT_FALSE(first->MouseInside());
  EXPECT_EQ(TBitmapButton::HoveredButton(), second);

  delete second;
  EXPECT_EQ(TBitmapButton::HoveredButton(), nullptr);
}

TEST_F(BitmapButtonTest, InactiveWindowTakesNoHover) {
  TBitmapButton* button = NewButton(SliceStrip(29, 29, 4));
  QWidget other;
  other.show();
  QApplication::setActiveWindow(&other);
  ASSERT_FALSE(Host->isActiveWindow());
  bool entered = false;
  button->OnMouseEnter = [&entered](TBitmapButton*) { entered = true; };
  button->DoMouseEnter();
  EXPECT_FALSE(entered);
  EXPECT_EQ(button->ShownSlice(), NormalSlice);
  EXPECT_EQ(TBitmapButton::HoveredButton(), nullptr);
}

TEST_F(BitmapButtonTest, TwoSlicesIgnoreHoverAndPress) {
  TBitmapButton* button = NewButton(SliceStrip(20, 10, 2), 2);
  EXPECT_EQ(button->size(), QSize(20, 10));
  button->DoMouseEnter();
  SendMouse(button, QEvent::MouseButtonPress, {1, 1});
  EXPECT_EQ(button->ShownSlice(), NormalSlice);
  button->setEnabled(false);  // no disabled image: the normal one
  EXPECT_EQ(button->ShownSlice(), NormalSlice);
}

TEST_F(BitmapButtonTest, AutoSizeFollowsPictureAndGlyphCount) {
  auto* button = new TBitmapButton(Host.get());
  EXPECT_EQ(button->size(), QSize(44, 20));
  button->SetPicture(TGlyphPicture(SliceStrip(15, 15, 4), true));
  EXPECT_EQ(button->size(), QSize(44, 20));  // AutoSize off
  button->SetAutoSize(true);
  EXPECT_EQ(button->size(), QSize(15, 15));
  button->SetGlyphCount(2);
  EXPECT_EQ(button->size(), QSize(30, 15));
  button->SetGlyphCount(-3);
  EXPECT_EQ(button->GlyphCount(), 1);
  EXPECT_EQ(button->size(), QSize(60, 15));

  // Pictures without a whole slice or without pixels: no division, nothing drawn, no hover.
  button->SetGlyphCount(4);
  button->SetPicture(TGlyphPicture(QImage(3, 15, QImage::Format_ARGB32), true));
  EXPECT_EQ(button->size(), QSize(0, 15));
  button->SetPicture(TGlyphPicture());
  button->DoMouseEnter();
  EXPECT_EQ(TBitmapButton::HoveredButton(), nullptr);
  button->resize(10, 10);
  EXPECT_FALSE(button->grab().isNull());
}

TEST_F(BitmapButtonTest, PngBlendsItsAlphaOverTheBackground) {
  QImage strip(8, 4, QImage::Format_ARGB32);
  strip.fill(qRgba(255, 0, 0, 128));  // half-transparent red, in every slice
  const TGlyphPicture picture = TGlyphPicture::FromData(Encoded(strip, "PNG"));
  ASSERT_TRUE(picture.IsPng());
  TBitmapButton* button = NewButton(picture.Image());
  button->SetPicture(picture);
  const QColor pixel = HostPixel({1, 1});
  EXPECT_NEAR(pixel.red(), 128, 2);
  EXPECT_NEAR(pixel.green(), 127, 2);
  EXPECT_EQ(pixel.blue(), 0);
}

TEST_F(BitmapButtonTest, BitmapKeysOutMagenta) {
  QImage strip(8, 4, QImage::Format_RGB32);
  strip.fill(qRgb(255, 0, 255));
  strip.setPixel(0, 0, qRgb(10, 20, 30));
  const TGlyphPicture picture = TGlyphPicture::FromData(Encoded(strip, "BMP"));
  ASSERT_FALSE(picture.IsPng());
  TBitmapButton* button = NewButton(QImage());
  button->SetPicture(picture);
  QPalette palette = button->palette();
  palette.setColor(QPalette::Window, QColor(0, 0, 255));
  button->setPalette(palette);

  EXPECT_EQ(HostPixel({0, 0}), QColor(10, 20, 30));
  EXPECT_EQ(HostPixel({1, 1}), QColor(0, 0, 255));  // the button's background colour
  button->SetTransparent(true);
  EXPECT_EQ(HostPixel({1, 1}), QColor(0, 255, 0));  // the host behind it
  button->SetTransparent(false);
  button->SetCaption(QStringLiteral(" "));  // a caption leaves the key colour transparent too
  EXPECT_EQ(HostPixel({1, 1}), QColor(0, 255, 0));
}

TEST_F(BitmapButtonTest, CaptionKeepsAssignedFontsAndUsesTheDisabledOne) {
  TBitmapButton* button = NewButton(SliceStrip(40, 20, 4));
  const TButtonFont white{QFont(), QColor(255, 255, 255)};
  button->SetFont(white);
  button->SetCaption(QStringLiteral("X"));
  EXPECT_EQ(button->Font(), white);
  ASSERT_TRUE(button->FontDisable().has_value());
  EXPECT_NE(button->FontDisable()->Color, white.Color);
}

}  // namespace
}  // namespace zephra::widgets
