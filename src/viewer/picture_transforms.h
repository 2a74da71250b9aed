#pragma once

#include <QImage>

namespace zephra::viewer {

// Pixel transforms of a decoded picture. Each first makes `image` Format_BGR888 (x from the
// left, y from the top; W x H is the size before). Each returns false and leaves `image` as it
// was when it is null or memory runs out.

// A new H x W picture where pixel (x, y) = old pixel (W - 1 - y, x): a quarter turn
// anticlockwise.
bool RotateLeft(QImage& image);
// A new H x W picture where pixel (x, y) = old pixel (y, H - 1 - x): a quarter turn clockwise.
bool RotateRight(QImage& image);
// In place: pixel (x, y) exchanged with (W - 1 - x, H - 1 - y).
bool RotateHalf(QImage& image);
// In place: in every row pixel x exchanged with W - 1 - x.
bool MirrorLeftRight(QImage& image);
// In place: row y exchanged with row H - 1 - y.
bool FlipTopBottom(QImage& image);

// Every channel value v of every pixel becomes factor x v / 255 (integer division); `factor`
// is taken in 0..255. The viewer darkens its background with factor 40.
bool Darken(QImage& image, int factor);

}  // namespace zephra::viewer
