#include "widgets/area_scaler.h"

#include <gtest/gtest.h>

#include <cmath>

#include "test_pictures.h"

namespace zephra::widgets {
namespace {

using testing::NoisePicture;

TEST(AreaScaler, CubicKernelHasParameterMinusOne) {
  EXPECT_FLOAT_EQ(CubicKernel(0.0f), 1.0f);
  EXPECT_FLOAT_EQ(CubicKernel(1.0f), 0.0f);
  EXPECT_FLOAT_EQ(CubicKernel(0.5f), 0.625f);
  EXPECT_FLOAT_EQ(CubicKernel(1.5f), -0.125f);
  EXPECT_FLOAT_EQ(CubicKernel(2.0f), 0.0f);
  EXPECT_FLOAT_EQ(CubicInterpolate(10, 20, 30, 40, 0.0f), 20.0f);
  EXPECT_FLOAT_EQ(CubicInterpolate(10, 20, 30, 40, 1.0f), 30.0f);
  EXPECT_FLOAT_EQ(CubicInterpolate(0, 0, 255, 255, 0.5f), 127.5f);
  EXPECT_FLOAT_EQ(CubicInterpolate(255, 255, 0, 0, 0.5f), 127.5f);
  EXPECT_FLOAT_EQ(CubicInterpolate(0, 255, 255, 0, 0.5f), 255.0f);  // overshoot clamped
}

// Widths per destination pixel, from a segment table.
std::vector<double> WidthPerDestination(const std::vector<TAreaSegment>& segments, int destSize) {
  std::vector<double> widths(destSize + 1, 0.0);
  int d = 0;
  for (const TAreaSegment& seg : segments) {
    widths[d] += seg.Width;
    if (seg.EndsAtDest) ++d;
  }
  return widths;
}

TEST(AreaScaler, SegmentsLoseNothingWhereEdgesCoincide) {
  const std::pair<int, int> cases[] = {{4, 2}, {3000, 1000}, {1920, 1280}, {1000, 3},
                                       {7, 5}, {4000, 1920}, {3, 1000}};
  for (const auto& [source, dest] : cases) {
    const std::vector<TAreaSegment> segments = AreaSegments(source, dest);
    ASSERT_EQ(segments.size(), static_cast<size_t>(source + dest));
    const std::vector<double> widths = WidthPerDestination(segments, dest);
    const double ratio = double(source) / dest;
    for (int d = 0; d < dest; ++d) {
      ASSERT_NEAR(widths[d], ratio, 0.01) << source << "->" << dest << " at " << d;
    }
    EXPECT_NEAR(widths[dest], 0.0, 0.01) << source << "->" << dest;  // nothing past the end
  }
}

TEST(AreaScaler, SegmentsOfAnExactHalvingAlternate) {
  const std::vector<TAreaSegment> s = AreaSegments(4, 2);
  ASSERT_EQ(s.size(), 6u);
  // Source edge, destination edge (coinciding with a source edge), then a zero-width piece.
  EXPECT_FLOAT_EQ(s[0].Width, 1.0f);
  EXPECT_FALSE(s[0].EndsAtDest);
  EXPECT_FLOAT_EQ(s[1].Width, 1.0f);
  EXPECT_TRUE(s[1].EndsAtDest);
  EXPECT_FLOAT_EQ(s[2].Width, 0.0f);
  EXPECT_FALSE(s[2].EndsAtDest);
}

TEST(AreaScaler, HalvingGivesThePlainMeanOfEachBlock) {
  const QImage source = NoisePicture(64, 38, 1);
  const QImage dest = AreaScale(source, 32, 19);
  for (int y = 0; y < 19; ++y) {
    for (int x = 0; x < 32 * 3; ++x) {
      const int c = x % 3, left = (x - c) * 2 + c;
      const uchar* top = source.constScanLine(2 * y);
      const uchar* bottom = source.constScanLine(2 * y + 1);
      const float mean = (top[left] + top[left + 3] + bottom[left] + bottom[left + 3]) / 4.0f;
      ASSERT_EQ(dest.constScanLine(y)[x], std::nearbyint(mean)) << x << "," << y;
    }
  }
}

TEST(AreaScaler, ReductionShortcutMatchesTheSegmentWalk) {
  const QImage source = NoisePicture(97, 61, 3);
  const std::pair<int, int> sizes[] = {{40, 23}, {97, 20}, {13, 61}, {32, 30}};
  for (const auto& [w, h] : sizes) {
    const QImage fast = AreaScale(source, w, h);
    const QImage walked = AreaScaleBySegments(source, w, h);
    for (int y = 0; y < h; ++y) {
      for (int i = 0; i < w * 3; ++i) {
        ASSERT_NEAR(fast.constScanLine(y)[i], walked.constScanLine(y)[i], 1) << w << "x" << h;
      }
    }
  }
}

TEST(AreaScaler, FlatPicturesStayFlatInEveryMode) {
  const QImage flat = testing::FlatPicture(11, 9, 30, 140, 250);
  const QSize sizes[] = {{25, 20}, {25, 4}, {5, 20}, {4, 4}};  // modes 0, 1, 2, 3
  for (QSize size : sizes) {
    const QImage scaled = AreaScale(flat, size.width(), size.height());
    EXPECT_TRUE(testing::SamePixels(
        scaled, testing::FlatPicture(size.width(), size.height(), 30, 140, 250)))
        << size.width() << "x" << size.height();
  }
}

TEST(AreaScaler, EnlargingSamplesTheCubicAtEachPieceEnd) {
  // One row 0, 100, 200, four times wider: each destination pixel is one piece of a source
  // column, sampled at the fraction where the piece ends.
  QImage source(3, 3, QImage::Format_Grayscale8);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 3; ++x) source.scanLine(y)[x] = static_cast<uchar>(100 * x);
  }
  const QImage wide = AreaScale(source, 12, 3);
  ASSERT_EQ(wide.format(), QImage::Format_Grayscale8);
  const uchar* row = wide.constScanLine(1);
  EXPECT_EQ(row[0], 20);   // 100 K(0.75) + 200 K(1.75) = 20.3
  EXPECT_EQ(row[3], 100);  // ends on the source edge: the next pixel
  EXPECT_EQ(row[5], 162);  // 162.5, halves rounded to even
  EXPECT_EQ(row[6], 180);  // 179.7 at 0.75 into column 1
  EXPECT_EQ(row[9], 212);  // 212.5: the kernel's overshoot beside the edge
  EXPECT_EQ(row[11], 200);
}

TEST(AreaScaler, EightBitSourcesKeepTheirColourTable) {
  QImage source(20, 10, QImage::Format_Indexed8);
  source.setColorTable({qRgb(0, 0, 0), qRgb(255, 0, 0), qRgb(0, 0, 255)});
  source.fill(2);
  const QImage dest = AreaScale(source, 7, 4);
  EXPECT_EQ(dest.format(), QImage::Format_Indexed8);
  EXPECT_EQ(dest.colorTable(), source.colorTable());
  EXPECT_EQ(dest.pixelIndex(6, 3), 2);
  EXPECT_TRUE(IsAreaScalable(source));
  EXPECT_FALSE(IsAreaScalable(source.convertToFormat(QImage::Format_ARGB32)));
}

}  // namespace
}  // namespace zephra::widgets
