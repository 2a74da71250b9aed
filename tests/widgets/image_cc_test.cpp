#include "widgets/image_cc.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPicture>

#include "test_pictures.h"
#include "widgets/gif_player.h"

namespace zephra::widgets {
namespace {

using testing::EnsureApplication;

using testing::NoisePicture;

const QRgb Background = qRgb(255, 0, 255);

// Counts the paints that reach the control.
class TCountingImageCC : public TImageCC {
 public:
  int Paints = 0;

 protected:
  void paintEvent(QPaintEvent* event) override {
    ++Paints;
    TImageCC::paintEvent(event);
  }
};

class TImageCCTest : public ::testing::Test {
 protected:
  void SetUp() override { EnsureApplication(); }

  // The control's view drawn over a magenta background of its size.
  static QImage Render(TImageCC& control) {
    QImage target(control.size(), QImage::Format_RGB32);
    target.fill(Background);
    QPainter painter(&target);
    control.DrawTo(painter);
    return target;
  }

  // Shows the control and lets the platform expose it, so that repaints paint at once.
  static void ShowAndSettle(TImageCC& control) {
    control.show();
    QCoreApplication::processEvents();
  }

  static void Mouse(TImageCC& control, QEvent::Type type, QPoint at, Qt::MouseButton button,
                    Qt::MouseButtons held, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QMouseEvent event(type, QPointF(at), QPointF(at), button, held, modifiers);
    QCoreApplication::sendEvent(&control, &event);
  }
  static void Press(TImageCC& control, QPoint at, Qt::KeyboardModifiers modifiers = {}) {
    Mouse(control, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton, modifiers);
  }
  static void Drag(TImageCC& control, QPoint at) {
    Mouse(control, QEvent::MouseMove, at, Qt::NoButton, Qt::LeftButton);
  }
  static void Release(TImageCC& control, QPoint at) {
    Mouse(control, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
  }
};

TEST_F(TImageCCTest, AFittingPictureIsDrawnUnscaledAtItsCentreAndNothingElse) {
  TImageCC control;
  control.resize(930, 570);
  const QImage picture = NoisePicture(50, 50, 1);
  control.Picture().SetBitmap(picture);
  EXPECT_EQ(control.GetDestRect(), (TRect{440, 260, 490, 310}));
  EXPECT_EQ(control.OffsX(), -440);
  EXPECT_EQ(control.OffsY(), -260);

  const QImage shown = Render(control);
  EXPECT_EQ(shown.copy(440, 260, 50, 50), picture.convertToFormat(QImage::Format_RGB32));
  EXPECT_EQ(shown.pixel(439, 260), Background);
  EXPECT_EQ(shown.pixel(490, 309), Background);
  EXPECT_EQ(shown.pixel(440, 310), Background);
}

TEST_F(TImageCCTest, OnScreenTheFirstFitPaintIsQuickAndTheNextOneBuildsTheCache) {
  TCountingImageCC control;
  control.resize(192, 108);
  control.Picture().SetBitmap(NoisePicture(400, 300, 2));
  ShowAndSettle(control);
  ASSERT_GE(control.Paints, 1);
  // The quick stretch went to the screen without waiting for the resample.
  if (control.Paints == 1) {
    EXPECT_TRUE(control.Cache().Stale());
  }
  for (int i = 0; i < 100 && control.Paints < 2; ++i) QCoreApplication::processEvents();
  EXPECT_GE(control.Paints, 2);
  EXPECT_FALSE(control.Cache().Stale());
  EXPECT_EQ(control.Cache().Bitmap().size(), QSize(144, 108));
}

TEST_F(TImageCCTest, OffScreenPaintsCopyTheCacheAtOnce) {
  TImageCC control;
  control.resize(192, 108);
  control.Picture().SetBitmap(NoisePicture(400, 300, 2));
  EXPECT_TRUE(control.Cache().Stale());

  const QImage shown = Render(control);
  ASSERT_FALSE(control.Cache().Stale());
  const QImage cache = control.Cache().Bitmap();
  ASSERT_EQ(cache.size(), QSize(144, 108));
  EXPECT_EQ(cache.format(), QImage::Format_RGB32);
  EXPECT_EQ(shown.copy(24, 0, 144, 108), cache);
  EXPECT_EQ(shown.pixel(23, 50), Background);
  EXPECT_EQ(shown.pixel(168, 50), Background);
  EXPECT_DOUBLE_EQ(control.ZoomFactor(), 0.36);
}

TEST_F(TImageCCTest, PanningReusesTheCacheAndEveryOtherChangeRebuildsIt) {
  TImageCC control;
  control.resize(100, 100);
  control.Picture().SetBitmap(NoisePicture(400, 300, 3));
  control.SetViewStyle(ccvsFree);
  control.SetZoom(0.5);  // 200 x 150, pans both ways
  Render(control);
  const int built = control.Cache().Generation();
  ASSERT_EQ(control.Cache().Bitmap().size(), QSize(200, 150));

  control.SetOffsX(40);
  control.SetOffsY(30);
  QImage shown = Render(control);
  EXPECT_EQ(control.Cache().Generation(), built);
  EXPECT_EQ(shown, control.Cache().Bitmap().copy(20, 15, 100, 100));

  Press(control, {50, 50});
  Drag(control, {45, 45});  // 5 screen pixels are 10 picture pixels
  shown = Render(control);
  EXPECT_EQ(control.OffsX(), 50);
  EXPECT_EQ(control.Cache().Generation(), built);
  EXPECT_EQ(shown, control.Cache().Bitmap().copy(25, 20, 100, 100));
  Release(control, {45, 45});

  control.SetViewResampleFilter(vrfSharp);
  Render(control);
  EXPECT_NE(control.Cache().Generation(), built);
}

TEST_F(TImageCCTest, PansOfWidePicturesCopyOneToOne) {
  TImageCC control;
  control.resize(600, 200);
  const QImage picture = NoisePicture(1500, 400, 18);
  control.Picture().SetBitmap(picture);
  control.ActualSize();
  const QImage unscaled = picture.convertToFormat(QImage::Format_RGB32);
  for (int x : {0, 300, 511, 513, 900}) {
    control.SetOffsX(x);
    control.SetOffsY(x / 5);
    EXPECT_EQ(Render(control), unscaled.copy(x, x / 5, 600, 200)) << x;
  }

  control.SetViewStyle(ccvsFree);
  control.SetZoom(0.8);  // cached at 1200 x 320
  Render(control);
  const QImage cache = control.Cache().Bitmap();
  ASSERT_EQ(cache.size(), QSize(1200, 320));
  control.SetOffsX(650);  // 520 cache columns in
  control.SetOffsY(50);
  EXPECT_EQ(Render(control), cache.copy(520, 40, 600, 200));
}

TEST_F(TImageCCTest, DraggingMovesByTheDragFactorAndSnapsBackToTheLimits) {
  TImageCC control;
  control.resize(100, 100);
  control.Picture().SetBitmap(NoisePicture(400, 300, 4));
  control.SetViewStyle(ccvsFree);
  control.SetZoom(0.5);
  control.GetDestRect();

  Press(control, {50, 50});
  EXPECT_EQ(control.MouseOperate(), ccmoMoving);
  Drag(control, {40, 45});
  EXPECT_EQ(control.OffsX(), 20);
  EXPECT_EQ(control.OffsY(), 10);
  Drag(control, {200, 45});
  EXPECT_EQ(control.OffsX(), -300);
  control.GetDestRect();
  EXPECT_EQ(control.OffsX(), 0);
  Drag(control, {-500, -500});
  control.GetDestRect();
  EXPECT_EQ(control.OffsX(), 200);  // 400 * (200 - 100) / 200
  EXPECT_EQ(control.OffsY(), 100);  // 300 * (150 - 100) / 150
  Release(control, {-500, -500});
  EXPECT_EQ(control.MouseOperate(), ccmoNone);

  // A fitting picture does not start a drag, nor does ccmsSelect.
  control.SetZoom(0.1);
  Press(control, {50, 50});
  EXPECT_EQ(control.MouseOperate(), ccmoNone);
  control.SetZoom(0.5);
  control.SetMoveStyle(ccmsSelect);
  Press(control, {50, 50});
  EXPECT_EQ(control.MouseOperate(), ccmoNone);
}

TEST_F(TImageCCTest, CtrlPressShowsFullSizeAroundThePressedPointUntilRelease) {
  TImageCC control;
  control.resize(200, 150);
  control.SetMoveStyle(ccmsZoomInView);
  control.Picture().SetBitmap(NoisePicture(400, 300, 5));
  Render(control);
  Render(control);  // fitted at 50 %, cache built
  const int fitCache = control.Cache().Generation();
  int reloads = 0;
  control.ReLoadPic = [&](TImageCC* sender) {
    ++reloads;
    sender->Picture().SetBitmap(NoisePicture(800, 600, 6));  // the full-size rendition
  };

  Press(control, {100, 60}, Qt::ControlModifier);
  EXPECT_EQ(reloads, 1);
  EXPECT_TRUE(control.InTemporaryView());
  EXPECT_EQ(control.ViewStyle(), ccvsFree);
  EXPECT_EQ(control.MouseOperate(), ccmoMoving);
  // Control point (100, 60) showed picture point (200, 120), which is (400, 240) full size.
  const TRect dest = control.GetDestRect();
  EXPECT_EQ(PicturePointAt(dest, control.ZoomFactor(), 100, 60), QPoint(400, 240));
  const QImage full = Render(control);
  EXPECT_EQ(full.pixel(100, 60), control.Picture().Bitmap().pixel(400, 240));

  Release(control, {100, 60});
  EXPECT_FALSE(control.InTemporaryView());
  EXPECT_EQ(control.ViewStyle(), ccvsBest);
  EXPECT_DOUBLE_EQ(control.ZoomFactor(), 0.25);  // the same view of the larger rendition
  EXPECT_FALSE(control.Cache().Stale());
  Render(control);
  EXPECT_EQ(control.Cache().Generation(), fitCache);
}

TEST_F(TImageCCTest, ReleaseAfterAReloadKeepsTheFreeZoomViewItsSize) {
  TImageCC control;
  control.resize(200, 150);
  control.SetMoveStyle(ccmsZoomInView);
  control.Picture().SetBitmap(NoisePicture(400, 300, 19));
  control.SetViewStyle(ccvsFree);
  control.SetZoom(0.25);  // 100 x 75
  control.ReLoadPic = [](TImageCC* sender) {
    sender->Picture().SetBitmap(NoisePicture(800, 600, 20));
  };
  Press(control, {100, 75}, Qt::ControlModifier);
  ASSERT_TRUE(control.InTemporaryView());
  Release(control, {100, 75});
  EXPECT_EQ(control.GetDestRect(), (TRect{50, 37, 150, 112}));
}

TEST_F(TImageCCTest, CtrlPressOnAPictureAtFullSizeOrOutsideItDoesNothingSpecial) {
  TImageCC control;
  control.resize(200, 150);
  control.SetMoveStyle(ccmsZoomInView);
  int reloads = 0;
  control.ReLoadPic = [&](TImageCC*) { ++reloads; };
  control.Picture().SetBitmap(NoisePicture(100, 50, 7));
  Render(control);
  Press(control, {100, 75}, Qt::ControlModifier);
  EXPECT_FALSE(control.InTemporaryView());

  control.Picture().SetBitmap(NoisePicture(400, 100, 8));  // fitted to 200 x 50 at y 50
  Render(control);
  Press(control, {100, 10}, Qt::ControlModifier);
  EXPECT_FALSE(control.InTemporaryView());
  Press(control, {100, 75});  // no Ctrl
  EXPECT_FALSE(control.InTemporaryView());
  EXPECT_EQ(reloads, 0);
}

TEST_F(TImageCCTest, ZoomStepsSwitchToFreeAndVisitTheFitSize) {
  TImageCC control;
  control.resize(1100, 1000);
  control.Picture().SetBitmap(NoisePicture(1000, 500, 9));
  int styleEvents = 0;
  control.OnViewStyleChange = [&](TImageCC*) { ++styleEvents; };
  control.ZoomIn();  // shown unscaled (100 %), fits at 110 %
  EXPECT_EQ(control.ViewStyle(), ccvsFree);
  EXPECT_EQ(styleEvents, 1);
  EXPECT_DOUBLE_EQ(control.Zoom(), 1.1);
  control.ZoomIn();
  EXPECT_DOUBLE_EQ(control.Zoom(), 1.2);
  control.ZoomOut();
  control.ZoomOut();
  EXPECT_DOUBLE_EQ(control.Zoom(), 1.0);
  control.ActualSize();
  EXPECT_EQ(control.ViewStyle(), ccvsPicSize);
}

TEST_F(TImageCCTest, ZoomIsRelativeToTheFullImageAndRefusesNonsense) {
  TImageCC control;
  control.resize(300, 300);
  control.Picture().SetBitmap(NoisePicture(100, 10, 10));
  control.SetViewStyle(ccvsFree);
  control.SetZoom(9.98);
  EXPECT_FALSE(control.CanZoomIn());
  EXPECT_TRUE(control.CanZoomOut());
  control.SetZoom(9.97);
  EXPECT_TRUE(control.CanZoomIn());
  EXPECT_DOUBLE_EQ(control.Zoom(), 10.0);  // read to one decimal above 3

  control.SetSrcImgWidth(400);  // the picture is a quarter-size copy
  control.SetZoom(0.5);
  EXPECT_DOUBLE_EQ(control.ZoomFactor(), 2.0);
  EXPECT_DOUBLE_EQ(control.Zoom(), 0.5);
  for (double bad : {0.0, -1.0, std::nan(""), HUGE_VAL}) {
    control.SetZoom(bad);
    EXPECT_DOUBLE_EQ(control.ZoomFactor(), 2.0);
  }
}

TEST_F(TImageCCTest, EmptyPicturesAndControlsPaintNothingAndNeverDivideByZero) {
  TImageCC control;
  control.resize(0, 0);
  control.SetMoveStyle(ccmsZoomInView);
  control.Picture().SetBitmap(NoisePicture(40, 30, 11));
  for (TImageCCViewStyle style : {ccvsFree, ccvsBest, ccvsFitScreen, ccvsFitWidth, ccvsFitHeight,
                                  ccvsStretch, ccvsFitMaxWidth, ccvsFitMaxHeight, ccvsPicSize}) {
    control.SetViewStyle(style);
    QImage target(10, 10, QImage::Format_RGB32);
    QPainter painter(&target);
    control.DrawTo(painter);
    control.ZoomIn();
    control.ZoomOut();
    control.CanZoomIn();
    Press(control, {0, 0}, Qt::ControlModifier);
    Release(control, {0, 0});
  }
  control.resize(50, 50);
  control.SetViewStyle(ccvsFree);
  control.SetZoom(0.001);  // displayed 0 x 0
  EXPECT_EQ(Render(control).pixel(25, 25), Background);
  control.Picture().SetBitmap(QImage());
  EXPECT_FALSE(control.Picture().HasGraphic());
  EXPECT_FALSE(control.CalcDisplaySize());
  EXPECT_FALSE(control.CanZoomIn());
  EXPECT_FALSE(control.CanZoomOut());
  control.ZoomIn();
  EXPECT_EQ(Render(control).pixel(25, 25), Background);
  EXPECT_EQ(control.CursorForZone(CursorZone(control.CalcDisplaySize(), control.size(), 5)).shape(),
            Qt::ArrowCursor);
}

TEST_F(TImageCCTest, UpdatesAreHeldUntilTheLastEndUpdate) {
  TCountingImageCC control;
  control.resize(100, 100);
  ShowAndSettle(control);
  control.Picture().SetBitmap(NoisePicture(40, 30, 12));
  const int paints = control.Paints;
  EXPECT_GT(paints, 0);

  control.BeginUpdate();
  control.BeginUpdate();
  control.SetViewStyle(ccvsStretch);
  control.repaint();
  EXPECT_EQ(control.Paints, paints + 1);  // the paint event comes but draws nothing
  control.EndUpdate();
  EXPECT_EQ(control.UpdateCount(), 1);
  EXPECT_EQ(control.Paints, paints + 1);
  control.EndUpdate();
  EXPECT_EQ(control.Paints, paints + 2);
  EXPECT_TRUE(control.testAttribute(Qt::WA_OpaquePaintEvent));  // stretched over everything

  control.BeginUpdate();
  control.BeginUpdate();
  control.EndUpdate(true);
  EXPECT_EQ(control.UpdateCount(), 0);
  EXPECT_EQ(control.Paints, paints + 3);
  control.EndUpdate();  // below zero: nothing
  EXPECT_EQ(control.UpdateCount(), 0);
  EXPECT_EQ(control.Paints, paints + 3);
}

TEST_F(TImageCCTest, ExchangedPicturesAreFollowedOnlyWhileTheControlHoldsThem) {
  TCountingImageCC control;
  control.resize(100, 100);
  ShowAndSettle(control);
  control.Picture().SetBitmap(NoisePicture(40, 30, 13));
  auto other = std::make_unique<TImageCCPicture>();
  other->SetBitmap(NoisePicture(60, 20, 14));
  const int paints = control.Paints;

  control.ExchangePicture(other);
  EXPECT_EQ(control.Paints, paints);
  EXPECT_EQ(control.Picture().Size(), QSize(60, 20));
  ASSERT_TRUE(other);
  EXPECT_EQ(other->Size(), QSize(40, 30));
  other->SetBitmap(NoisePicture(10, 10, 15));
  EXPECT_EQ(control.Paints, paints);
  control.Picture().SetBitmap(NoisePicture(70, 20, 16));
  EXPECT_EQ(control.Paints, paints + 1);

  std::unique_ptr<TImageCCPicture> none;
  control.ExchangePicture(none);
  EXPECT_EQ(control.Picture().Size(), QSize(70, 20));
}

TEST_F(TImageCCTest, AnimationFramesAndVectorPicturesAreStretchedIntoTheDestination) {
  TCountingImageCC control;
  control.resize(100, 100);
  ShowAndSettle(control);
  TGifFrames frames;
  frames.ScreenSize = QSize(10, 10);
  for (QRgb colour : {qRgb(255, 0, 0), qRgb(0, 255, 0)}) {
    QImage frame(10, 10, QImage::Format_ARGB32_Premultiplied);
    frame.fill(colour);
    frames.Frames.push_back({frame, 50});
  }
  control.Picture().SetAnimation(frames);
  control.SetViewStyle(ccvsFitScreen);
  EXPECT_EQ(Render(control).pixel(50, 50), qRgb(255, 0, 0));
  EXPECT_DOUBLE_EQ(control.ZoomFactor(), 10.0);
  const int paints = control.Paints;
  control.Picture().Player()->Advance();
  EXPECT_EQ(control.Paints, paints + 1);
  EXPECT_EQ(Render(control).pixel(50, 50), qRgb(0, 255, 0));

  QPicture vector;
  QPainter recorder(&vector);
  recorder.fillRect(QRect(0, 0, 20, 10), Qt::blue);
  recorder.end();
  control.Picture().SetVector(vector);
  const QImage shown = Render(control);
  EXPECT_EQ(shown.pixel(2, 30), qRgb(0, 0, 255));  // 20 x 10 fitted to 100 x 50 at y 25
  EXPECT_EQ(shown.pixel(97, 72), qRgb(0, 0, 255));
  EXPECT_EQ(shown.pixel(50, 20), Background);
}

TEST_F(TImageCCTest, AnExchangedPictureIsNotShownFromTheOldCache) {
  TImageCC control;
  control.resize(100, 100);
  control.Picture().SetBitmap(NoisePicture(200, 200, 21));
  Render(control);
  Render(control);  // cached at 100 x 100
  auto other = std::make_unique<TImageCCPicture>();
  other->SetBitmap(NoisePicture(200, 200, 22));
  control.ExchangePicture(other);
  Render(control);

  TImageCC fresh;
  fresh.resize(100, 100);
  fresh.Picture().SetBitmap(NoisePicture(200, 200, 22));
  Render(fresh);
  EXPECT_EQ(Render(control), Render(fresh));
}

TEST_F(TImageCCTest, AZoomStepToTheSameFactorStillShowsTheFreeStyle) {
  TCountingImageCC control;
  control.resize(1000, 100);
  ShowAndSettle(control);
  control.Picture().SetBitmap(NoisePicture(100, 100, 23));
  control.SetViewStyle(ccvsStretch);  // 1000 %, stretched flat
  ASSERT_DOUBLE_EQ(control.ZoomFactor(), 10.0);
  const int paints = control.Paints;
  control.ZoomIn();  // stays at 1000 %, now with the aspect kept
  EXPECT_EQ(control.ViewStyle(), ccvsFree);
  EXPECT_EQ(control.Paints, paints + 1);
}

TEST_F(TImageCCTest, TheCubicFilterCachesPicturesOfAnyFormat) {
  TImageCC control;
  control.resize(200, 150);
  control.SetViewResampleFilter(vrfCubic);
  control.Picture().SetBitmap(NoisePicture(400, 300, 24).convertToFormat(QImage::Format_RGB32));
  Render(control);
  EXPECT_EQ(control.Cache().Bitmap().size(), QSize(200, 150));
}

TEST_F(TImageCCTest, TheCopiedPictureFollowsTheSourceKind) {
  TImageCC control;
  TImageCCPicture source;
  source.SetBitmap(NoisePicture(30, 20, 17));
  control.SetPicture(source);
  EXPECT_TRUE(control.Picture().IsBitmap());
  EXPECT_EQ(control.Picture().Bitmap(), source.Bitmap());
  source.Clear();
  control.SetPicture(source);
  EXPECT_FALSE(control.Picture().HasGraphic());
}

TEST_F(TImageCCTest, AMouseDownHandlerMayDeleteTheControl) {
  for (const auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonDblClick}) {
    auto* control = new TImageCC;
    control->resize(100, 100);
    control->Picture().SetBitmap(NoisePicture(400, 300, 1));
    control->OnMouseDown = [](TImageCC* sender, QMouseEvent*) { delete sender; };
    // Under AddressSanitizer any use of the control after the handler fails here.
    Mouse(*control, type, {50, 50}, Qt::LeftButton, Qt::LeftButton);
  }
}

}  // namespace
}  // namespace zephra::widgets
