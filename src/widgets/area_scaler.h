#pragma once

#include <QImage>
#include <vector>

namespace zephra::widgets {

// One piece of an axis cut at every source pixel edge and every destination pixel edge.
struct TAreaSegment {
  float Width = 0;          // in source pixels
  float End = 0;            // position of its end, in source pixels
  bool EndsAtDest = false;  // ends at a destination edge (else at a source edge)
};

// The cuts of 0..sourceSize, in order: sourceSize + destSize segments. A destination edge that
// lies within 0.0001 of a source edge counts first, followed by a zero-width segment, so no
// piece of noticeable width is lost. Single precision, as the scaler uses it.
std::vector<TAreaSegment> AreaSegments(int sourceSize, int destSize);

// The cubic convolution kernel with parameter -1, and interpolation at fraction t (from
// p0 towards p1) from four samples, clamped to 0..255.
float CubicKernel(float distance);
float CubicInterpolate(float pm1, float p0, float p1, float p2, float t);

// True for sources the area scaler takes: 8 bits (one plain channel) or 24 bits per pixel.
bool IsAreaScalable(const QImage& source);

// Scales an 8- or 24-bit source (at least 3 x 3) to width x height (each at least 1) by
// integrating its pixels over each destination pixel's area; on an axis that is enlarged the
// samples come from cubic interpolation. The result has the source's format (and colour table).
QImage AreaScale(const QImage& source, int width, int height);

// The same without the shortcut for reductions on both axes (which sums the same products in a
// different order); kept for comparison in tests.
QImage AreaScaleBySegments(const QImage& source, int width, int height);

}  // namespace zephra::widgets
