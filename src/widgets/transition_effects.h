#pragma once

#include <QImage>
#include <QRect>
#include <array>

namespace zephra::widgets {

// An effect step: draws onto `dest` the part of `source` that the effect uncovers at `progress`
// percent. `rect` is (0, 0, W, H) of both bitmaps, which have the same 24-bit format and size
// (otherwise nothing is drawn); a larger rectangle is cut to the bitmaps, and the fade and the
// dissolve ignore it. `spacing` is the spacing parameter P (the viewer passes 10). Steps add to
// what earlier steps drew; the step at progress 100 (or more) leaves the destination equal to
// the source, for any size down to 1 x 1.
using TEffectProc = void (*)(QImage& dest, const QImage& source, const QRect& rect, int spacing,
                             int progress);

struct TEffect {
  const char* Name;  // display name, UTF-8
  TEffectProc Proc;
};

inline constexpr int EffectCount = 13;
extern const std::array<TEffect, EffectCount> Effects;

// The variant values a caller sets before a transition: the mesh pattern (0..5), the direction
// of the turning comb and the spots (0 or 1), the orientation of the blinds (0 vertical stripes,
// 1 horizontal stripes). They may be set from any thread; each effect step reads them once.
struct TEffectVariant {
  int Pattern = 0;
  int Direction = 0;
  int Orientation = 0;
};
inline constexpr int MeshPatternCount = 6;
void SetEffectVariant(const TEffectVariant& variant);
TEffectVariant EffectVariant();

// The effects one by one, in table order.
void EffectFade(QImage& dest, const QImage& source, const QRect& rect, int spacing, int progress);
void EffectBlinds(QImage& dest, const QImage& source, const QRect& rect, int spacing, int progress);
void EffectRectangles(QImage& dest, const QImage& source, const QRect& rect, int spacing,
                      int progress);
void EffectDiamonds(QImage& dest, const QImage& source, const QRect& rect, int spacing,
                    int progress);
void EffectCircles(QImage& dest, const QImage& source, const QRect& rect, int spacing,
                   int progress);
void EffectTurningComb(QImage& dest, const QImage& source, const QRect& rect, int spacing,
                       int progress);
void EffectDiamondBand(QImage& dest, const QImage& source, const QRect& rect, int spacing,
                       int progress);
void EffectMesh(QImage& dest, const QImage& source, const QRect& rect, int spacing, int progress);
void EffectDissolve(QImage& dest, const QImage& source, const QRect& rect, int spacing,
                    int progress);
void EffectSpots(QImage& dest, const QImage& source, const QRect& rect, int spacing, int progress);
void EffectStarBurst(QImage& dest, const QImage& source, const QRect& rect, int spacing,
                     int progress);

}  // namespace zephra::widgets
