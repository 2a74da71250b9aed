#include "qrcode/picture_transform.h"

#include <cstdint>

namespace zephra::qrcode {
namespace {

constexpr int kQuarter = 90, kHalf = 180, kThreeQuarters = 270;
constexpr int kDirectDepth = 32;

// Runs `transform` on a 32-bit copy and returns the result in the original format, so every
// depth takes the same path.
template <typename Transform>
QImage In32Bits(const QImage& image, Transform transform) {
  if (image.depth() == kDirectDepth) return transform(image);
  const QImage wide = image.convertToFormat(QImage::Format_ARGB32);
  const QImage result = transform(wide);
  if (image.format() == QImage::Format_Indexed8 || image.format() == QImage::Format_Mono ||
      image.format() == QImage::Format_MonoLSB) {
    return result.convertToFormat(image.format(), image.colorTable());
  }
  return result.convertToFormat(image.format());
}

QImage Rotate32(const QImage& old, int angle) {
  const int w = old.width(), h = old.height();
  const bool quarter = angle != kHalf;
  QImage turned(quarter ? h : w, quarter ? w : h, old.format());
  for (int y = 0; y < turned.height(); ++y) {
    auto* line = reinterpret_cast<std::uint32_t*>(turned.scanLine(y));
    for (int x = 0; x < turned.width(); ++x) {
      int ox = 0, oy = 0;
      if (angle == kQuarter) {
        ox = y, oy = h - 1 - x;
      } else if (angle == kHalf) {
        ox = w - 1 - x, oy = h - 1 - y;
      } else {
        ox = w - 1 - y, oy = x;
      }
      line[x] = reinterpret_cast<const std::uint32_t*>(old.constScanLine(oy))[ox];
    }
  }
  return turned;
}

QImage Mirror32(const QImage& old) {
  QImage mirrored(old.size(), old.format());
  const int w = old.width();
  for (int y = 0; y < old.height(); ++y) {
    const auto* from = reinterpret_cast<const std::uint32_t*>(old.constScanLine(y));
    auto* to = reinterpret_cast<std::uint32_t*>(mirrored.scanLine(y));
    for (int x = 0; x < w; ++x) to[x] = from[w - 1 - x];
  }
  return mirrored;
}

}  // namespace

QImage RotateImage(const QImage& image, int angle) {
  if (image.isNull() || (angle != kQuarter && angle != kHalf && angle != kThreeQuarters)) {
    return image;
  }
  return In32Bits(image, [angle](const QImage& wide) { return Rotate32(wide, angle); });
}

QImage MirrorImage(const QImage& image) {
  if (image.isNull()) return image;
  return In32Bits(image, [](const QImage& wide) { return Mirror32(wide); });
}

}  // namespace zephra::qrcode
