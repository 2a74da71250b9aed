#pragma once

#include <QImage>
#include <cstdint>
#include <vector>

namespace zephra::widgets {

// Which source pixels make up each destination pixel along one axis, with weights in 14-bit
// fixed point that add up to exactly 1 << 14 for every destination pixel.
struct TAxisTaps {
  std::vector<int> First;             // first source index per destination index
  std::vector<int> Count;             // number of source indices used
  std::vector<std::int16_t> Weights;  // Stride weights per destination index
  int Stride = 0;
};
inline constexpr int TapWeightBits = 14;

// Reducing: the area average over the source span that the destination pixel covers.
// Enlarging (or equal): linear interpolation between the two nearest source pixel centres.
TAxisTaps SmoothAxisTaps(int sourceSize, int destSize);

// The smoothing stretch used where the platform has no halftone stretch: per axis an area
// average when reducing and bilinear interpolation when enlarging, separable, in fixed point.
// `source` is 24-bit; the result has its format. width, height >= 1.
QImage SmoothStretch(const QImage& source, int width, int height);

}  // namespace zephra::widgets
