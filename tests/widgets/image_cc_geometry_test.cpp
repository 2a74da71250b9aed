#include "widgets/image_cc_geometry.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <ostream>

namespace zephra::widgets {
namespace {

struct TSizeCase {
  TImageCCViewStyle Style;
  QSize Picture, Control, Expected;
};

void PrintTo(const TSizeCase& c, std::ostream* out) {
  *out << "style " << int(c.Style) << ", picture " << c.Picture.width() << "x" << c.Picture.height()
       << ", control " << c.Control.width() << "x" << c.Control.height();
}

class DisplaySize : public ::testing::TestWithParam<TSizeCase> {};

TEST_P(DisplaySize, FollowsTheViewStyle) {
  const TSizeCase& c = GetParam();
  const std::optional<QSize> size = CalcDisplaySize(c.Style, 0.5, c.Picture, c.Control);
  ASSERT_TRUE(size.has_value());
  EXPECT_EQ(*size, c.Expected);
}

// A wide picture larger than the control, a small one, and sizes that hit the rounding rules.
INSTANTIATE_TEST_SUITE_P(
    EveryStyle, DisplaySize,
    ::testing::Values(TSizeCase{ccvsFree, {400, 200}, {300, 300}, {200, 100}},
                      TSizeCase{ccvsBest, {400, 200}, {300, 300}, {300, 150}},
                      TSizeCase{ccvsFitScreen, {400, 200}, {300, 300}, {300, 150}},
                      TSizeCase{ccvsFitWidth, {400, 200}, {300, 300}, {300, 150}},
                      TSizeCase{ccvsFitHeight, {400, 200}, {300, 300}, {400, 200}},
                      TSizeCase{ccvsStretch, {400, 200}, {300, 300}, {300, 300}},
                      TSizeCase{ccvsFitMaxWidth, {400, 200}, {300, 300}, {300, 150}},
                      TSizeCase{ccvsFitMaxHeight, {400, 200}, {300, 300}, {600, 300}},
                      TSizeCase{ccvsPicSize, {400, 200}, {300, 300}, {400, 200}},
                      // A 50 x 50 picture in 930 x 570: unscaled when it fits, enlarged by the "may
                      // enlarge" styles only.
                      TSizeCase{ccvsBest, {50, 50}, {930, 570}, {50, 50}},
                      TSizeCase{ccvsFitScreen, {50, 50}, {930, 570}, {570, 570}},
                      TSizeCase{ccvsFitWidth, {50, 50}, {930, 570}, {50, 50}},
                      TSizeCase{ccvsFitHeight, {50, 50}, {930, 570}, {50, 50}},
                      TSizeCase{ccvsFitMaxWidth, {50, 50}, {930, 570}, {930, 930}},
                      TSizeCase{ccvsFitMaxHeight, {50, 50}, {930, 570}, {570, 570}},
                      // FitScreen rounds (6.67 -> 7) where FitMaxWidth truncates (-> 6).
                      TSizeCase{ccvsFitScreen, {3, 2}, {10, 100}, {10, 7}},
                      TSizeCase{ccvsFitMaxWidth, {3, 2}, {10, 100}, {10, 6}},
                      // Halves round to even: 0.5 -> 0 and 1.5 -> 2.
                      TSizeCase{ccvsFitWidth, {4, 1}, {2, 9}, {2, 0}},
                      TSizeCase{ccvsFitWidth, {4, 3}, {2, 9}, {2, 2}},
                      // A tall picture is limited by the height.
                      TSizeCase{ccvsFitScreen, {100, 400}, {300, 300}, {75, 300}}));

TEST(DisplaySizeLimits, EmptyPicturesHaveNoSizeAndEmptyControlsGiveZero) {
  EXPECT_FALSE(CalcDisplaySize(ccvsBest, 1.0, QSize(0, 10), QSize(100, 100)));
  EXPECT_FALSE(CalcDisplaySize(ccvsPicSize, 1.0, QSize(10, 0), QSize(100, 100)));
  EXPECT_FALSE(CalcDisplaySize(ccvsFree, 1.0, QSize(-5, 10), QSize(100, 100)));
  for (const QSize control : {QSize(0, 0), QSize(0, 100), QSize(100, 0)}) {
    for (TImageCCViewStyle style : {ccvsBest, ccvsFitScreen}) {
      EXPECT_EQ(CalcDisplaySize(style, 1.0, QSize(40, 30), control), QSize(0, 0)) << int(style);
    }
  }
  // The "max" styles follow one side of the control only.
  EXPECT_EQ(CalcDisplaySize(ccvsFitMaxWidth, 1.0, QSize(40, 30), {0, 100}), QSize(0, 0));
  EXPECT_EQ(CalcDisplaySize(ccvsFitMaxWidth, 1.0, QSize(40, 30), {100, 0}), QSize(100, 75));
  EXPECT_EQ(CalcDisplaySize(ccvsFitMaxHeight, 1.0, QSize(40, 30), {100, 0}), QSize(0, 0));
}

TEST(DisplaySizeLimits, AHugeZoomIsCutToTheLargestSide) {
  const std::optional<QSize> size = CalcDisplaySize(ccvsFree, 1e12, QSize(4000, 3000), {10, 10});
  ASSERT_TRUE(size);
  EXPECT_EQ(*size, QSize(MaxDisplaySide, MaxDisplaySide));
}

TEST(DestRect, CentresAFittingPictureAndStoresTheNegatedMargins) {
  TOffsets offsets{123, -7};
  const TRect rect = GetDestRect({50, 50}, {930, 570}, {50, 50}, offsets);
  EXPECT_EQ(rect, (TRect{440, 260, 490, 310}));
  EXPECT_EQ(offsets, (TOffsets{-440, -260}));
}

TEST(DestRect, ClampsPanningOffsetsToZeroAndTheLastFillingPosition) {
  // 1000 x 800 shown at 150 % in 500 x 400: horizontally at most 1000 * 1000 / 1500 = 666.
  TOffsets offsets{-5, 100000};
  TRect rect = GetDestRect({1000, 800}, {500, 400}, {1500, 1200}, offsets);
  EXPECT_EQ(offsets, (TOffsets{0, 800 * 800 / 1200}));
  EXPECT_EQ(rect.Left, 0);
  EXPECT_EQ(rect.Top, -(1200 * 533 / 800));
  EXPECT_EQ(rect.Width(), 1500);

  offsets = {100, 0};
  rect = GetDestRect({1000, 800}, {500, 400}, {1500, 1200}, offsets);
  EXPECT_EQ(rect.Left, -150);  // 100 picture pixels are 150 control pixels
}

TEST(DestRect, APictureOnePixelLargerIsCutNotPanned) {
  TOffsets offsets{30, 0};
  const TRect rect = GetDestRect({101, 10}, {100, 100}, {101, 10}, offsets);
  EXPECT_EQ(offsets.X, 0);
  EXPECT_EQ(rect.Left, 0);
  EXPECT_FALSE(PansOnAxis(101, 100));
  EXPECT_TRUE(PansOnAxis(102, 100));
}

TEST(PaintRects, APannedAxisShowsThePartThatFillsTheControl) {
  TOffsets offsets{100, 0};
  const TPaintRects rects = CalcRects({1000, 800}, {500, 400}, {1500, 1200}, offsets);
  EXPECT_EQ(rects.Source, (TRect{100, 0, 100 + 1000 * 500 / 1500, 800 * 400 / 1200}));
  EXPECT_EQ(rects.Dest, (TRect{0, 0, 500, 400}));
}

TEST(PaintRects, AFittingAxisShowsTheWholePictureCentred) {
  TOffsets offsets{0, 5};
  const TPaintRects rects = CalcRects({400, 300}, {192, 108}, {144, 108}, offsets);
  EXPECT_EQ(rects.Source, (TRect{0, 0, 400, 300}));
  EXPECT_EQ(rects.Dest, (TRect{24, 0, 168, 108}));
  EXPECT_EQ(offsets, (TOffsets{-24, 0}));
}

TEST(PaintRects, TheCacheHoldsTheWholeDisplayedPictureAndThePanPicksItsPart) {
  // 4000 x 3000 at 40 % in 1920 x 1080, panned down by 150 picture rows.
  TOffsets offsets{0, 150};
  const TPaintRects rects = CalcRects({4000, 3000}, {1920, 1080}, {1600, 1200}, offsets);
  const double zoom = double(rects.Dest.Width()) / rects.Source.Width();
  EXPECT_EQ(CacheSize({4000, 3000}, rects, zoom), QSize(1600, 1200));
  EXPECT_EQ(CacheSourceRect(rects, zoom), (TRect{0, 60, 1600, 1140}));
  EXPECT_EQ(rects.Dest, (TRect{160, 0, 1760, 1080}));

  // Any pan keeps the cache size: only the part taken from it moves.
  for (int y : {0, 77, 300}) {
    TOffsets panned{0, y};
    const TPaintRects moved = CalcRects({4000, 3000}, {1920, 1080}, {1600, 1200}, panned);
    const double z = double(moved.Dest.Width()) / moved.Source.Width();
    EXPECT_EQ(CacheSize({4000, 3000}, moved, z), QSize(1600, 1200)) << y;
    EXPECT_EQ(CacheSourceRect(moved, z).Height(), 1080) << y;
  }
}

TEST(PaintRects, ClippingKeepsTheDestinationInsideTheControl) {
  EXPECT_EQ(ClipToControl({-3, 5, 120, 90}, {100, 80}), (TRect{0, 5, 100, 80}));
}

TEST(CursorZones, LeftRightOverAPannablePictureAndPlain) {
  const QSize control(930, 570);
  const std::optional<QSize> small = QSize(50, 50);
  EXPECT_EQ(CursorZone(small, control, 439), 3);
  EXPECT_EQ(CursorZone(small, control, 440), 0);
  EXPECT_EQ(CursorZone(small, control, 490), 0);
  EXPECT_EQ(CursorZone(small, control, 491), 2);
  EXPECT_EQ(CursorZone(QSize(930, 600), control, 10), 1);
  EXPECT_EQ(CursorZone(std::nullopt, control, 10), 0);
}

TEST(Rounding, HalvesGoToEvenAndOutOfRangeSaturates) {
  EXPECT_EQ(RoundHalfEven(0.5), 0);
  EXPECT_EQ(RoundHalfEven(1.5), 2);
  EXPECT_EQ(RoundHalfEven(2.5), 2);
  EXPECT_EQ(RoundHalfEven(-1.5), -2);
  EXPECT_EQ(RoundHalfEven(2.6), 3);
  EXPECT_EQ(RoundHalfEven(1e300), INT_MAX);
  EXPECT_EQ(RoundHalfEven(-1e300), INT_MIN);
  EXPECT_EQ(RoundHalfEven(std::nan("")), 0);
}

TEST(PicturePoint, MeasuresFromThePictureStartInPicturePixels) {
  EXPECT_EQ(PicturePointAt({24, 0, 168, 108}, 0.36, 60, 54), QPoint(100, 150));
  EXPECT_EQ(PicturePointAt({-300, -180, 500, 420}, 1.0, 100, 60), QPoint(400, 240));
}

}  // namespace
}  // namespace zephra::widgets
