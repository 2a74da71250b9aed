#pragma once

#include <QImage>

namespace zephra::widgets {

// Fade weight k = p x 256 div 100 for a progress p in percent (256 at 100).
int FadeWeight(int progress);

// Every channel of every destination pixel becomes (k x source + (256 - k) x destination) div 256,
// which equals (k x (source - destination) + destination x 256) shifted right by 8. Both
// bitmaps 24-bit of equal size; k in [0, 256].
void FadeBlend(QImage& dest, const QImage& source, int k);

// Copies each pixel from the source when a fresh random draw in 0..99 is below the progress.
// Draws from the effects' random generator.
void DissolveBlend(QImage& dest, const QImage& source, int progress);

}  // namespace zephra::widgets
