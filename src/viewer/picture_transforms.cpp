#include "viewer/picture_transforms.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

namespace zephra::viewer {
namespace {

constexpr int PixelBytes = 3;
// Side of the square blocks a quarter turn copies at a time, so that the rows it reads
// crosswise stay in the cache.
constexpr int TurnTile = 32;
constexpr int MaxChannel = 255;

// Converts `image` to Format_BGR888 unless it is already, and makes its buffer its own for
// writing. False, with `image` unchanged, when it is null or memory runs out.
bool MakeWritableBgr(QImage& image) {
  if (image.isNull()) return false;
  if (image.format() != QImage::Format_BGR888) {
    QImage bgr = image.convertToFormat(QImage::Format_BGR888);
    if (bgr.isNull()) return false;
    image = std::move(bgr);
  }
  return image.bits() != nullptr;
}

void SwapPixels(uchar* a, uchar* b) {
  uchar t[PixelBytes];
  std::memcpy(t, a, PixelBytes);
  std::memcpy(a, b, PixelBytes);
  std::memcpy(b, t, PixelBytes);
}

void ReverseRow(uchar* row, int width) {
  for (int x = 0, mirror = width - 1; x < mirror; ++x, --mirror) {
    SwapPixels(row + x * PixelBytes, row + mirror * PixelBytes);
  }
}

// Fills `dest` (H x W of the W x H `source`) so that dest pixel (x, y) = source pixel
// (columnOf(y), rowOf(x)), in square tiles.
template <class TColumnOf, class TRowOf>
void QuarterTurn(const QImage& source, QImage& dest, TColumnOf columnOf, TRowOf rowOf) {
  const uchar* in = source.constBits();
  const qsizetype inStride = source.bytesPerLine();
  uchar* out = dest.bits();
  const qsizetype outStride = dest.bytesPerLine();
  const int width = dest.width(), height = dest.height();
  for (int tileY = 0; tileY < height; tileY += TurnTile) {
    const int endY = std::min(tileY + TurnTile, height);
    for (int tileX = 0; tileX < width; tileX += TurnTile) {
      const int endX = std::min(tileX + TurnTile, width);
      for (int y = tileY; y < endY; ++y) {
        uchar* pixel = out + y * outStride + tileX * PixelBytes;
        const uchar* column = in + columnOf(y) * PixelBytes;
        for (int x = tileX; x < endX; ++x, pixel += PixelBytes) {
          std::memcpy(pixel, column + rowOf(x) * inStride, PixelBytes);
        }
      }
    }
  }
}

// Turns `image` by a quarter: clockwise when `clockwise`, else anticlockwise.
bool Turn(QImage& image, bool clockwise) {
  if (image.isNull()) return false;
  const QImage source = image.format() == QImage::Format_BGR888
                            ? image
                            : image.convertToFormat(QImage::Format_BGR888);
  if (source.isNull()) return false;
  const int width = source.width(), height = source.height();
  QImage turned(height, width, QImage::Format_BGR888);
  if (turned.isNull()) return false;
  if (clockwise) {
    QuarterTurn(
        source, turned, [](int y) { return y; }, [height](int x) { return height - 1 - x; });
  } else {
    QuarterTurn(
        source, turned, [width](int y) { return width - 1 - y; }, [](int x) { return x; });
  }
  image = std::move(turned);
  return true;
}

}  // namespace

bool RotateLeft(QImage& image) { return Turn(image, false); }

bool RotateRight(QImage& image) { return Turn(image, true); }

bool RotateHalf(QImage& image) {
  if (!MakeWritableBgr(image)) return false;
  const int width = image.width(), height = image.height();
  for (int top = 0, bottom = height - 1; top < bottom; ++top, --bottom) {
    uchar* upper = image.scanLine(top);
    uchar* lower = image.scanLine(bottom) + (width - 1) * PixelBytes;
    for (int x = 0; x < width; ++x) SwapPixels(upper + x * PixelBytes, lower - x * PixelBytes);
  }
  if (height % 2 == 1) ReverseRow(image.scanLine(height / 2), width);
  return true;
}

bool MirrorLeftRight(QImage& image) {
  if (!MakeWritableBgr(image)) return false;
  for (int y = 0; y < image.height(); ++y) ReverseRow(image.scanLine(y), image.width());
  return true;
}

bool FlipTopBottom(QImage& image) {
  if (!MakeWritableBgr(image)) return false;
  const qsizetype rowBytes = qsizetype(image.width()) * PixelBytes;
  for (int top = 0, bottom = image.height() - 1; top < bottom; ++top, --bottom) {
    uchar* upper = image.scanLine(top);
    std::swap_ranges(upper, upper + rowBytes, image.scanLine(bottom));
  }
  return true;
}

bool Darken(QImage& image, int factor) {
  if (!MakeWritableBgr(image)) return false;
  factor = std::clamp(factor, 0, MaxChannel);
  std::array<uchar, MaxChannel + 1> darker;
  for (int v = 0; v <= MaxChannel; ++v) darker[v] = static_cast<uchar>(factor * v / MaxChannel);
  const qsizetype rowBytes = qsizetype(image.width()) * PixelBytes;
  for (int y = 0; y < image.height(); ++y) {
    uchar* row = image.scanLine(y);
    for (qsizetype i = 0; i < rowBytes; ++i) row[i] = darker[row[i]];
  }
  return true;
}

}  // namespace zephra::viewer
