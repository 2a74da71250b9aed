#pragma once

#include <QImage>
#include <cstdint>

namespace zephra::widgets {

// The picture control's choice of scaler for its cached display bitmap.
enum TViewResampleFilter : std::uint8_t {
  vrfStand,     // smoothing stretch
  vrfSharp,     // bilinear, 15-bit fixed point
  vrfSmooth,    // smoothing stretch
  vrfTriangle,  // smoothing stretch
  vrfHermite,   // smoothing stretch
  vrfSpline,    // smoothing stretch
  vrfLanczos3,  // smoothing stretch
  vrfMitchell,  // smoothing stretch
  vrfCubic,     // area averaging with cubic interpolation
};

// Sizes below this on either axis, of the source or of the request, are never filtered.
inline constexpr int MinResampleSize = 3;

// Makes `dest` a copy of `source` scaled to width x height with the scaler that `filter` selects.
// Equal sizes copy exactly; a source or request under 3 pixels on a side is stretched by pixel
// repetition (a request under 1 pixel gives an empty bitmap). The smoothing stretch and the
// bilinear scaler first convert `source` in place to 24 bits per pixel; the area scaler accepts
// only 8- and 24-bit sources and otherwise leaves `dest` untouched. A result too large to
// allocate leaves `dest` empty.
void Resample(QImage& dest, QImage& source, int width, int height, TViewResampleFilter filter);

// True for the two 24-bit layouts (B,G,R or R,G,B); the scalers treat channels alike.
bool IsPixel24(const QImage& image);
// Converts `image` in place to B,G,R 24-bit unless it already has 24 bits per pixel.
void EnsurePixel24(QImage& image);

}  // namespace zephra::widgets
