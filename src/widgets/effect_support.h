#pragma once

#include <QImage>
#include <QRect>
#include <QRegion>
#include <cstdint>
#include <vector>

namespace zephra::widgets {

// Progress is a percentage; 100 means the new picture is fully shown.
inline constexpr int NoProgress = 0;
inline constexpr int FullProgress = 100;
// The spacing parameter P that the viewer passes to every effect.
inline constexpr int DefaultEffectSpacing = 10;
// The unit u is the longer side x P / UnitDivisor.
inline constexpr int UnitDivisor = 90;

// a x b / c with a 64-bit product, rounded to the nearest integer (halves away from zero).
// Returns -1 when c is 0 or the result does not fit 32 bits, like the Windows function.
int MulDiv(int a, int b, int c);

// Progress limited to [NoProgress, FullProgress].
int ClampProgress(int progress);

// The measures every region effect starts from, for a picture of Width x Height pixels.
struct TEffectMeasures {
  int Width = 0;
  int Height = 0;
  int Progress = 0;  // percent, already clamped
  int Dx = 0;        // revealed extent along the width at this progress, 0..Width
  int Dy = 0;        // along the height, 0..Height
  int Unit = 0;      // u = MulDiv(longer side, P, 90); 0 for pictures of a few pixels
};
TEffectMeasures CommonMeasures(int width, int height, int spacing, int progress);

// True when both bitmaps hold pixels, have the same size and the same 24-bit format.
bool SameSurface(const QImage& dest, const QImage& source);

// The half-open rectangle [left, right) x [top, bottom) as QRect; empty when an extent is not
// positive.
QRect SpanRect(int left, int top, int right, int bottom);
// Union of many rectangles or regions, merged pairwise so that large sets stay fast.
QRegion UnionOf(const std::vector<QRect>& rects);
QRegion UnionOf(std::vector<QRegion> regions);

// The effects' random generator (uniform, 64-bit state), one per thread: seeding affects the
// calling thread's draws only.
void SeedEffectRandom(std::uint64_t seed);
std::uint64_t EffectRandom64();
// Uniform integer in [0, bound - 1]; bound >= 1.
int EffectRandomBelow(int bound);

}  // namespace zephra::widgets
