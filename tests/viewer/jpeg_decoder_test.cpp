#include "viewer/jpeg_decoder.h"

#include <gtest/gtest.h>

#include <QBuffer>

#include "test_files.h"

namespace zephra::viewer {
namespace {

using testing::EncodeJpeg;
using testing::Near;
using testing::NoisePicture;
using testing::Quadrants;

constexpr QRgb Red = qRgb(255, 0, 0);
constexpr QRgb Green = qRgb(0, 255, 0);
constexpr QRgb Blue = qRgb(0, 0, 255);

// `jpeg` with the size in its frame header replaced.
QByteArray WithStoredSize(QByteArray jpeg, int width, int height) {
  for (qsizetype i = 2; i + 9 < jpeg.size(); ++i) {
    const uchar marker = uchar(jpeg[i + 1]);
    if (uchar(jpeg[i]) != 0xFF || (marker != 0xC0 && marker != 0xC2)) continue;
    jpeg[i + 5] = char(height >> 8), jpeg[i + 6] = char(height);
    jpeg[i + 7] = char(width >> 8), jpeg[i + 8] = char(width);
    break;
  }
  return jpeg;
}

class TJpegDecoderTest : public ::testing::Test {
 protected:
  TJpegDecode Decode(const QByteArray& jpeg, int scale, bool orientation = false) {
    QBuffer buffer;
    buffer.setData(jpeg);
    buffer.open(QIODevice::ReadOnly);
    return DecodeJpeg(Target, buffer, scale, orientation, Stop);
  }

  QImage Target;
  base::TStopFlag Stop;
};

TEST_F(TJpegDecoderTest, DecodesEachDctScaleStraightToBgr) {
  const QByteArray jpeg = EncodeJpeg(Quadrants(64, 48));
  const QSize sizes[] = {{64, 48}, {32, 24}, {16, 12}, {8, 6}};
  for (int scale = FullScale; scale <= EighthScale; ++scale) {
    const TJpegDecode result = Decode(jpeg, scale);
    ASSERT_EQ(result.Status, TDecodeStatus::Ok);
    EXPECT_EQ(result.Header.Width, 64);
    EXPECT_EQ(result.Header.Height, 48);
    const QSize size = sizes[scale - 1];
    ASSERT_EQ(Target.size(), size);
    ASSERT_EQ(Target.format(), QImage::Format_BGR888);
    const uchar* topLeft = Target.constScanLine(1) + 3;
    EXPECT_LT(topLeft[0], 40);   // blue byte first
    EXPECT_GT(topLeft[2], 215);  // red byte last
    EXPECT_TRUE(Near(Target.pixel(size.width() - 2, 1), Green));
    EXPECT_TRUE(Near(Target.pixel(1, size.height() - 2), Blue));
  }
}

TEST_F(TJpegDecoderTest, GreyPicturesDecodeToBgr) {
  testing::TJpegOptions grey;
  grey.Grey = true;
  ASSERT_EQ(Decode(EncodeJpeg(Quadrants(32, 32), grey), FullScale).Status, TDecodeStatus::Ok);
  ASSERT_EQ(Target.format(), QImage::Format_BGR888);
  const QRgb pixel = Target.pixel(24, 24);
  EXPECT_GT(qRed(pixel), 215);
  EXPECT_EQ(qRed(pixel), qBlue(pixel));
}

TEST_F(TJpegDecoderTest, ReusesAnUnsharedTargetOfTheDecodedSize) {
  const QByteArray jpeg = EncodeJpeg(Quadrants(64, 48));
  Target = QImage(32, 24, QImage::Format_BGR888);
  const uchar* buffer = Target.constBits();
  ASSERT_EQ(Decode(jpeg, 2).Status, TDecodeStatus::Ok);
  EXPECT_EQ(Target.constBits(), buffer);

  // A target shared with another image gets its own buffer; the other image is left alone.
  Target.fill(Qt::black);
  const QImage shared = Target;
  ASSERT_EQ(Decode(jpeg, 2).Status, TDecodeStatus::Ok);
  EXPECT_NE(Target.constBits(), shared.constBits());
  EXPECT_EQ(shared.pixel(1, 1), qRgb(0, 0, 0));
  EXPECT_TRUE(Near(Target.pixel(1, 1), Red));
}

TEST_F(TJpegDecoderTest, ReadsTheHeaderWithoutTheRest) {
  testing::TJpegOptions options;
  options.Progressive = true;
  options.Orientation = 6;
  options.BigEndianExif = true;
  const QByteArray jpeg = EncodeJpeg(NoisePicture(640, 480), options);
  QBuffer buffer;
  buffer.setData(jpeg);
  buffer.open(QIODevice::ReadOnly);
  const std::optional<TJpegHeader> header = ReadJpegHeader(buffer);
  ASSERT_TRUE(header);
  EXPECT_EQ(header->Width, 640);
  EXPECT_EQ(header->Height, 480);
  EXPECT_EQ(header->Orientation, 6);
  EXPECT_LT(buffer.pos(), jpeg.size() / 2);

  QBuffer empty;
  empty.open(QIODevice::ReadOnly);
  EXPECT_FALSE(ReadJpegHeader(empty));
}

TEST_F(TJpegDecoderTest, StopsAtOnceWhenTheFlagIsSetWhileDecoding) {
  for (const bool progressive : {false, true}) {
    testing::TJpegOptions options;
    options.Progressive = progressive;
    const QByteArray jpeg = EncodeJpeg(NoisePicture(1024, 1024), options);
    Stop.Set(false);
    testing::TTrippingBuffer buffer(jpeg, jpeg.size() / 4, Stop);
    EXPECT_EQ(DecodeJpeg(Target, buffer, FullScale, false, Stop).Status, TDecodeStatus::Aborted);
    EXPECT_TRUE(Target.isNull());
    EXPECT_LT(buffer.pos(), jpeg.size() / 2) << "progressive " << progressive;
  }
}

TEST_F(TJpegDecoderTest, DataThatEndsEarlyOrIsCorruptFailsInsteadOfShowingGrey) {
  for (const bool progressive : {false, true}) {
    testing::TJpegOptions options;
    options.Progressive = progressive;
    const QByteArray jpeg = EncodeJpeg(NoisePicture(128, 128), options);
    QByteArray endMarkerInside = jpeg;
    endMarkerInside[jpeg.size() * 3 / 4] = char(0xFF);
    endMarkerInside[jpeg.size() * 3 / 4 + 1] = char(0xD9);
    const QByteArray cases[] = {jpeg.left(jpeg.size() / 2), jpeg.left(jpeg.size() - 40),
                                jpeg.left(20), endMarkerInside,
                                QByteArray("\xFF\xD8\xFF\xE0garbage", 11)};
    for (const QByteArray& bytes : cases) {
      Target = QImage(4, 4, QImage::Format_BGR888);
      EXPECT_EQ(Decode(bytes, FullScale).Status, TDecodeStatus::Failed) << bytes.size();
      EXPECT_TRUE(Target.isNull());
    }
  }
}

// `jpeg` with its first scan (marker, header and entropy-coded data) repeated `copies` more times.
QByteArray WithFirstScanRepeated(const QByteArray& jpeg, int copies) {
  const qsizetype start = jpeg.indexOf("\xFF\xDA");
  qsizetype end = start + 2;
  // The scan's data runs to the next marker that is neither a stuffed byte nor a restart.
  while (end + 1 < jpeg.size() && !(uchar(jpeg[end]) == 0xFF && uchar(jpeg[end + 1]) != 0 &&
                                    (uchar(jpeg[end + 1]) < 0xD0 || uchar(jpeg[end + 1]) > 0xD7))) {
    ++end;
  }
  const QByteArray scan = jpeg.mid(start, end - start);
  return jpeg.left(end) + scan.repeated(copies) + jpeg.mid(end);
}

TEST_F(TJpegDecoderTest, EndlessProgressiveScansFailTheDecode) {
  testing::TJpegOptions options;
  options.Progressive = true;
  const QByteArray jpeg = EncodeJpeg(Quadrants(16, 16), options);
  // Repeated scans are a bogus progression, which libjpeg only warns about.
  EXPECT_EQ(Decode(WithFirstScanRepeated(jpeg, 20), FullScale).Status, TDecodeStatus::Ok);
  EXPECT_EQ(Decode(WithFirstScanRepeated(jpeg, MaxJpegScans), FullScale).Status,
            TDecodeStatus::Failed);
  EXPECT_TRUE(Target.isNull());
}

TEST_F(TJpegDecoderTest, AMissingEndMarkerAloneStillDecodes) {
  QByteArray jpeg = EncodeJpeg(Quadrants(32, 32));
  jpeg.chop(2);
  EXPECT_EQ(Decode(jpeg, FullScale).Status, TDecodeStatus::Ok);
}

TEST_F(TJpegDecoderTest, RefusesHugePicturesBeforeAllocating) {
  // A 60000 x 60000 header on a few hundred bytes: 3.6 gigapixels at full size.
  const QByteArray huge = WithStoredSize(EncodeJpeg(Quadrants(16, 16)), 60000, 60000);
  EXPECT_EQ(Decode(huge, FullScale).Status, TDecodeStatus::TooLarge);
  EXPECT_TRUE(Target.isNull());
  // Progressive: one eighth is only 14 megapixels, but libjpeg would keep every coefficient of
  // the 900-megapixel picture in memory.
  testing::TJpegOptions options;
  options.Progressive = true;
  const QByteArray progressive =
      WithStoredSize(EncodeJpeg(Quadrants(16, 16), options), 30000, 30000);
  EXPECT_EQ(Decode(progressive, EighthScale).Status, TDecodeStatus::TooLarge);
}

}  // namespace
}  // namespace zephra::viewer
