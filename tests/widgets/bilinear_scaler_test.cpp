#include "widgets/bilinear_scaler.h"

#include <gtest/gtest.h>

#include "test_pictures.h"

namespace zephra::widgets {
namespace {

TEST(BilinearScaler, StepsAreFifteenBitFixedPoint) {
  EXPECT_EQ(BilinearStep(100, 50), 64880);  // 99 x 32768 div 50
  EXPECT_EQ(BilinearStep(3, 7), 9362);
  EXPECT_EQ(BilinearStep(70000, 3), 764575744);  // no 32-bit overflow
}

// A picture whose blue channel is 2x + y and whose green is 255 - x.
QImage Ramp(int width, int height) {
  QImage image(width, height, QImage::Format_BGR888);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uchar* p = image.scanLine(y) + 3 * x;
      p[0] = static_cast<uchar>(2 * x + y);
      p[1] = static_cast<uchar>(255 - x);
      p[2] = 9;
    }
  }
  return image;
}

TEST(BilinearScaler, InteriorPixelsWeighTheFourNeighbours) {
  const QImage source = Ramp(100, 100);
  const QImage dest = BilinearScale(source, 50, 50);
  // Row 3: fy = 194640, y0 = 5, v = 30800; column 7: fx = 454160, x0 = 13, u = 28176.
  const int v = 30800, u = 28176;
  const int wTR = (u * (32768 - v)) >> 15, wTL = 32768 - v - wTR;
  const int wBR = (v * u) >> 15, wBL = v - wBR;
  const int blue =
      ((2 * 13 + 5) * wTL + (2 * 14 + 5) * wTR + (2 * 13 + 6) * wBL + (2 * 14 + 6) * wBR) >> 15;
  EXPECT_EQ(qBlue(dest.pixel(7, 3)), blue);
  EXPECT_EQ(qRed(dest.pixel(7, 3)), 9);
}

TEST(BilinearScaler, LastColumnAndRowLeanOnThePreviousPixel) {
  const QImage source = Ramp(100, 100);
  const QImage dest = BilinearScale(source, 50, 50);
  // Column 49: fx = 3179120, x0 = 97, u = 624, second column 96; row 0 has v = 0.
  EXPECT_EQ(qGreen(dest.pixel(49, 0)), ((255 - 97) * (32768 - 624) + (255 - 96) * 624) >> 15);
  EXPECT_EQ(qBlue(dest.pixel(0, 49)), (97 * (32768 - 624) + 96 * 624) >> 15);
}

// The scaler's arithmetic written out plainly, pixel by pixel.
QImage ReferenceBilinear(const QImage& source, int width, int height) {
  QImage dest(width, height, source.format());
  const long long dx = (static_cast<long long>(source.width() - 1) << 15) / width;
  const long long dy = (static_cast<long long>(source.height() - 1) << 15) / height;
  for (int i = 0; i < height; ++i) {
    const int y0 = static_cast<int>((i * dy) >> 15), v = static_cast<int>((i * dy) & 32767);
    const int y1 = i == height - 1 ? y0 - 1 : y0 + 1;
    for (int j = 0; j < width; ++j) {
      const int x0 = static_cast<int>((j * dx) >> 15), u = static_cast<int>((j * dx) & 32767);
      const int x1 = j == width - 1 ? x0 - 1 : x0 + 1;
      const int wTR = (u * (32768 - v)) >> 15, wTL = 32768 - v - wTR;
      const int wBR = (v * u) >> 15, wBL = v - wBR;
      for (int c = 0; c < 3; ++c) {
        const int tl = source.constScanLine(y0)[3 * x0 + c];
        const int tr = source.constScanLine(y0)[3 * x1 + c];
        const int bl = source.constScanLine(y1)[3 * x0 + c];
        const int br = source.constScanLine(y1)[3 * x1 + c];
        dest.scanLine(i)[3 * j + c] =
            static_cast<uchar>((tl * wTL + tr * wTR + bl * wBL + br * wBR) >> 15);
      }
    }
  }
  return dest;
}

TEST(BilinearScaler, MatchesThePlainArithmeticEverywhere) {
  const QImage source = testing::NoisePicture(37, 29, 5);
  const QSize sizes[] = {{100, 80}, {11, 7}, {37, 90}, {64, 29}, {3, 3}};
  for (QSize size : sizes) {
    EXPECT_TRUE(testing::SamePixels(BilinearScale(source, size.width(), size.height()),
                                    ReferenceBilinear(source, size.width(), size.height())))
        << size.width() << "x" << size.height();
  }
}

TEST(BilinearScaler, FlatPicturesStayFlatAndFormatIsKept) {
  const QImage flat = testing::FlatPicture(9, 4, 200, 10, 77);
  const QImage up = BilinearScale(flat, 31, 17);
  EXPECT_TRUE(testing::SamePixels(up, testing::FlatPicture(31, 17, 200, 10, 77)));
  const QImage rgb = flat.convertToFormat(QImage::Format_RGB888);
  EXPECT_EQ(BilinearScale(rgb, 5, 5).format(), QImage::Format_RGB888);
}

TEST(BilinearScaler, HugeEnlargementStaysInsideTheSource) {
  // The step rounds to 0: every sample is column 0 and the last column's partner would be -1.
  const QImage source = Ramp(3, 3);
  const QImage dest = BilinearScale(source, 70000, 3);
  EXPECT_EQ(qGreen(dest.pixel(69999, 0)), 255);
}

}  // namespace
}  // namespace zephra::widgets
