#include "viewer/picture_loader.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImageReader>
#include <QTemporaryDir>
#include <QtEndian>

#include "test_files.h"
#include "viewer/fallback_decoder.h"

namespace zephra::viewer {
namespace {

using testing::EncodeJpeg;
using testing::Near;
using testing::NoisePicture;
using testing::Quadrants;

constexpr QRgb Red = qRgb(255, 0, 0), Green = qRgb(0, 255, 0), Blue = qRgb(0, 0, 255),
               White = qRgb(255, 255, 255);

QByteArray QtBytes(const QImage& image, const char* format) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, format);
  return bytes;
}

QByteArray JpegWithOrientation(const QImage& image, int orientation) {
  testing::TJpegOptions options;
  options.Orientation = orientation;
  return EncodeJpeg(image, options);
}

class TPictureLoaderTest : public ::testing::Test {
 protected:
  QString Write(const QString& name, const QByteArray& bytes) {
    return testing::WriteFile(Dir, name, bytes);
  }
  // The colours at the centres of the target's quadrants: top left, top right, bottom left,
  // bottom right.
  std::array<QRgb, 4> Corners() const {
    const int w = Target.width(), h = Target.height();
    return {Target.pixel(w / 4, h / 4), Target.pixel(w * 3 / 4, h / 4),
            Target.pixel(w / 4, h * 3 / 4), Target.pixel(w * 3 / 4, h * 3 / 4)};
  }

  QTemporaryDir Dir;
  QImage Target;
  base::TStopFlag Stop;
};

struct TOrientationCase {
  int Orientation;
  int Scale;
};

class TOrientedJpegTest : public TPictureLoaderTest,
                          public ::testing::WithParamInterface<TOrientationCase> {};

TEST_P(TOrientedJpegTest, IsTurnedAndReportsItsTurnedFullSize) {
  const auto [orientation, scale] = GetParam();
  // Stored 64 x 32: red top left, green top right, blue bottom left, white bottom right.
  const QString path = Write("turned.jpg", JpegWithOrientation(Quadrants(64, 32), orientation));
  const TLoadResult result = LoadPicture(Target, path, 0, scale, Stop);
  ASSERT_TRUE(result.Success);
  EXPECT_EQ(result.FrameCount, 1);
  const bool quarter = orientation == 6 || orientation == 8;
  EXPECT_EQ(QSize(result.Width, result.Height), quarter ? QSize(32, 64) : QSize(64, 32));
  const int divisor = 1 << (scale - 1);
  EXPECT_EQ(Target.size(),
            quarter ? QSize(32 / divisor, 64 / divisor) : QSize(64 / divisor, 32 / divisor));
  const std::array<QRgb, 4> expected = orientation == 3   ? std::array{White, Blue, Green, Red}
                                       : orientation == 6 ? std::array{Blue, Red, White, Green}
                                       : orientation == 8 ? std::array{Green, White, Red, Blue}
                                                          : std::array{Red, Green, Blue, White};
  const std::array<QRgb, 4> corners = Corners();
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(Near(corners[i], expected[i])) << i;
}

INSTANTIATE_TEST_SUITE_P(OrientationsAndScales, TOrientedJpegTest,
                         ::testing::Values(TOrientationCase{1, 1}, TOrientationCase{3, 1},
                                           TOrientationCase{6, 1}, TOrientationCase{8, 1},
                                           TOrientationCase{3, 2}, TOrientationCase{6, 2},
                                           TOrientationCase{8, 2}),
                         [](const auto& info) {
                           return "orientation" + std::to_string(info.param.Orientation) +
                                  "_scale" + std::to_string(info.param.Scale);
                         });

TEST(ScaleForScreenTest, FollowsTheRatioTable) {
  struct TCase {
    int Width, Height;
    QSize Screen;
    int Scale;
  };
  const QSize fullHd(1920, 1080);
  const TCase cases[] = {
      {4000, 3000, {1366, 768}, 2}, {12000, 9000, fullHd, 4}, {1919, 1079, fullHd, 1},
      {3839, 100, fullHd, 1},       {3840, 100, fullHd, 2},   {7679, 100, fullHd, 2},
      {7680, 100, fullHd, 3},       {15359, 100, fullHd, 3},  {15360, 100, fullHd, 4},
      {100, 4320, fullHd, 3},       {6000, 4000, fullHd, 2},  {100, 100, {0, 0}, 4},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(ScaleForScreen(c.Width, c.Height, c.Screen), c.Scale) << c.Width << "x" << c.Height;
  }
}

TEST_F(TPictureLoaderTest, ForTheScreenAQuarterTurnedJpegIsReducedByItsTurnedSize) {
  // Stored 300 x 200 with orientation 6: 200 x 300 as shown.
  const QString path = Write("big.jpg", JpegWithOrientation(Quadrants(300, 200), 6));
  const std::optional<TJpegInfo> info = ReadJpegInfo(path);
  ASSERT_TRUE(info);
  EXPECT_EQ(info->Orientation, 6);
  EXPECT_EQ(QSize(info->Width, info->Height), QSize(200, 300));

  // Ratio max(200 / 100, 300 / 100) = 3: one half.
  TLoadResult result = LoadPictureForScreen(Target, path, QSize(100, 100), Stop);
  ASSERT_TRUE(result.Success);
  EXPECT_EQ(QSize(result.Width, result.Height), QSize(200, 300));
  EXPECT_EQ(Target.size(), QSize(100, 150));
  EXPECT_TRUE(Near(Corners()[0], Blue));

  result = LoadPictureForScreen(Target, path, QSize(1000, 1000), Stop);
  ASSERT_TRUE(result.Success);
  EXPECT_EQ(Target.size(), QSize(200, 300));
}

TEST_F(TPictureLoaderTest, ReadJpegInfoWithoutExifOrForOtherFiles) {
  const std::optional<TJpegInfo> plain =
      ReadJpegInfo(Write("plain.jpg", EncodeJpeg(Quadrants(30, 20))));
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->Orientation, 0);
  EXPECT_EQ(QSize(plain->Width, plain->Height), QSize(30, 20));
  EXPECT_FALSE(ReadJpegInfo(Write("png.jpg", QtBytes(Quadrants(30, 20), "PNG"))));
  EXPECT_FALSE(ReadJpegInfo(Dir.filePath("missing.jpg")));
}

TEST_F(TPictureLoaderTest, ReloadingIntoTheSameTargetReusesItsBuffer) {
  const QString jpeg = Write("a.jpg", EncodeJpeg(NoisePicture(400, 300)));
  const QString png = Write("a.png", QtBytes(NoisePicture(400, 300), "PNG"));
  for (const QString& path : {jpeg, png}) {
    ASSERT_TRUE(LoadPictureForScreen(Target, path, QSize(1920, 1080), Stop).Success);
    const uchar* buffer = Target.constBits();
    ASSERT_TRUE(LoadPictureForScreen(Target, path, QSize(1920, 1080), Stop).Success);
    EXPECT_EQ(Target.constBits(), buffer);
  }
}

TEST_F(TPictureLoaderTest, FormatsGoByContentWithQtReadersForTheRest) {
  const QImage noise = NoisePicture(13, 7);
  TLoadResult result = LoadPicture(Target, Write("a.bmp", QtBytes(noise, "BMP")), 0, 1, Stop);
  ASSERT_TRUE(result.Success);
  EXPECT_EQ(result.FrameCount, 1);
  EXPECT_EQ(QSize(result.Width, result.Height), QSize(13, 7));
  EXPECT_EQ(Target.format(), QImage::Format_BGR888);
  EXPECT_EQ(Target, noise);

  // A JPEG named .png goes through the JPEG decoder, orientation included.
  const QString jpegAsPng = Write("jpeg.png", JpegWithOrientation(Quadrants(64, 32), 8));
  result = LoadPictureForScreen(Target, jpegAsPng, QSize(1920, 1080), Stop);
  ASSERT_TRUE(result.Success);
  EXPECT_EQ(Target.size(), QSize(32, 64));
  // A PNG named .jpg is decoded in full.
  result = LoadPictureForScreen(Target, Write("png.jpg", QtBytes(noise, "PNG")), {1, 1}, Stop);
  ASSERT_TRUE(result.Success);
  EXPECT_EQ(Target, noise);
}

TEST_F(TPictureLoaderTest, AnimatedGifGivesItsFirstFrameOnWhiteAndItsFrameCount) {
  const std::vector<QRgb> palette{qRgb(0, 0, 0), qRgb(255, 0, 0)};
  testing::TTestFrame first{QRect(0, 0, 2, 1), {0, 1}};
  first.Transparent = 0;
  const testing::TTestFrame next{QRect(0, 0, 2, 1), {1, 1}};
  const QString path = Write("anim.gif", testing::EncodeGif({2, 1}, palette, {first, next, next}));
  const TLoadResult result = LoadPictureForScreen(Target, path, QSize(1920, 1080), Stop);
  ASSERT_TRUE(result.Success);
  EXPECT_EQ(result.FrameCount, 3);
  EXPECT_EQ(Target.pixel(0, 0), White);
  EXPECT_EQ(Target.pixel(1, 0), Red);
}

TEST_F(TPictureLoaderTest, FilesNoDecoderTakesFailAndEmptyTheTarget) {
  const QString paths[] = {
      Dir.filePath("missing.png"),
      Write("empty.jpg", {}),
      Write("text.bmp", "not a picture at all"),
      Write("noise.gif", QByteArray(500, '\x5A')),
      Write("cut.jpg", EncodeJpeg(NoisePicture(64, 64)).left(600)),
  };
  for (const QString& path : paths) {
    Target = QImage(4, 4, QImage::Format_BGR888);
    const TLoadResult result = LoadPictureForScreen(Target, path, QSize(1920, 1080), Stop);
    EXPECT_FALSE(result.Success) << path.toStdString();
    EXPECT_EQ(result.FrameCount, 0);
    EXPECT_TRUE(Target.isNull());
  }
}

TEST_F(TPictureLoaderTest, ASetStopFlagFailsEveryFormat) {
  Stop.Set(true);
  for (const QString& path : {Write("a.jpg", EncodeJpeg(Quadrants(8, 8))),
                              Write("a.png", QtBytes(Quadrants(8, 8), "PNG")),
                              Write("a.bmp", QtBytes(Quadrants(8, 8), "BMP"))}) {
    EXPECT_FALSE(LoadPicture(Target, path, 0, 1, Stop).Success);
    EXPECT_TRUE(Target.isNull());
  }
}

TEST_F(TPictureLoaderTest, QtReadersAreBoundByThePictureCapsNotByQtsOwnLimit) {
  // Qt's default limit (128 MB in Qt 6.4) refused a 6000 x 6000 GIF or TIFF; a 1 MB limit
  // stands in for it here with a 1000 x 1000 screen (4 MB in 32-bit pixels).
  const int qtLimit = QImageReader::allocationLimit();
  QImageReader::setAllocationLimit(1);
  const QString gif =
      Write("wide.gif", testing::EncodeGif({1000, 1000}, {0, White}, {{{0, 0, 1, 1}, {1}}}));
  const TFallbackDecode decoded = DecodeWithImageReader(Target, gif, Stop);
  QImageReader::setAllocationLimit(qtLimit);
  EXPECT_EQ(decoded.Status, TDecodeStatus::Ok);
  EXPECT_EQ(Target.size(), QSize(1000, 1000));

  // A BMP header claiming 16000 x 16000 pixels of 24 bits, and no pixels: 256 megapixels, but
  // more than 900 MB in the 32-bit pixels that Qt decodes into.
  QByteArray bmp(54, '\0');
  bmp[0] = 'B', bmp[1] = 'M';
  qToLittleEndian<quint32>(54, bmp.data() + 10);
  qToLittleEndian<quint32>(40, bmp.data() + 14);
  qToLittleEndian<qint32>(16000, bmp.data() + 18);
  qToLittleEndian<qint32>(16000, bmp.data() + 22);
  qToLittleEndian<quint16>(1, bmp.data() + 26);
  qToLittleEndian<quint16>(24, bmp.data() + 28);
  EXPECT_EQ(DecodeWithImageReader(Target, Write("huge.bmp", bmp), Stop).Status,
            TDecodeStatus::TooLarge);
  EXPECT_TRUE(Target.isNull());
}

}  // namespace
}  // namespace zephra::viewer
