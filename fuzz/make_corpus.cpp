// Writes the seed inputs of every fuzz target into corpus/<name>/ below the folder given on the
// command line: a handful of small valid inputs per target and some near-valid ones (a byte
// changed, cut short, a length that does not match). Build the target zephra_fuzz_corpus and
// run it with the fuzz/ folder to regenerate them.
#include <gif_lib.h>
#include <png.h>

#include <QBuffer>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QtEndian>
#include <cstdio>
#include <string>
#include <vector>

#include "link/link_constants.h"

namespace {

using namespace zephra::link;

QString gRoot;

void Save(const char* target, const char* name, const QByteArray& bytes) {
  const QString folder = gRoot + QStringLiteral("/corpus/") + QString::fromLatin1(target);
  QDir().mkpath(folder);
  QFile file(folder + u'/' + QString::fromLatin1(name));
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
    std::exit(1);
  }
}

QByteArray U32(std::uint32_t value) {
  QByteArray bytes(4, '\0');
  qToBigEndian<quint32>(value, bytes.data());
  return bytes;
}

QByteArray Message(std::uint32_t command, const QByteArray& payload,
                   std::uint32_t magic = LinkMagicPhone) {
  return U32(magic) + U32(command) + U32(std::uint32_t(payload.size())) + payload;
}

QByteArray Utf16Be(const QString& text) {
  QByteArray bytes;
  for (QChar c : text) {
    bytes.append(char(c.unicode() >> 8));
    bytes.append(char(c.unicode() & 0xFF));
  }
  return bytes;
}

QByteArray Hello(std::uint32_t version, const QByteArray& name) {
  QByteArray payload = U32(version) + name.left(int(HelloNameBytes));
  payload.append(QByteArray(int(HelloLength) - payload.size(), '\0'));
  return Message(cmdHello, payload);
}

QByteArray ListPayload(std::int32_t start, const QString& text) {
  return U32(0) + U32(0) + U32(std::uint32_t(start)) + Utf16Be(text);
}

QByteArray Chunk(std::uint32_t status, std::uint32_t id, std::uint32_t total, std::uint32_t offset,
                 const QByteArray& bytes) {
  return Message(cmdChunkData, U32(status) + U32(id) + U32(total) + U32(offset) + bytes);
}

void MakeControl() {
  const QString list = QStringLiteral("/DCIM/a.jpg,1234,x\r\n/DCIM/b, \"c\".png,56,y\r\n");
  Save("control", "hello", Hello(1001, "Pixel"));
  Save("control", "hello-show-list",
       Hello(1001, "Pixel") + Message(cmdShowList, ListPayload(1, list)));
  Save("control", "hello-slideshow-stop-close",
       Hello(2000, "Tab") + Message(cmdSlideShow, ListPayload(0, list)) +
           Message(cmdViewStop, U32(1)) + Message(cmdCloseViewer, {}));
  Save("control", "hello-too-old", Hello(5, "Old") + Message(cmdShowList, ListPayload(0, list)));
  Save("control", "list-without-hello", Message(cmdShowList, ListPayload(0, list)));
  Save("control", "foreign-and-unknown",
       Message(cmdHello, U32(1), LinkMagicPc) + Message(4242, QByteArray(7, 'z')) +
           Hello(1001, QByteArray(24, 'N')) + Message(cmdKeepAlive, {}) +
           Message(cmdViewStop, U32(1) + U32(2)) + Message(cmdCloseViewer, "x"));
  Save("control", "hello-short", Message(cmdHello, U32(1001) + "ab"));
  Save("control", "hello-list-cut",
       Hello(1001, "Cut") + Message(cmdShowList, ListPayload(0, list)).left(40));
}

void MakeData() {
  const QByteArray small("0123456789");
  Save("data", "one-chunk", Chunk(0, 7, 10, 0, small));
  Save("data", "keepalive-refused", Message(cmdKeepAlive, {}) + Chunk(1, 7, 10, 0, {}));
  QByteArray first(int(ChunkSize), '\0');
  for (int i = 0; i < first.size(); ++i) first[i] = char(i * 7);
  Save("data", "two-chunks",
       Chunk(0, 7, ChunkSize + 10, 0, first) + Chunk(0, 7, ChunkSize + 10, ChunkSize, small));
  Save("data", "cut-short", Chunk(0, 7, 200000, 0, small));
  Save("data", "wrong-id-repeat-gap",
       Chunk(0, 8, 10, 0, small) + Chunk(0, 7, 10, 4, small) + Chunk(0, 7, 10, 0, small) +
           Chunk(0, 7, 11, 0, small));
  Save("data", "too-large-total", Chunk(0, 7, MaxTransferTotal + 1, 0, small));
  Save("data", "short-head", Message(cmdChunkData, U32(0) + U32(7)) + Message(cmdKeepAlive, "x"));
}

void MakeList() {
  Save("list", "two-lines",
       ListPayload(1, QStringLiteral("/DCIM/a.jpg,123,x\r\n/DCIM/b.jpg,456,y\r\n")));
  Save("list", "quotes-commas-breaks",
       ListPayload(0, QStringLiteral("a \"q\".jpg,1,\rb,c.jpg,2,z\n\"x\",3,\r\n,4,")));
  Save("list", "short-lines", ListPayload(-1, QStringLiteral("nocomma\r\none,comma\r\n\r\n")));
  Save("list", "wide-names",
       ListPayload(0, QStringLiteral("写真 1.jpg,9,\u3000\r\n\tpic\u0001,8,e")));
  Save("list", "odd-byte", ListPayload(2, QStringLiteral("a,1,")) + "X");
  Save("list", "head-only", ListPayload(0, {}));
}

void MakeHttp() {
  Save("http", "get-root", "GET / HTTP/1.1\r\nHost: pc\r\n\r\n");
  Save("http", "head-package", "HEAD /Zephra.apk HTTP/1.1\r\nHost: pc\r\n\r\n");
  Save("http", "get-index-folder", "GET /web HTTP/1.1\r\n\r\n");
  Save("http", "get-outside", "GET /../outside HTTP/1.0\r\n\r\n");
  Save("http", "post-body", "POST /x HTTP/1.1\r\nContent-Length: 5\r\n\r\nhello");
  Save("http", "absolute-query", "GET http://host/a%20b%zz?q=1#f HTTP/1.1\r\n\r\n");
  Save("http", "other-method", "DELETE / HTTP/1.1\r\n\r\n");
  Save("http", "malformed", "GET\r\n\r\n");
  Save("http", "chunked",
       "POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n");
}

QImage Gradient(int width, int height, QImage::Format format) {
  QImage image(width, height, QImage::Format_ARGB32);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      image.setPixel(x, y, qRgba(x * 255 / width, y * 255 / height, 128, 255 - x * 16));
    }
  }
  return image.convertToFormat(format);
}

QByteArray Written(const QImage& image, const char* format, int quality = -1,
                   bool progressive = false) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, format);
  writer.setQuality(quality);
  writer.setProgressiveScanWrite(progressive);
  if (!writer.write(image)) {
    std::fprintf(stderr, "cannot write %s: %s\n", format, qPrintable(writer.errorString()));
    return {};
  }
  return bytes;
}

// An EXIF APP1 payload whose IFD0 holds an Orientation entry.
QByteArray ExifPayload(bool bigEndian, std::uint16_t orientation, std::uint16_t type = 3) {
  auto u16 = [bigEndian](std::uint16_t v) {
    QByteArray bytes(2, '\0');
    bytes[bigEndian ? 0 : 1] = char(v >> 8);
    bytes[bigEndian ? 1 : 0] = char(v & 0xFF);
    return bytes;
  };
  auto u32 = [&](std::uint32_t v) {
    return bigEndian ? u16(std::uint16_t(v >> 16)) + u16(std::uint16_t(v))
                     : u16(std::uint16_t(v)) + u16(std::uint16_t(v >> 16));
  };
  QByteArray tiff = QByteArray(bigEndian ? "MM" : "II") + u16(42) + u32(8);
  tiff += u16(2);
  tiff += u16(0x0100) + u16(3) + u32(1) + u16(8) + u16(0);  // ImageWidth
  tiff += u16(0x0112) + u16(type) + u32(1) + u16(orientation) + u16(0);
  tiff += u32(0);
  return QByteArray("Exif\0\0", 6) + tiff;
}

QByteArray WithApp1(const QByteArray& jpeg, const QByteArray& payload) {
  const int length = payload.size() + 2;
  const QByteArray segment =
      QByteArray("\xFF\xE1", 2) + char(length >> 8) + char(length & 0xFF) + payload;
  return jpeg.left(2) + segment + jpeg.mid(2);
}

void MakeJpeg() {
  const QByteArray colour = Written(Gradient(16, 8, QImage::Format_RGB32), "jpg", 50);
  Save("jpeg", "colour-16x8.jpg", colour);
  Save("jpeg", "grey-8x8.jpg", Written(Gradient(8, 8, QImage::Format_Grayscale8), "jpg", 50));
  Save("jpeg", "progressive-24x16.jpg",
       Written(Gradient(24, 16, QImage::Format_RGB32), "jpg", 50, true));
  Save("jpeg", "exif-orientation-6.jpg", WithApp1(colour, ExifPayload(false, 6)));
  Save("jpeg", "exif-orientation-3-mm.jpg", WithApp1(colour, ExifPayload(true, 3)));
  Save("jpeg", "cut-short.jpg", colour.left(colour.size() * 2 / 3));
  QByteArray flipped = colour;
  flipped[colour.size() / 2] = char(~flipped[colour.size() / 2]);
  Save("jpeg", "flipped-byte.jpg", flipped);
}

// A PNG written with libpng directly: interlaced, in the given colour type and depth.
QByteArray InterlacedPng(int width, int height, int colourType, int depth) {
  QByteArray bytes;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(
      png, &bytes,
      [](png_structp p, png_bytep data, size_t length) {
        static_cast<QByteArray*>(png_get_io_ptr(p))
            ->append(reinterpret_cast<char*>(data), qsizetype(length));
      },
      nullptr);
  png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), depth, colourType,
               PNG_INTERLACE_ADAM7, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  const int channels = colourType == PNG_COLOR_TYPE_RGB_ALPHA ? 4
                       : colourType == PNG_COLOR_TYPE_RGB     ? 3
                                                              : 1;
  std::vector<png_byte> row(std::size_t(width * channels * (depth / 8 > 0 ? depth / 8 : 1)));
  std::vector<png_bytep> rows(static_cast<std::size_t>(height));
  std::vector<std::vector<png_byte>> data(std::size_t(height), row);
  for (int y = 0; y < height; ++y) {
    for (std::size_t i = 0; i < row.size(); ++i) data[std::size_t(y)][i] = png_byte(i * 13 + y * 7);
    rows[std::size_t(y)] = data[std::size_t(y)].data();
  }
  png_write_image(png, rows.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return bytes;
}

void MakePng() {
  const QByteArray rgb = Written(Gradient(8, 6, QImage::Format_RGB888), "png");
  Save("png", "rgb-8x6.png", rgb);
  Save("png", "rgba-5x5.png", Written(Gradient(5, 5, QImage::Format_ARGB32), "png"));
  QImage palette = Gradient(6, 4, QImage::Format_ARGB32).convertToFormat(QImage::Format_Indexed8);
  palette.setColor(0, qRgba(0, 0, 0, 0));
  Save("png", "palette-trns-6x4.png", Written(palette, "png"));
  Save("png", "grey16-4x4.png", Written(Gradient(4, 4, QImage::Format_Grayscale16), "png"));
  Save("png", "mono-9x3.png", Written(Gradient(9, 3, QImage::Format_Mono), "png"));
  Save("png", "interlaced-rgba-9x9.png", InterlacedPng(9, 9, PNG_COLOR_TYPE_RGB_ALPHA, 8));
  Save("png", "interlaced-grey16-5x7.png", InterlacedPng(5, 7, PNG_COLOR_TYPE_GRAY, 16));
  Save("png", "cut-short.png", rgb.left(rgb.size() - 20));
}

struct TGifFrameShape {
  int Left, Top, Width, Height;
  bool Interlace;
  int Disposal;     // -1: no graphic control extension
  int Transparent;  // -1: none
  int DelayCs;
};

int WriteToBytes(GifFileType* gif, const GifByteType* data, int length) {
  static_cast<QByteArray*>(gif->UserData)->append(reinterpret_cast<const char*>(data), length);
  return length;
}

QByteArray Gif(int width, int height, const std::vector<TGifFrameShape>& frames, int loops) {
  QByteArray bytes;
  int error = 0;
  GifFileType* gif = EGifOpen(&bytes, WriteToBytes, &error);
  GifColorType colours[4] = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
  ColorMapObject* map = GifMakeMapObject(4, colours);
  EGifSetGifVersion(gif, true);
  EGifPutScreenDesc(gif, width, height, 2, 0, map);
  if (loops >= 0) {
    EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE);
    EGifPutExtensionBlock(gif, 11, "NETSCAPE2.0");
    const unsigned char loop[3] = {1, static_cast<unsigned char>(loops & 0xFF),
                                   static_cast<unsigned char>(loops >> 8)};
    EGifPutExtensionBlock(gif, 3, loop);
    EGifPutExtensionTrailer(gif);
  }
  for (const TGifFrameShape& f : frames) {
    if (f.Disposal >= 0) {
      GraphicsControlBlock control{f.Disposal, false, f.DelayCs, f.Transparent};
      GifByteType extension[4];
      const std::size_t length = EGifGCBToExtension(&control, extension);
      EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(length), extension);
    }
    EGifPutImageDesc(gif, f.Left, f.Top, f.Width, f.Height, f.Interlace, nullptr);
    std::vector<GifPixelType> row(std::size_t(f.Width));
    for (int y = 0; y < f.Height; ++y) {
      for (int x = 0; x < f.Width; ++x) row[std::size_t(x)] = GifPixelType((x + y) % 4);
      EGifPutLine(gif, row.data(), f.Width);
    }
  }
  EGifCloseFile(gif, &error);
  GifFreeMapObject(map);
  return bytes;
}

void MakeGif() {
  Save("gif", "still-4x4.gif", Gif(4, 4, {{0, 0, 4, 4, false, -1, -1, 0}}, -1));
  const QByteArray animated = Gif(8, 6,
                                  {{0, 0, 8, 6, false, 1, -1, 10},
                                   {2, 1, 4, 4, false, 2, 0, 20},
                                   {1, 1, 5, 3, true, 3, 3, 5},
                                   {6, 4, 5, 5, false, 0, -1, 0}},
                                  0);
  Save("gif", "animated-loop-8x6.gif", animated);
  Save("gif", "interlaced-7x11.gif", Gif(7, 11, {{0, 0, 7, 11, true, -1, -1, 0}}, 3));
  Save("gif", "cut-short.gif", animated.left(animated.size() - 12));
  // Composer scripts (input that does not start with "GIF").
  Save("gif", "script-two-frames",
       QByteArray::fromHex("0705"
                           "0203040201"
                           "03"
                           "ff000000ff000000ff"
                           "000102000102000102000102"
                           "20231010"
                           "00"
                           "02"
                           "02"
                           "10203040506070"));
  Save("gif", "script-off-screen",
       QByteArray::fromHex("0303"
                           "00005050"
                           "0104"
                           "01"
                           "ffffff"
                           "00"));
}

void MakeFallback() {
  const QImage opaque = Gradient(6, 5, QImage::Format_RGB32);
  const QImage transparent = Gradient(6, 5, QImage::Format_ARGB32);
  const QList<QByteArray> writable = QImageWriter::supportedImageFormats();
  struct TEntry {
    const char* format;
    const char* name;
    bool alpha;
  };
  for (const TEntry& entry :
       {TEntry{"bmp", "opaque.bmp", false}, TEntry{"ico", "icon.ico", true},
        TEntry{"ppm", "pixmap.ppm", false}, TEntry{"pgm", "grey.pgm", false},
        TEntry{"pbm", "mono.pbm", false}, TEntry{"xpm", "pixmap.xpm", false},
        TEntry{"xbm", "bitmap.xbm", false}, TEntry{"tiff", "alpha.tif", true},
        TEntry{"webp", "alpha.webp", true}, TEntry{"png", "alpha.png", true},
        TEntry{"tga", "opaque.tga", false}, TEntry{"wbmp", "mono.wbmp", false}}) {
    if (!writable.contains(entry.format)) continue;
    const QByteArray bytes = Written(entry.alpha ? transparent : opaque, entry.format);
    if (!bytes.isEmpty()) Save("fallback", entry.name, bytes);
  }
  const QByteArray bmp = Written(opaque, "bmp");
  Save("fallback", "cut-short.bmp", bmp.left(bmp.size() / 2));
}

void MakeExif() {
  Save("exif", "ii-orientation-6", ExifPayload(false, 6));
  Save("exif", "mm-orientation-8", ExifPayload(true, 8));
  Save("exif", "wrong-type", ExifPayload(false, 3, 4));
  Save("exif", "out-of-range-value", ExifPayload(true, 9));
  QByteArray far = ExifPayload(false, 1);
  far[10] = char(0x70);  // IFD0 offset beyond the block
  Save("exif", "ifd-beyond-end", far);
  Save("exif", "cut-short", ExifPayload(true, 2).left(20));
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication application(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <fuzz folder>\n", argv[0]);
    return 2;
  }
  gRoot = QString::fromLocal8Bit(argv[1]);
  MakeControl();
  MakeData();
  MakeList();
  MakeHttp();
  MakeJpeg();
  MakePng();
  MakeGif();
  MakeFallback();
  MakeExif();
  return 0;
}
