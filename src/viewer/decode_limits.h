#pragma once

#include <QtGlobal>

namespace zephra::viewer {

// How a decoder ended. Anything but Ok leaves the target empty.
enum class TDecodeStatus {
  Ok,
  Failed,    // unreadable, truncated, corrupt, or a format the decoder does not take
  TooLarge,  // refused before allocating: above the picture caps below
  Aborted,   // the stop flag was set while decoding
};

// Largest picture any decoder produces, in pixels.
inline constexpr qint64 MaxPicturePixels = 300'000'000;
// Largest buffer any decoder allocates for one picture: what a 24-bit picture of
// MaxPicturePixels needs.
inline constexpr qint64 MaxPictureBytes = MaxPicturePixels * 3;

// Most scans a progressive JPEG may have. Encoders write about ten; every scan is a pass over
// all of the picture's coefficients, so a few kilobytes of repeated scans could otherwise keep a
// decode busy for minutes.
inline constexpr int MaxJpegScans = 1000;

// Bytes of a picture of width x height with rows padded to 32 bits, as QImage lays them out.
constexpr qint64 PaddedPictureBytes(qint64 width, qint64 height, int bytesPerPixel) {
  return ((width * bytesPerPixel + 3) / 4 * 4) * height;
}

// True when a picture of width x height (each at most 2^31) at bytesPerPixel stays within both
// caps; computed in 64 bits so that no header value can overflow it.
constexpr bool FitsPictureLimits(qint64 width, qint64 height, int bytesPerPixel = 3) {
  return width > 0 && height > 0 && width * height <= MaxPicturePixels &&
         PaddedPictureBytes(width, height, bytesPerPixel) <= MaxPictureBytes;
}

}  // namespace zephra::viewer
