#include "viewer/heif_decoder.h"

#include <gtest/gtest.h>
#include <libheif/heif.h>

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>
#include <array>
#include <cstring>

#include "test_files.h"
#include "viewer/picture_loader.h"

namespace zephra::viewer {
namespace {

using testing::Near;
using testing::Quadrants;

constexpr QRgb Red = qRgb(255, 0, 0), Green = qRgb(0, 255, 0), Blue = qRgb(0, 0, 255),
               White = qRgb(255, 255, 255);
using TCorners = std::array<QRgb, 4>;  // top left, top right, bottom left, bottom right
constexpr TCorners Upright{Red, Green, Blue, White};

// `image` as a heif-enc file of `ext` (".heic" or ".avif"); empty when that fails.
QByteArray HeifEnc(const QString& tool, const QTemporaryDir& dir, const QImage& image,
                   const QString& ext) {
  const QString png = dir.filePath("source.png"), out = dir.filePath("encoded" + ext);
  if (!image.save(png, "PNG")) return {};
  QProcess encoder;
  encoder.start(tool, {"-q", "90", png, "-o", out});
  if (!encoder.waitForFinished(30000) || encoder.exitCode() != 0) return {};
  QFile file(out);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

heif_image* HeifImage(const QImage& picture) {
  const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
  heif_image* image = nullptr;
  heif_image_create(rgb.width(), rgb.height(), heif_colorspace_RGB, heif_chroma_interleaved_RGB,
                    &image);
  heif_image_add_plane(image, heif_channel_interleaved, rgb.width(), rgb.height(), 8);
  int stride = 0;
  uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
  for (int y = 0; y < rgb.height(); ++y) {
    std::memcpy(plane + y * stride, rgb.constScanLine(y), size_t(rgb.width()) * 3);
  }
  return image;
}

// `picture` written by libheif's own AV1 encoder, which can store an orientation as irot/imir,
// with an EXIF Orientation entry when `exifOrientation` is set, and with `thumbnail` fitted
// into `thumbnailBox` as its thumbnail when that is set.
QByteArray LibheifEncode(const QImage& picture, int orientation, int exifOrientation = 0,
                         const QImage& thumbnail = {}, int thumbnailBox = 0) {
  heif_context* context = heif_context_alloc();
  heif_encoder* encoder = nullptr;
  heif_context_get_encoder_for_format(context, heif_compression_AV1, &encoder);
  heif_encoder_set_lossy_quality(encoder, 90);
  heif_encoding_options* options = heif_encoding_options_alloc();
  options->image_orientation = heif_orientation(orientation);
  heif_image* image = HeifImage(picture);
  heif_image_handle* handle = nullptr;
  heif_context_encode_image(context, image, encoder, options, &handle);
  if (exifOrientation != 0) {
    const QByteArray exif = testing::ExifSegment(exifOrientation, false);
    heif_context_add_exif_metadata(context, handle, exif.constData(), int(exif.size()));
  }
  if (thumbnailBox != 0) {
    heif_image* small = HeifImage(thumbnail);
    heif_context_encode_thumbnail(context, small, handle, encoder, options, thumbnailBox, nullptr);
    heif_image_release(small);
  }
  QByteArray bytes;
  heif_writer writer{1, [](heif_context*, const void* data, size_t size, void* out) {
                       static_cast<QByteArray*>(out)->append(static_cast<const char*>(data),
                                                             qsizetype(size));
                       return heif_error{heif_error_Ok, heif_suberror_Unspecified, ""};
                     }};
  heif_context_write(context, &writer, &bytes);
  heif_image_release(image);
  heif_image_handle_release(handle);
  heif_encoding_options_free(options);
  heif_encoder_release(encoder);
  heif_context_free(context);
  return bytes;
}

class THeifDecoderTest : public ::testing::Test {
 protected:
  QString Write(const QString& name, const QByteArray& bytes) {
    return testing::WriteFile(Dir, name, bytes);
  }
  void ExpectCorners(const TCorners& expected, const char* what) const {
    const int w = Target.width(), h = Target.height();
    const TCorners corners{Target.pixel(w / 4, h / 4), Target.pixel(w * 3 / 4, h / 4),
                           Target.pixel(w / 4, h * 3 / 4), Target.pixel(w * 3 / 4, h * 3 / 4)};
    for (int i = 0; i < 4; ++i) {
      EXPECT_TRUE(Near(corners[i], expected[i]))
          << what << " corner " << i << " " << std::hex << corners[i];
    }
  }

  QTemporaryDir Dir;
  QImage Target;
  base::TStopFlag Stop;
};

TEST_F(THeifDecoderTest, HeifEncFilesDecodeUprightByContentInFullAndReducedForTheScreen) {
  const QString tool = QStandardPaths::findExecutable("heif-enc");
  if (tool.isEmpty()) GTEST_SKIP() << "heif-enc is not installed";
  QImage transparent = Quadrants(70, 38).convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < 19; ++y) {
    for (int x = 0; x < 35; ++x) transparent.setPixel(x, y, qRgba(255, 0, 0, 0));
  }
  struct TCase {
    const char* Name;
    QImage Picture;
    const char* Ext;
    TCorners Expected;
  };
  const TCase cases[] = {
      {"heic", Quadrants(70, 38), ".heic", Upright},
      {"avif", Quadrants(70, 38), ".avif", Upright},
      {"10-bit heic", Quadrants(70, 38).convertToFormat(QImage::Format_RGBX64), ".heic", Upright},
      {"transparent heic", transparent, ".heic", {White, Green, Blue, White}},
  };
  for (const TCase& c : cases) {
    const QByteArray bytes = HeifEnc(tool, Dir, c.Picture, QString::fromLatin1(c.Ext));
    ASSERT_FALSE(bytes.isEmpty()) << c.Name;
    const QString path = Write("named-as.jpg", bytes);
    TLoadResult result = LoadPicture(Target, path, 0, 1, Stop);
    ASSERT_TRUE(result.Success) << c.Name;
    EXPECT_EQ(result.FrameCount, 1);
    EXPECT_EQ(Target.format(), QImage::Format_BGR888);
    EXPECT_EQ(Target.size(), QSize(70, 38)) << c.Name;
    ExpectCorners(c.Expected, c.Name);
    // Ratio 4 to this screen: a quarter of each side, rounded up; the full size reported.
    const uchar* buffer = Target.constBits();
    result = LoadPictureForScreen(Target, path, QSize(17, 9), Stop);
    ASSERT_TRUE(result.Success) << c.Name;
    EXPECT_EQ(QSize(result.Width, result.Height), QSize(70, 38)) << c.Name;
    EXPECT_EQ(Target.size(), QSize(18, 10)) << c.Name;
    ExpectCorners(c.Expected, c.Name);
    // Back to full size in a target of that size: its buffer is kept.
    Target = QImage(70, 38, QImage::Format_BGR888);
    buffer = Target.constBits();
    ASSERT_TRUE(LoadPicture(Target, path, 0, 1, Stop).Success);
    EXPECT_EQ(Target.constBits(), buffer) << c.Name;
  }
}

TEST_F(THeifDecoderTest, FileTransformsTurnOnceAndOnlyLargeEnoughThumbnailsStandIn) {
  // Stored 70 x 38 with irot for a clockwise quarter turn, and EXIF saying the same again.
  const QString turned = Write("turned.heic", LibheifEncode(Quadrants(70, 38), 6, 6));
  TLoadResult result = LoadPicture(Target, turned, 0, 1, Stop);
  ASSERT_TRUE(result.Success);
  EXPECT_EQ(Target.size(), QSize(38, 70));
  ExpectCorners({Blue, Red, White, Green}, "turned");
  result = LoadPictureForScreen(Target, turned, QSize(19, 35), Stop);
  ASSERT_TRUE(result.Success);
  EXPECT_EQ(QSize(result.Width, result.Height), QSize(38, 70));
  EXPECT_EQ(Target.size(), QSize(19, 35));
  ExpectCorners({Blue, Red, White, Green}, "turned, reduced");

  // A green thumbnail of 32 x 16 covers a reduction to 16 x 8 and comes out at its own size;
  // one of 8 x 4 is too small, and the picture itself is reduced.
  QImage greenFill(64, 32, QImage::Format_RGB888);
  greenFill.fill(Qt::green);
  const QString large = Write("large.heic", LibheifEncode(Quadrants(64, 32), 1, 0, greenFill, 32));
  result = LoadPictureForScreen(Target, large, QSize(16, 8), Stop);
  ASSERT_TRUE(result.Success);
  EXPECT_EQ(QSize(result.Width, result.Height), QSize(64, 32));
  EXPECT_EQ(Target.size(), QSize(32, 16));
  ExpectCorners({Green, Green, Green, Green}, "large thumbnail");
  const QString small = Write("small.heic", LibheifEncode(Quadrants(64, 32), 1, 0, greenFill, 8));
  ASSERT_TRUE(LoadPictureForScreen(Target, small, QSize(16, 8), Stop).Success);
  EXPECT_EQ(Target.size(), QSize(16, 8));
  ExpectCorners(Upright, "small thumbnail");
}

TEST_F(THeifDecoderTest, BrokenOrStoppedDecodesFailWithAnEmptyTarget) {
  const QByteArray heic = LibheifEncode(Quadrants(64, 32), 1);
  ASSERT_TRUE(IsHeifHeader(heic));
  // An MP4 video's file type box names no HEIF brand; a HEIF one may name it as compatible.
  EXPECT_FALSE(
      IsHeifHeader(QByteArray("\0\0\0\x18"
                              "ftypisom\0\0\0\0isommp42",
                              24)));
  EXPECT_TRUE(
      IsHeifHeader(QByteArray("\0\0\0\x18"
                              "ftypmiaf\0\0\0\0miafmif1",
                              24)));

  const qsizetype ftypSize = qFromBigEndian<quint32>(heic.constData());
  const QByteArray garbage = heic.left(ftypSize) + QByteArray(400, '\x5A');
  for (const QByteArray& bytes :
       {heic.left(heic.size() - 40), heic.left(heic.size() / 2), garbage}) {
    Target = QImage(4, 4, QImage::Format_BGR888);
    EXPECT_FALSE(LoadPicture(Target, Write("broken.heic", bytes), 0, 1, Stop).Success)
        << bytes.size();
    EXPECT_TRUE(Target.isNull()) << bytes.size();
  }

  // A stop set before the load, and one that comes once the file has been read.
  const QString path = Write("stopped.heic", heic);
  Stop.Set(true);
  Target = QImage(4, 4, QImage::Format_BGR888);
  EXPECT_FALSE(LoadPictureForScreen(Target, path, QSize(16, 8), Stop).Success);
  EXPECT_TRUE(Target.isNull());
  base::TStopFlag later;
  testing::TTrippingBuffer buffer(heic, 1, later);
  Target = QImage(4, 4, QImage::Format_BGR888);
  EXPECT_EQ(DecodeHeif(Target, buffer, nullptr, later).Status, TDecodeStatus::Aborted);
  EXPECT_TRUE(Target.isNull());
}

}  // namespace
}  // namespace zephra::viewer
