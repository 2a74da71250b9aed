#include "widgets/bitmap_button_picture.h"

#include <QBuffer>
#include <QImageReader>

namespace zephra::widgets {
namespace {

constexpr char PngFormat[] = "png";

TGlyphPicture ReadPicture(QImageReader& reader) {
  const bool png = reader.format() == PngFormat;
  QImage image = reader.read();
  if (image.isNull()) return {};
  return {std::move(image), png};
}

}  // namespace

TGlyphPicture TGlyphPicture::FromFile(const QString& fileName) {
  QImageReader reader(fileName);
  return ReadPicture(reader);
}

TGlyphPicture TGlyphPicture::FromData(const QByteArray& data) {
  QBuffer buffer;
  buffer.setData(data);
  QImageReader reader(&buffer);
  return ReadPicture(reader);
}

QImage KeyedSlice(const QImage& picture, const QRect& source, std::optional<QColor> fill) {
  const QRect area = source.intersected(picture.rect());
  if (area.isEmpty()) return {};
  QImage slice = picture.copy(area).convertToFormat(QImage::Format_RGB32);
  slice = slice.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  const QRgb replacement = fill ? qPremultiply(fill->rgba()) : qRgba(0, 0, 0, 0);
  for (int y = 0; y < slice.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(slice.scanLine(y));
    for (int x = 0; x < slice.width(); ++x) {
      if ((row[x] & RGB_MASK) == GlyphKeyColor) row[x] = replacement;
    }
  }
  return slice;
}

}  // namespace zephra::widgets
