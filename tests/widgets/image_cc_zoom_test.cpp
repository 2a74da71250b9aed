#include "widgets/image_cc_zoom.h"

#include <gtest/gtest.h>

namespace zephra::widgets {
namespace {

// A 1000 x 500 picture in an 1100 x 1000 control fits at 110 %.
const QSize Picture(1000, 500);
const QSize Control(1100, 1000);

TZoomInfo InfoAt(int displayedWidth) { return GetZoomInfo(Picture, Control, 0, displayedWidth); }

TEST(ZoomInfo, FitCurrentAndStep) {
  const TZoomInfo info = InfoAt(1000);
  EXPECT_DOUBLE_EQ(info.Fit, 110.0);
  EXPECT_EQ(info.Current, 100);
  EXPECT_EQ(info.Step, 2);
  EXPECT_EQ(InfoAt(3000).Step, 2);
  EXPECT_EQ(InfoAt(4000).Step, 3);
  // A tall picture fits by its height: 1000 x 4000 in 1100 x 1000 at 25 %.
  EXPECT_DOUBLE_EQ(GetZoomInfo({1000, 4000}, Control, 0, 250).Fit, 25.0);
  // Percentages are of the full-size image when the picture is a reduced copy of it.
  const TZoomInfo reduced = GetZoomInfo(Picture, Control, 4000, 1000);
  EXPECT_EQ(reduced.Current, 25);
  EXPECT_DOUBLE_EQ(reduced.Fit, 27.5);
}

TEST(ZoomStepping, TheFitSizeIsVisitedBetweenTwoSteps) {
  EXPECT_DOUBLE_EQ(NextZoomIn(InfoAt(1000), 1.0), 1.1);
  EXPECT_DOUBLE_EQ(NextZoomIn(InfoAt(1100), 1.1), 1.2);
  EXPECT_DOUBLE_EQ(NextZoomOut(InfoAt(1200), 1.2), 1.1);
  EXPECT_DOUBLE_EQ(NextZoomOut(InfoAt(1100), 1.1), 1.0);
  // Off a step the fit size is passed over.
  EXPECT_DOUBLE_EQ(NextZoomIn(InfoAt(1050), 1.05), 1.2);
}

TEST(ZoomStepping, StopsAtTheEndsOfTheTable) {
  EXPECT_DOUBLE_EQ(NextZoomIn(InfoAt(10000), 10.0), 10.0);
  EXPECT_DOUBLE_EQ(NextZoomIn(InfoAt(12000), 12.0), 10.0);
  EXPECT_DOUBLE_EQ(NextZoomOut(InfoAt(50), 0.05), 0.05);
  EXPECT_DOUBLE_EQ(NextZoomOut(InfoAt(12000), 12.0), 8.0);
  EXPECT_DOUBLE_EQ(NextZoomIn(InfoAt(0), 0.0), 0.1);
}

TEST(ZoomStepping, LargeZoomsStepByMoreThanTwoPercent) {
  EXPECT_DOUBLE_EQ(NextZoomIn(InfoAt(3500), 3.5), 4.0);
  EXPECT_DOUBLE_EQ(NextZoomIn(InfoAt(4000), 4.0), 5.0);    // 400 + 3 passes no step
  EXPECT_DOUBLE_EQ(NextZoomIn(InfoAt(4980), 4.98), 8.0);   // 498 + 3 is beyond 500
  EXPECT_DOUBLE_EQ(NextZoomOut(InfoAt(5020), 5.02), 4.0);  // 502 - 4 is below 500
  EXPECT_DOUBLE_EQ(NextZoomOut(InfoAt(1010), 1.01), 0.8);  // 101 - 2 is below 100
}

TEST(ZoomStepping, EmptyPicturesAndControlsDoNotDivideByZero) {
  for (const QSize picture : {QSize(0, 0), QSize(100, 0), QSize(0, 100)}) {
    const TZoomInfo info = GetZoomInfo(picture, Control, 0, 0);
    EXPECT_EQ(info.Current, 0);
    EXPECT_DOUBLE_EQ(NextZoomIn(info, 1.0), 0.1);
  }
  for (const QSize control : {QSize(0, 0), QSize(0, 100), QSize(100, 0)}) {
    const TZoomInfo info = GetZoomInfo(Picture, control, 0, 0);
    EXPECT_DOUBLE_EQ(info.Fit, 0.0);
    EXPECT_DOUBLE_EQ(NextZoomOut(info, 0.0), 0.05);
  }
}

TEST(ZoomProperty, ReadsToOneDecimalAboveThree) {
  EXPECT_DOUBLE_EQ(ReadZoom(3.14159, 100, 0), 3.1);
  EXPECT_DOUBLE_EQ(ReadZoom(2.71828, 100, 0), 2.71828);
  EXPECT_DOUBLE_EQ(ReadZoom(0.5, 2000, 4000), 0.25);
  EXPECT_DOUBLE_EQ(ZoomFactorFor(0.25, 2000, 4000), 0.5);
  EXPECT_DOUBLE_EQ(ZoomFactorFor(0.25, 2000, 0), 0.25);
}

TEST(ZoomProperty, CanZoomLeavesTwoPercentOfSlack) {
  EXPECT_FALSE(CanZoomInAt(998, 100));
  EXPECT_TRUE(CanZoomInAt(997, 100));
  EXPECT_FALSE(CanZoomOutAt(7, 100));
  EXPECT_TRUE(CanZoomOutAt(8, 100));
  EXPECT_FALSE(CanZoomInAt(50, 0));
  EXPECT_FALSE(CanZoomOutAt(50, 0));
}

}  // namespace
}  // namespace zephra::widgets
