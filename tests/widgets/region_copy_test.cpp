#include "widgets/region_copy.h"

#include <gtest/gtest.h>

#include "test_pictures.h"

namespace zephra::widgets {
namespace {

using testing::NoisePicture;

// Checks every pixel: from the source inside `region`, unchanged outside.
void ExpectCopiedExactly(const QImage& dest, const QImage& source, const QImage& old,
                         const QRegion& region) {
  for (int y = 0; y < dest.height(); ++y) {
    for (int x = 0; x < dest.width(); ++x) {
      const QImage& expected = region.contains(QPoint(x, y)) ? source : old;
      ASSERT_EQ(dest.pixel(x, y), expected.pixel(x, y)) << x << "," << y;
    }
  }
}

TEST(RegionCopy, CopiesOnlyTheRegionInsideTheBitmap) {
  // Width 5: rows of 15 bytes padded to 16.
  const QImage source = NoisePicture(5, 4, 1);
  const QImage old = NoisePicture(5, 4, 2);
  QImage dest = old.copy();
  const QRegion region = QRegion(QRect(3, 1, 10, 2)) + QRegion(QRect(-4, -4, 5, 5));
  CopyThroughRegion(dest, source, region);
  ExpectCopiedExactly(dest, source, old, region);
}

TEST(RegionCopy, ManyNarrowPiecesAreCopiedThroughAMask) {
  // Bands of many thin columns take the masked path; odd widths from 1 to 4 pixels.
  const QImage source = NoisePicture(301, 23, 1);
  const QImage old = NoisePicture(301, 23, 2);
  QRegion region;
  for (int x = 0, w = 1; x < 320; x += w + 3, w = w % 4 + 1) region += QRect(x, 2, w, 17);
  region += QRect(290, 0, 30, 1);
  QImage dest = old.copy();
  CopyThroughRegion(dest, source, region);
  ExpectCopiedExactly(dest, source, old, region);
}

TEST(RegionCopy, MaskedBytesTakeTheSourceWhereTheMaskIsSet) {
  std::uint8_t dest[] = {1, 2, 3, 4, 5};
  const std::uint8_t source[] = {9, 9, 9, 9, 9};
  const std::uint8_t mask[] = {0xFF, 0, 0xFF, 0, 0};
  CopyMaskedBytes(dest, source, mask, 5);
  EXPECT_EQ((std::vector<int>(dest, dest + 5)), (std::vector<int>{9, 2, 9, 4, 5}));
}

}  // namespace
}  // namespace zephra::widgets
