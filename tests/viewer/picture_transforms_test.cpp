#include "viewer/picture_transforms.h"

#include <gtest/gtest.h>

#include <functional>

#include "test_files.h"

namespace zephra::viewer {
namespace {

using testing::NoisePicture;

// Pixels of `turned` that differ from `original` at the place `source` maps them to.
int Misplaced(const QImage& turned, const QImage& original,
              const std::function<QPoint(int x, int y)>& source) {
  int wrong = 0;
  for (int y = 0; y < turned.height(); ++y) {
    for (int x = 0; x < turned.width(); ++x) {
      const QPoint from = source(x, y);
      wrong += turned.pixel(x, y) != original.pixel(from) ? 1 : 0;
    }
  }
  return wrong;
}

class TTransformTest : public ::testing::TestWithParam<QSize> {};

TEST_P(TTransformTest, EveryPixelLandsWhereTheDefinitionSays) {
  const int w = GetParam().width(), h = GetParam().height();
  const QImage original = NoisePicture(w, h, 5);
  struct TCase {
    const char* Name;
    bool (*Transform)(QImage&);
    QSize Size;
    std::function<QPoint(int, int)> Source;
  };
  const TCase cases[] = {
      {"RotateLeft", RotateLeft, {h, w}, [&](int x, int y) { return QPoint(w - 1 - y, x); }},
      {"RotateRight", RotateRight, {h, w}, [&](int x, int y) { return QPoint(y, h - 1 - x); }},
      {"RotateHalf",
       RotateHalf,
       {w, h},
       [&](int x, int y) { return QPoint(w - 1 - x, h - 1 - y); }},
      {"MirrorLeftRight",
       MirrorLeftRight,
       {w, h},
       [&](int x, int y) { return QPoint(w - 1 - x, y); }},
      {"FlipTopBottom", FlipTopBottom, {w, h}, [&](int x, int y) { return QPoint(x, h - 1 - y); }},
  };
  for (const TCase& c : cases) {
    QImage image = original;  // shared: the transform must not reach the original
    ASSERT_TRUE(c.Transform(image)) << c.Name;
    ASSERT_EQ(image.size(), c.Size) << c.Name;
    EXPECT_EQ(image.format(), QImage::Format_BGR888);
    EXPECT_EQ(Misplaced(image, original, c.Source), 0) << c.Name;
  }
  EXPECT_EQ(original, NoisePicture(w, h, 5));
}

// Odd sizes, single rows and columns, and sizes that cross the quarter turns' 32-pixel tiles.
INSTANTIATE_TEST_SUITE_P(Sizes, TTransformTest,
                         ::testing::Values(QSize(1, 1), QSize(3, 5), QSize(5, 3), QSize(1, 4),
                                           QSize(4, 1), QSize(37, 33), QSize(70, 2)),
                         [](const auto& info) {
                           return std::to_string(info.param.width()) + "x" +
                                  std::to_string(info.param.height());
                         });

TEST(PictureTransformsTest, OtherFormatsAreMade24BitFirstAndNullPicturesFail) {
  QImage image(3, 2, QImage::Format_RGB32);
  image.fill(qRgb(10, 20, 30));
  image.setPixel(0, 0, qRgb(200, 100, 50));
  ASSERT_TRUE(RotateRight(image));
  EXPECT_EQ(image.format(), QImage::Format_BGR888);
  EXPECT_EQ(image.pixel(1, 0), qRgb(200, 100, 50));
  QImage argb(2, 2, QImage::Format_ARGB32);
  argb.fill(qRgb(1, 2, 3));
  ASSERT_TRUE(MirrorLeftRight(argb));
  EXPECT_EQ(argb.format(), QImage::Format_BGR888);

  QImage null;
  for (auto transform : {RotateLeft, RotateRight, RotateHalf, MirrorLeftRight, FlipTopBottom}) {
    EXPECT_FALSE(transform(null));
    EXPECT_TRUE(null.isNull());
  }
  EXPECT_FALSE(Darken(null, 40));
}

TEST(PictureTransformsTest, DarkenScalesEveryChannelByFactorOver255) {
  QImage image(3, 1, QImage::Format_BGR888);  // 9 bytes in a 12-byte row
  image.setPixel(0, 0, qRgb(255, 100, 0));
  image.setPixel(1, 0, qRgb(1, 254, 128));
  image.setPixel(2, 0, qRgb(7, 51, 200));
  QImage darker = image;
  ASSERT_TRUE(Darken(darker, 40));
  EXPECT_EQ(darker.pixel(0, 0), qRgb(40, 15, 0));
  EXPECT_EQ(darker.pixel(1, 0), qRgb(0, 39, 20));
  EXPECT_EQ(darker.pixel(2, 0), qRgb(1, 8, 31));
  QImage same = image;
  ASSERT_TRUE(Darken(same, 300));  // taken as 255
  EXPECT_EQ(same, image);
  QImage black = image;
  ASSERT_TRUE(Darken(black, 0));
  EXPECT_EQ(black.pixel(2, 0), qRgb(0, 0, 0));
}

}  // namespace
}  // namespace zephra::viewer
