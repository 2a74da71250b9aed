#include "install/tfm_qr_code.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QBitmap>
#include <QMouseEvent>
#include <QTest>
#include <memory>

#include "symbol_scan.h"

namespace zephra::install {
namespace {

const QByteArray Address = "http://192.168.137.1:86/Zephra.apk";

// The application object lives until the process ends: input devices that the mouse events
// create belong to it and cannot be destroyed after the GUI has gone at exit.
void EnsureLastingApplication() {
  static int argc = 1;
  static char name[] = "install_test";
  static char* argv[] = {name, nullptr};
  if (QCoreApplication::instance() != nullptr) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  new QApplication(argc, argv);
}

class TfmQRCodeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureLastingApplication();
    window_ = std::make_unique<TfmQRCode>();
    window_->SetAddress(Address);
  }

  // Sends a left-button event at `pos` in `target`'s coordinates; an ignored event goes on to
  // the parents as one from the window system would.
  static void Mouse(QWidget& target, QEvent::Type type, QPoint pos) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(pos), QPointF(target.mapToGlobal(pos)), button, held,
                      Qt::NoModifier);
    QApplication::sendEvent(&target, &event);
  }

  std::unique_ptr<TfmQRCode> window_;
};

TEST_F(TfmQRCodeTest, LayoutOfTheWindowAndItsParts) {
  EXPECT_EQ(window_->size(), QSize(270, 290));
  EXPECT_TRUE(window_->windowFlags() & Qt::FramelessWindowHint);
  EXPECT_EQ(window_->windowTitle(), QString::fromUtf8("安装手机Zephra"));
  EXPECT_EQ(window_->palette().color(QPalette::Window), QColor(236, 236, 255));

  EXPECT_EQ(window_->QRCode1().geometry(), QRect(12, 12, 245, 245));
  EXPECT_EQ(window_->QRCode1().Version(), 6);
  EXPECT_EQ(window_->QRCode1().Eclevel(), 1);
  EXPECT_EQ(window_->TntLabel1().geometry(), QRect(11, 267, 249, 21));
  EXPECT_EQ(window_->TntLabel1().text(), QString::fromUtf8("请用Orvex手机助手的二维码扫描安装"));

  widgets::TBitmapButton& close = window_->ImgClose();
  EXPECT_EQ(close.geometry(), QRect(251, 4, 15, 15));
  EXPECT_EQ(close.GlyphCount(), 4);
  EXPECT_TRUE(close.Picture().IsPng());
  EXPECT_EQ(close.Hint(), QString::fromUtf8("返回"));
  EXPECT_EQ(close.cursor().shape(), Qt::PointingHandCursor);

  // Rounded corners (the outline reaches one pixel beyond the right and bottom edges, so the
  // bottom-right corner pixel stays): the corner pixels go, the edges between them stay.
  const QRegion shape = window_->mask();
  for (const QPoint corner : {QPoint(0, 0), QPoint(269, 0), QPoint(0, 289)}) {
    EXPECT_FALSE(shape.contains(corner)) << corner.x() << "," << corner.y();
  }
  for (const QPoint edge : {QPoint(135, 0), QPoint(0, 145), QPoint(269, 145), QPoint(135, 289)}) {
    EXPECT_TRUE(shape.contains(edge)) << edge.x() << "," << edge.y();
  }
}

TEST_F(TfmQRCodeTest, PaintedWindowShowsTheAddressAsAReadableSymbol) {
  const QImage shot = window_->grab().toImage();
  EXPECT_EQ(ScanSymbols(shot), QList<QByteArray>{Address});
  // The symbol's white quiet zone spans (12, 12) to (256, 256), the window colour lies around it.
  EXPECT_EQ(shot.pixelColor(12, 12), QColor(Qt::white));
  EXPECT_EQ(shot.pixelColor(256, 256), QColor(Qt::white));
  EXPECT_EQ(shot.pixelColor(11, 11), QColor(236, 236, 255));
  EXPECT_EQ(shot.pixelColor(257, 257), QColor(236, 236, 255));
  // The top-left finder's first dark module: 4 quiet modules of 5 pixels in.
  EXPECT_EQ(shot.pixelColor(12 + 20, 12 + 20), QColor(Qt::black));
}

TEST(DragsWindow, EverywhereButTheCornerAroundTheCloseButton) {
  const QRect close(251, 4, 15, 15);
  EXPECT_FALSE(DragsWindow(QPoint(248, 22), close));
  EXPECT_FALSE(DragsWindow(QPoint(269, 0), close));
  EXPECT_TRUE(DragsWindow(QPoint(247, 10), close));
  EXPECT_TRUE(DragsWindow(QPoint(260, 23), close));
  EXPECT_TRUE(DragsWindow(QPoint(100, 270), close));
}

TEST_F(TfmQRCodeTest, PressingOnLabelOrSymbolAndMovingDragsTheWindow) {
  window_->show();
  for (QWidget* part :
       {static_cast<QWidget*>(&window_->TntLabel1()), static_cast<QWidget*>(&window_->QRCode1())}) {
    const QPoint before = window_->pos();
    Mouse(*part, QEvent::MouseButtonPress, QPoint(10, 10));
    Mouse(*part, QEvent::MouseMove, QPoint(40, 30));
    Mouse(*part, QEvent::MouseButtonRelease, QPoint(40, 30));
    EXPECT_EQ(window_->pos(), before + QPoint(30, 20)) << part->objectName().toStdString();
  }
  // Inside the corner around the close button nothing moves.
  const QPoint before = window_->pos();
  Mouse(*window_, QEvent::MouseButtonPress, QPoint(249, 20));
  Mouse(*window_, QEvent::MouseMove, QPoint(200, 60));
  Mouse(*window_, QEvent::MouseButtonRelease, QPoint(200, 60));
  EXPECT_EQ(window_->pos(), before);
}

TEST_F(TfmQRCodeTest, ClickOnTheCloseButtonClosesTheWindow) {
  window_->show();
  ASSERT_TRUE(window_->isVisible());
  QTest::mouseClick(&window_->ImgClose(), Qt::LeftButton, Qt::NoModifier, QPoint(7, 7));
  EXPECT_FALSE(window_->isVisible());
}

}  // namespace
}  // namespace zephra::install
