#pragma once

#include <QImage>

namespace zephra::widgets::testing {

// Creates the one QApplication of the test program (offscreen unless a platform is set) unless
// it exists; it lives until the process ends.
void EnsureApplication();

// A 24-bit picture whose pixels all differ from those of other seeds (odd sizes included).
QImage NoisePicture(int width, int height, int seed);
// A 24-bit picture of one colour.
QImage FlatPicture(int width, int height, int blue, int green, int red);
// True when every pixel of `image` equals `expected`, padding ignored.
bool SamePixels(const QImage& image, const QImage& expected);
// Number of pixels that equal the same pixel of `other`.
int CountEqualPixels(const QImage& image, const QImage& other);

}  // namespace zephra::widgets::testing
