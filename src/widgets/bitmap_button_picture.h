#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QRect>
#include <QString>
#include <optional>

namespace zephra::widgets {

// The colour that a non-PNG glyph picture uses for "no paint here".
inline constexpr QRgb GlyphKeyColor = 0xFF00FF;

// A glyph button's picture: one image holding the slices side by side, and whether it came
// from a PNG. A PNG is drawn with its alpha channel; any other picture is drawn opaque with
// GlyphKeyColor keyed out.
class TGlyphPicture {
 public:
  TGlyphPicture() = default;
  TGlyphPicture(QImage image, bool png) : FImage(std::move(image)), FPng(png) {}
  // The picture in a file or in memory; empty when it cannot be read.
  static TGlyphPicture FromFile(const QString& fileName);
  static TGlyphPicture FromData(const QByteArray& data);

  bool HasGraphic() const { return !FImage.isNull(); }
  int Width() const { return FImage.width(); }
  int Height() const { return FImage.height(); }
  const QImage& Image() const { return FImage; }
  bool IsPng() const { return FPng; }

 private:
  QImage FImage;
  bool FPng = false;
};

// The part `source` of `picture` (clipped to it), made opaque, as 32-bit premultiplied ARGB,
// with every GlyphKeyColor pixel replaced by `fill`, or made transparent when there is no fill.
QImage KeyedSlice(const QImage& picture, const QRect& source, std::optional<QColor> fill);

}  // namespace zephra::widgets
