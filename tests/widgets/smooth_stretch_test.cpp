#include "widgets/smooth_stretch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "test_pictures.h"

namespace zephra::widgets {
namespace {

TEST(SmoothStretch, TapWeightsAddUpToOneForEveryPixel) {
  const std::pair<int, int> cases[] = {{4000, 1920}, {960, 1920}, {3, 1000}, {1000, 3}, {7, 7}};
  for (const auto& [source, dest] : cases) {
    const TAxisTaps taps = SmoothAxisTaps(source, dest);
    for (int d = 0; d < dest; ++d) {
      const std::int16_t* w = taps.Weights.data() + d * taps.Stride;
      ASSERT_LE(taps.Count[d], taps.Stride);
      ASSERT_GE(taps.First[d], 0);
      ASSERT_LE(taps.First[d] + taps.Count[d], source);
      ASSERT_EQ(std::accumulate(w, w + taps.Count[d], 0), 1 << TapWeightBits)
          << source << "->" << dest << " at " << d;
    }
  }
}

TEST(SmoothStretch, ReducingAveragesTheCoveredSpan) {
  const TAxisTaps taps = SmoothAxisTaps(10, 4);  // 2.5 source pixels each
  EXPECT_EQ(taps.First[1], 2);
  ASSERT_EQ(taps.Count[1], 3);
  EXPECT_NEAR(taps.Weights[taps.Stride + 0], 16384 * 0.2, 1);
  EXPECT_NEAR(taps.Weights[taps.Stride + 1], 16384 * 0.4, 1);
  EXPECT_NEAR(taps.Weights[taps.Stride + 2], 16384 * 0.4, 1);
}

TEST(SmoothStretch, EnlargingInterpolatesBetweenPixelCentres) {
  const TAxisTaps taps = SmoothAxisTaps(4, 8);
  EXPECT_EQ(taps.Count[0], 1);  // left of the first centre: the edge pixel
  EXPECT_EQ(taps.First[3], 1);  // centre 3.5 / 2 - 0.5 = 1.25
  EXPECT_EQ(taps.Weights[3 * taps.Stride], 12288);
  EXPECT_EQ(taps.Count[7], 1);
}

TEST(SmoothStretch, FlatPicturesStayFlatWhateverTheDirection) {
  const QImage flat = testing::FlatPicture(33, 21, 1, 128, 255);
  const QSize sizes[] = {{10, 7}, {100, 60}, {10, 60}, {100, 7}, {33, 5}};
  for (QSize size : sizes) {
    EXPECT_TRUE(testing::SamePixels(SmoothStretch(flat, size.width(), size.height()),
                                    testing::FlatPicture(size.width(), size.height(), 1, 128, 255)))
        << size.width() << "x" << size.height();
  }
}

TEST(SmoothStretch, HalvingIsTheBlockMean) {
  const QImage source = testing::NoisePicture(30, 16, 4);
  const QImage half = SmoothStretch(source, 15, 8);
  for (int y = 0; y < 8; ++y) {
    for (int i = 0; i < 45; ++i) {
      const int c = i % 3, left = (i - c) * 2 + c;
      const int sum = source.constScanLine(2 * y)[left] + source.constScanLine(2 * y)[left + 3] +
                      source.constScanLine(2 * y + 1)[left] +
                      source.constScanLine(2 * y + 1)[left + 3];
      ASSERT_NEAR(half.constScanLine(y)[i], sum / 4.0, 0.51);
    }
  }
}

TEST(SmoothStretch, ExtremeReductionsKeepEveryWeightNonNegative) {
  // 4369 taps of 3.75 units each: rounded one by one they overshot, and the rest handed to one
  // tap made it negative, which wrapped bright pixels to dark ones.
  const TAxisTaps taps = SmoothAxisTaps(13107, 3);
  for (int d = 0; d < 3; ++d) {
    const std::int16_t* w = taps.Weights.data() + d * taps.Stride;
    EXPECT_GE(*std::min_element(w, w + taps.Count[d]), 0) << d;
    EXPECT_EQ(std::accumulate(w, w + taps.Count[d], 0), 1 << TapWeightBits) << d;
  }
  // Columns 0..6553 white, the rest black: 4369 source columns per destination pixel.
  QImage source = testing::FlatPicture(13107, 3, 0, 0, 0);
  for (int y = 0; y < 3; ++y) std::fill_n(source.scanLine(y), 6554 * 3, std::uint8_t{255});
  const QImage reduced = SmoothStretch(source, 3, 3);
  EXPECT_EQ(reduced.constScanLine(1)[0], 255);
  EXPECT_NEAR(reduced.constScanLine(1)[3], 255.0 * 2185 / 4369, 1.0);
  EXPECT_EQ(reduced.constScanLine(1)[6], 0);
}

}  // namespace
}  // namespace zephra::widgets
