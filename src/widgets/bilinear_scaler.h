#pragma once

#include <QImage>
#include <cstdint>

namespace zephra::widgets {

// Position step of the bilinear scaler along one axis, in 15-bit fixed point:
// ((source - 1) << 15) div dest. 64880 for 100 -> 50.
std::int64_t BilinearStep(int sourceSize, int destSize);

// Scales a 24-bit bitmap (at least 3 x 3) to width x height (each at least 1) with integer
// bilinear weights out of 32768. Destination pixel (j, i) samples source position
// (j x stepX, i x stepY); its second column and row are the next ones, or the previous ones on
// the last destination column and row. The result has the source's format.
QImage BilinearScale(const QImage& source, int width, int height);

}  // namespace zephra::widgets
