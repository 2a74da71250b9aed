#include "viewer/png_decoder.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <QBuffer>
#include <QtEndian>
#include <vector>

#include "test_files.h"

namespace zephra::viewer {
namespace {

using testing::NoisePicture;

// `rgba` (Format_RGBA8888) written by libpng as `colourType` (RGB, RGBA or grey with alpha, the
// grey taken from the red channel) at `bitDepth` 8 or 16.
QByteArray EncodePng(const QImage& rgba, int colourType, int bitDepth, bool interlaced) {
  QByteArray out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(
      png, &out,
      [](png_structp p, png_bytep data, size_t size) {
        static_cast<QByteArray*>(png_get_io_ptr(p))->append(reinterpret_cast<char*>(data), size);
      },
      nullptr);
  png_set_IHDR(png, info, rgba.width(), rgba.height(), bitDepth, colourType,
               interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  const int channels = png_get_channels(png, info);
  const int sampleBytes = bitDepth / 8;
  std::vector<std::vector<png_byte>> rows(rgba.height());
  std::vector<png_bytep> pointers;
  for (int y = 0; y < rgba.height(); ++y) {
    const uchar* in = rgba.constScanLine(y);
    for (int x = 0; x < rgba.width(); ++x) {
      const uchar* pixel = in + x * 4;
      const uchar samples[] = {pixel[0], channels == 2 ? pixel[3] : pixel[1], pixel[2], pixel[3]};
      for (int c = 0; c < channels; ++c) {
        for (int b = 0; b < sampleBytes; ++b) rows[y].push_back(samples[c]);
      }
    }
    pointers.push_back(rows[y].data());
  }
  png_write_image(png, pointers.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

QByteArray QtPng(const QImage& image) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes;
}

class TPngDecoderTest : public ::testing::Test {
 protected:
  TDecodeStatus Decode(const QByteArray& png) {
    QBuffer buffer;
    buffer.setData(png);
    buffer.open(QIODevice::ReadOnly);
    return DecodePng(Target, buffer, Stop);
  }

  QImage Target;
  base::TStopFlag Stop;
};

TEST_F(TPngDecoderTest, DecodesPlainAndInterlacedPicturesExactlyIntoTheirTarget) {
  const QImage noise = NoisePicture(37, 23);  // an odd width leaves padding at each row end
  const QByteArray interlaced =
      EncodePng(noise.convertToFormat(QImage::Format_RGBA8888), PNG_COLOR_TYPE_RGB, 8, true);
  for (const QByteArray& png : {QtPng(noise), interlaced}) {
    Target = QImage(37, 23, QImage::Format_BGR888);
    Target.fill(Qt::black);
    const uchar* buffer = Target.constBits();
    ASSERT_EQ(Decode(png), TDecodeStatus::Ok);
    EXPECT_EQ(Target.constBits(), buffer);
    EXPECT_EQ(Target, noise);
  }
}

TEST_F(TPngDecoderTest, TransparencyIsCompositedOverWhite) {
  // Transparent red, opaque blue, half-covering black.
  QImage rgba(3, 1, QImage::Format_RGBA8888);
  rgba.setPixelColor(0, 0, QColor(255, 0, 0, 0));
  rgba.setPixelColor(1, 0, QColor(0, 0, 255, 255));
  rgba.setPixelColor(2, 0, QColor(0, 0, 0, 128));
  QImage palette(3, 1, QImage::Format_Indexed8);
  palette.setColorTable({qRgba(255, 0, 0, 0), qRgba(0, 0, 255, 255), qRgba(0, 0, 0, 128)});
  for (int x = 0; x < 3; ++x) palette.setPixel(x, 0, uint(x));
  struct TCase {
    const char* Name;
    QByteArray Png;
    QRgb Opaque;  // what the opaque pixel becomes
  };
  const TCase cases[] = {
      {"rgba8", EncodePng(rgba, PNG_COLOR_TYPE_RGB_ALPHA, 8, false), qRgb(0, 0, 255)},
      {"rgba16", EncodePng(rgba, PNG_COLOR_TYPE_RGB_ALPHA, 16, false), qRgb(0, 0, 255)},
      {"grey+alpha", EncodePng(rgba, PNG_COLOR_TYPE_GRAY_ALPHA, 8, false), qRgb(0, 0, 0)},
      {"palette+tRNS", QtPng(palette), qRgb(0, 0, 255)},
      {"interlaced", EncodePng(rgba, PNG_COLOR_TYPE_RGB_ALPHA, 8, true), qRgb(0, 0, 255)},
  };
  for (const TCase& c : cases) {
    ASSERT_EQ(Decode(c.Png), TDecodeStatus::Ok) << c.Name;
    ASSERT_EQ(Target.format(), QImage::Format_BGR888);
    EXPECT_EQ(Target.pixel(0, 0), qRgb(255, 255, 255)) << c.Name;
    EXPECT_EQ(Target.pixel(1, 0), c.Opaque) << c.Name;
    EXPECT_TRUE(testing::Near(Target.pixel(2, 0), qRgb(127, 127, 127), 2)) << c.Name;
  }
}

TEST_F(TPngDecoderTest, StopsBetweenRowsWhenTheFlagIsSet) {
  const QByteArray png = QtPng(NoisePicture(300, 300));
  testing::TTrippingBuffer buffer(png, png.size() / 4, Stop);
  EXPECT_EQ(DecodePng(Target, buffer, Stop), TDecodeStatus::Aborted);
  EXPECT_TRUE(Target.isNull());
  EXPECT_LT(buffer.pos(), png.size() / 2);
}

TEST_F(TPngDecoderTest, TruncatedOrForeignDataFails) {
  const QByteArray png = QtPng(NoisePicture(64, 64));
  for (const QByteArray& bytes : {png.left(png.size() / 2), png.left(30), QByteArray("GIF89a")}) {
    Target = QImage(4, 4, QImage::Format_BGR888);
    EXPECT_EQ(Decode(bytes), TDecodeStatus::Failed) << bytes.size();
    EXPECT_TRUE(Target.isNull());
  }
}

TEST_F(TPngDecoderTest, RefusesAHugeHeaderBeforeAllocating) {
  // A valid header chunk claiming 100000 x 100000 pixels, and the data of 4 x 4.
  QByteArray png = QtPng(NoisePicture(4, 4));
  qToBigEndian<quint32>(100000, png.data() + 16);
  qToBigEndian<quint32>(100000, png.data() + 20);
  const quint32 crc = quint32(crc32(0, reinterpret_cast<const Bytef*>(png.constData() + 12), 17));
  qToBigEndian<quint32>(crc, png.data() + 29);
  EXPECT_EQ(Decode(png), TDecodeStatus::TooLarge);
  EXPECT_TRUE(Target.isNull());
}

}  // namespace
}  // namespace zephra::viewer
