#include "widgets/resample.h"

#include <gtest/gtest.h>

#include "test_pictures.h"
#include "widgets/area_scaler.h"
#include "widgets/bilinear_scaler.h"
#include "widgets/smooth_stretch.h"

namespace zephra::widgets {
namespace {

using testing::NoisePicture;
using testing::SamePixels;

constexpr TViewResampleFilter AllFilters[] = {vrfStand,    vrfSharp,    vrfSmooth,
                                              vrfTriangle, vrfHermite,  vrfSpline,
                                              vrfLanczos3, vrfMitchell, vrfCubic};

TEST(Resample, EqualSizesCopyExactlyWithEveryFilter) {
  for (TViewResampleFilter filter : AllFilters) {
    QImage source = NoisePicture(37, 23, 1);
    QImage dest;
    Resample(dest, source, 37, 23, filter);
    EXPECT_TRUE(SamePixels(dest, source)) << int(filter);
    EXPECT_EQ(dest.format(), QImage::Format_BGR888);
  }
}

TEST(Resample, SidesUnderThreeAreStretchedByRepetition) {
  // A 2 x 500 source never reaches a scaler: each pixel is repeated, nothing is blended.
  QImage source = NoisePicture(2, 500, 1);
  for (TViewResampleFilter filter : AllFilters) {
    QImage dest;
    Resample(dest, source, 4, 1000, filter);
    ASSERT_EQ(dest.size(), QSize(4, 1000));
    EXPECT_EQ(dest.format(), QImage::Format_BGR888);
    EXPECT_EQ(dest.pixel(3, 999), source.pixel(1, 499)) << int(filter);
    EXPECT_EQ(dest.pixel(0, 1), source.pixel(0, 0)) << int(filter);
  }
  // The same for requests under three.
  QImage big = NoisePicture(50, 40, 2);
  QImage dest;
  Resample(dest, big, 2, 40, vrfCubic);
  EXPECT_EQ(dest.size(), QSize(2, 40));
  bool repeated = false;
  for (int x = 0; x < 50; ++x) repeated = repeated || dest.pixel(0, 7) == big.pixel(x, 7);
  EXPECT_TRUE(repeated);
  Resample(dest, big, 0, 40, vrfStand);
  EXPECT_TRUE(dest.isNull());
}

TEST(Resample, FilterChoosesTheScaler) {
  const QImage original = NoisePicture(61, 47, 1);
  for (TViewResampleFilter filter : AllFilters) {
    QImage source = original;
    QImage dest;
    Resample(dest, source, 40, 90, filter);
    const QImage expected = filter == vrfSharp   ? BilinearScale(original, 40, 90)
                            : filter == vrfCubic ? AreaScale(original, 40, 90)
                                                 : SmoothStretch(original, 40, 90);
    EXPECT_TRUE(SamePixels(dest, expected)) << int(filter);
  }
}

TEST(Resample, ScalersHandleEverySmallSize) {
  // Run under the sanitizers, this catches reads past the edges of small pictures.
  for (int sw : {3, 4, 7}) {
    for (int sh : {3, 5}) {
      const QImage source = NoisePicture(sw, sh, sw + sh);
      for (int w : {1, 2, 3, 5, 9, 40}) {
        for (int h : {1, 2, 4, 31}) {
          EXPECT_EQ(BilinearScale(source, w, h).size(), QSize(w, h));
          EXPECT_EQ(AreaScale(source, w, h).size(), QSize(w, h));
          EXPECT_EQ(SmoothStretch(source, w, h).size(), QSize(w, h));
        }
      }
    }
  }
  EXPECT_TRUE(BilinearScale(NoisePicture(5, 5, 1), 0, 5).isNull());
}

TEST(Resample, OtherFormatsAreConvertedOrRefused) {
  QImage source = NoisePicture(30, 20, 1).convertToFormat(QImage::Format_RGB32);
  QImage dest(5, 5, QImage::Format_BGR888);
  dest.fill(Qt::red);
  Resample(dest, source, 10, 10, vrfCubic);  // 32 bits: the area scaler refuses
  EXPECT_EQ(dest.size(), QSize(5, 5));
  EXPECT_EQ(source.format(), QImage::Format_RGB32);

  Resample(dest, source, 10, 10, vrfStand);
  EXPECT_EQ(source.format(), QImage::Format_BGR888);  // converted in place
  EXPECT_EQ(dest.size(), QSize(10, 10));
  EXPECT_EQ(dest.format(), QImage::Format_BGR888);
}

}  // namespace
}  // namespace zephra::widgets
