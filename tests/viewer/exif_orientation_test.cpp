#include "viewer/exif_orientation.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "test_files.h"

namespace zephra::viewer {
namespace {

using testing::ExifSegment;

int OrientationOf(const QByteArray& segment) {
  return ExifOrientation(reinterpret_cast<const std::uint8_t*>(segment.constData()),
                         std::size_t(segment.size()));
}

TEST(ExifOrientationTest, ReadsEveryValueInBothByteOrders) {
  for (int value = 1; value <= 8; ++value) {
    EXPECT_EQ(OrientationOf(ExifSegment(value, false)), value);
    EXPECT_EQ(OrientationOf(ExifSegment(value, true)), value);
  }
}

TEST(ExifOrientationTest, ValuesOutsideOneToEightCountAsNone) {
  EXPECT_EQ(OrientationOf(ExifSegment(0, false)), 0);
  EXPECT_EQ(OrientationOf(ExifSegment(9, true)), 0);
  EXPECT_EQ(OrientationOf(ExifSegment(0x0106, false)), 0);
}

TEST(ExifOrientationTest, MalformedSegmentsGiveNone) {
  const QByteArray good = ExifSegment(6, false);
  QByteArray notExif = good;
  notExif[0] = 'X';  // an XMP or other APP1 segment
  QByteArray badOrder = good;
  badOrder[6] = 'I', badOrder[7] = 'M';
  QByteArray badMagic = good;
  badMagic[8] = 43;
  QByteArray farIfd = good;
  farIfd[10] = char(0xF0), farIfd[13] = char(0x7F);  // IFD0 offset far past the end
  QByteArray manyEntries = good;
  manyEntries[14] = char(0xFF), manyEntries[15] = char(0xFF);  // 65535 entries of 2
  QByteArray wrongType = good;
  wrongType[14 + 2 + 12 + 2] = 4;  // Orientation stored as LONG
  for (const QByteArray& segment : {notExif, badOrder, badMagic, farIfd, wrongType}) {
    EXPECT_EQ(OrientationOf(segment), 0);
  }
  // The Orientation entry still lies within the segment before the count runs past it.
  EXPECT_EQ(OrientationOf(manyEntries), 6);
  manyEntries.remove(14 + 2 + 12, 12);  // now the missing entries lie beyond the end
  EXPECT_EQ(OrientationOf(manyEntries), 0);
  EXPECT_EQ(ExifOrientation(nullptr, 0), 0);
}

TEST(ExifOrientationTest, EveryTruncationIsReadWithinBounds) {
  // Each prefix gets its own exact-size allocation, so the address sanitiser sees any read past
  // its end.
  const QByteArray good = ExifSegment(8, true);
  for (qsizetype size = 0; size < good.size(); ++size) {
    const std::unique_ptr<std::uint8_t[]> prefix(new std::uint8_t[size + 1]);
    std::memcpy(prefix.get(), good.constData(), size);
    const int orientation = ExifOrientation(prefix.get(), std::size_t(size));
    // Complete once the Orientation entry (ending at byte 40) is in.
    EXPECT_EQ(orientation, size >= 6 + 8 + 2 + 24 ? 8 : 0) << size;
  }
}

}  // namespace
}  // namespace zephra::viewer
