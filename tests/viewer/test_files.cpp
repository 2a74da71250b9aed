#include "test_files.h"

#include <gif_lib.h>
#include <jpeglib.h>

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <cstdio>
#include <cstdlib>

namespace zephra::viewer::testing {
namespace {

void Append16(QByteArray& out, int value, bool bigEndian) {
  const char high = char(value >> 8), low = char(value & 0xFF);
  out.append(bigEndian ? high : low).append(bigEndian ? low : high);
}

void Append32(QByteArray& out, quint32 value, bool bigEndian) {
  Append16(out, bigEndian ? int(value >> 16) : int(value & 0xFFFF), bigEndian);
  Append16(out, bigEndian ? int(value & 0xFFFF) : int(value >> 16), bigEndian);
}

void AppendEntry(QByteArray& out, int tag, int type, quint32 count, quint32 value, bool big) {
  Append16(out, tag, big);
  Append16(out, type, big);
  Append32(out, count, big);
  // A SHORT value sits in the first two bytes of the field.
  if (type == 3) {
    Append16(out, int(value), big);
    Append16(out, 0, big);
  } else {
    Append32(out, value, big);
  }
}

int WriteToBytes(GifFileType* gif, const GifByteType* data, int size) {
  static_cast<QByteArray*>(gif->UserData)->append(reinterpret_cast<const char*>(data), size);
  return size;
}

}  // namespace

QByteArray ExifSegment(int orientation, bool bigEndian) {
  QByteArray out("Exif\0\0", 6);
  out.append(bigEndian ? "MM" : "II");
  Append16(out, 42, bigEndian);
  Append32(out, 8, bigEndian);                   // IFD0 right after the header
  Append16(out, 2, bigEndian);                   // two entries
  AppendEntry(out, 0x010F, 2, 4, 0, bigEndian);  // Make, ASCII: not what is looked for
  AppendEntry(out, 0x0112, 3, 1, quint32(orientation), bigEndian);
  Append32(out, 0, bigEndian);  // no next IFD
  return out;
}

QByteArray EncodeJpeg(const QImage& image, const TJpegOptions& options) {
  const QImage source = options.Grey ? image.convertToFormat(QImage::Format_Grayscale8)
                                     : image.convertToFormat(QImage::Format_BGR888);
  jpeg_compress_struct info;
  jpeg_error_mgr error;
  info.err = jpeg_std_error(&error);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = JDIMENSION(source.width());
  info.image_height = JDIMENSION(source.height());
  info.input_components = options.Grey ? 1 : 3;
  info.in_color_space = options.Grey ? JCS_GRAYSCALE : JCS_EXT_BGR;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, options.Quality, TRUE);
  if (options.Progressive) jpeg_simple_progression(&info);
  jpeg_start_compress(&info, TRUE);
  if (options.Orientation != 0) {
    const QByteArray exif = ExifSegment(options.Orientation, options.BigEndianExif);
    jpeg_write_marker(&info, JPEG_APP0 + 1, reinterpret_cast<const JOCTET*>(exif.constData()),
                      unsigned(exif.size()));
  }
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<uchar*>(source.constScanLine(int(info.next_scanline)));
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  QByteArray bytes(reinterpret_cast<const char*>(buffer), qsizetype(size));
  std::free(buffer);
  return bytes;
}

QImage Quadrants(int width, int height) {
  QImage image(width, height, QImage::Format_BGR888);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const bool right = x >= width / 2, bottom = y >= height / 2;
      const QRgb colour = bottom ? (right ? qRgb(255, 255, 255) : qRgb(0, 0, 255))
                                 : (right ? qRgb(0, 255, 0) : qRgb(255, 0, 0));
      image.setPixel(x, y, colour);
    }
  }
  return image;
}

QImage NoisePicture(int width, int height, int seed) {
  QImage image(width, height, QImage::Format_BGR888);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      // A bijection of the 24-bit index, so that pixels differ but hardly compress.
      quint32 n = quint32(y * width + x + seed) & 0xFFFFFF;
      n = (n * 0x9E3779u) & 0xFFFFFF;
      n ^= n >> 12;
      n = (n * 0x2C1B3Du) & 0xFFFFFF;
      n ^= n >> 11;
      image.setPixel(x, y, qRgb(int(n & 0xFF), int((n >> 8) & 0xFF), int(n >> 16)));
    }
  }
  return image;
}

bool Near(QRgb a, QRgb b, int tolerance) {
  return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
         std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

QByteArray EncodeGif(QSize screen, const std::vector<QRgb>& palette,
                     const std::vector<TTestFrame>& frames, int loops) {
  QByteArray out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, WriteToBytes, &error);
  std::vector<GifColorType> colours;
  for (QRgb c : palette) {
    colours.push_back({GifByteType(qRed(c)), GifByteType(qGreen(c)), GifByteType(qBlue(c))});
  }
  ColorMapObject* map = GifMakeMapObject(int(colours.size()), colours.data());
  EGifSetGifVersion(gif, true);
  EGifPutScreenDesc(gif, screen.width(), screen.height(), 8, 0, map);
  if (loops >= 0) {
    const GifByteType loop[] = {1, GifByteType(loops & 0xFF), GifByteType(loops >> 8)};
    EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE);
    EGifPutExtensionBlock(gif, 11, "NETSCAPE2.0");
    EGifPutExtensionBlock(gif, 3, loop);
    EGifPutExtensionTrailer(gif);
  }
  for (const TTestFrame& frame : frames) {
    GraphicsControlBlock control{frame.Disposal, false, frame.DelayCs, frame.Transparent};
    GifByteType extension[4];
    EGifGCBToExtension(&control, extension);
    EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, extension);
    const QRect& r = frame.Rect;
    EGifPutImageDesc(gif, r.x(), r.y(), r.width(), r.height(), frame.Interlaced, nullptr);
    std::vector<GifByteType> pixels(frame.Pixels.begin(), frame.Pixels.end());
    for (int y = 0; y < r.height(); ++y) EGifPutLine(gif, pixels.data() + y * r.width(), r.width());
  }
  EGifCloseFile(gif, &error);
  GifFreeMapObject(map);
  return out;
}

QString WriteFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
  const QString path = dir.filePath(name);
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) return {};
  return path;
}

TTrippingBuffer::TTrippingBuffer(const QByteArray& data, qint64 trip, base::TStopFlag& flag)
    : FData(data), FTrip(trip), FFlag(flag) {
  setBuffer(&FData);
  open(QIODevice::ReadOnly);
}

qint64 TTrippingBuffer::readData(char* data, qint64 size) {
  const qint64 count = QBuffer::readData(data, size);
  FRead += count;
  if (FRead >= FTrip) FFlag.Set(true);
  return count;
}

}  // namespace zephra::viewer::testing
