#pragma once

#include <QRect>
#include <QRegion>
#include <optional>
#include <vector>

#include "widgets/comb_pattern.h"
#include "widgets/effect_support.h"

namespace zephra::widgets {

// Regions that the transition effects uncover, in picture pixels, built from the common measures
// at a progress below 100. A builder returns nothing when the picture is too small for its
// measures (a zero period, unit or cell); the effect then leaves the destination alone until the
// final step, which always copies the whole picture.

// Blinds: orientation 1 gives full-width horizontal stripes of period q = H div u, each
// (p x q) div 100 high; orientation 0 gives vertical stripes with q = W div u.
std::optional<std::vector<QRect>> BlindStripes(const TEffectMeasures& m, int orientation);

// Growing rectangles: one rectangle around every point of an n x n grid of cells, edges
// included, so (n + 1)^2 rectangles.
std::optional<std::vector<QRect>> GrowingRectangles(const TEffectMeasures& m);
// The grid count n for a unit u.
int RectangleGridCount(int unit);

// Growing diamonds and circles around the centres of cells s = min(W, H) div 10 + 1 wide.
QRegion GrowingDiamonds(const TEffectMeasures& m);
QRegion GrowingCircles(const TEffectMeasures& m);

// The exclusive-or of two diamonds through the edge midpoints, widening both ways.
QRegion DiamondBand(const TEffectMeasures& m);

// Four triangles from the centre sweeping each edge from a corner, counter-clockwise.
QRegion StarBurst(const TEffectMeasures& m);

// Comb of 5-pixel bands as a region (see TCombShape).
QRegion Comb(int width, int height, int a, int k, int b, int t, int snap);

// The comb that turns back (direction 0 from the left, 1 from the right).
TCombShape TurningCombShape(const TEffectMeasures& m, int direction);
QRegion TurningComb(const TEffectMeasures& m, int direction);

// The mesh in one of six patterns (0..5): one comb, or for pattern 5 the intersection of two.
struct TMeshShapes {
  TCombShape First;
  std::optional<TCombShape> Second;
};
TMeshShapes MeshShapes(const TEffectMeasures& m, int pattern);
QRegion Mesh(const TEffectMeasures& m, int pattern);

// Overlapping bands with a solid part and random cells in front of it (direction 0 from the
// right, 1 from the left). Draws from the effects' random generator.
QRegion Spots(const TEffectMeasures& m, int direction);

}  // namespace zephra::widgets
