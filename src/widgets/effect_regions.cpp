#include "widgets/effect_regions.h"

#include <algorithm>
#include <cstdint>

#include "widgets/span_region.h"

namespace zephra::widgets {
namespace {

constexpr int GridMaxCount = 10;       // cells per side of the growing rectangles
constexpr int GridFullUnitAbove = 20;  // u above this gives the full grid
constexpr int GridHalfUnitAbove = 1;   // u above this (and not above 20) gives u div 2 cells
constexpr int CellDivisor = 10;        // diamond and circle cells: min(W, H) div 10 + 1
constexpr int DiamondPercent = 50;     // r = MulDiv(s, p, 50)
constexpr int CircleNumerator = 3;     // r = MulDiv(3s, p, 200)
constexpr int CircleDenominator = 200;
constexpr int SpotZoneFactor = 6554;  // about a tenth, in 16-bit fixed point
constexpr int SpotZoneShift = 16;
constexpr int SpotCellShift = 17;  // the cell is about a twentieth of the zone
constexpr int SpotMinCell = 2;
constexpr int SpotNearCellsNumerator = 3;  // cells m <= 3h/4 are taken more often
constexpr int SpotNearCellsDenominator = 4;
constexpr int SpotNearCellLimit = 1;  // taken when a draw in 0..m-1 is at most this
constexpr int SpotFarCellLimit = 0;

void AddDiamond(TRowSpans& rows, int x, int y, int hx, int hy) {
  rows.AddConvexPolygon({{x - hx, y}, {x, y - hy}, {x + hx, y}, {x, y + hy}});
}

// Calls `visit(x, y)` for every centre of the diamond and circle cells.
template <typename Visit>
void ForEachCellCentre(const TEffectMeasures& m, int s, Visit visit) {
  for (int i = 0; 2 * i * s < m.Width; ++i) {
    for (int j = 0; 2 * j * s < m.Height; ++j) visit((2 * i + 1) * s, (2 * j + 1) * s);
  }
}

int CellSide(const TEffectMeasures& m) { return std::min(m.Width, m.Height) / CellDivisor + 1; }

// One band of the spots: the solid part and the cells taken in front of it.
void AddSpotBand(TRowSpans& rows, const TEffectMeasures& m, int direction, int y, int g, int h) {
  const int a = m.Dx;
  const int bottom = y + g;
  if (direction == 0) {
    rows.AddRect(SpanRect(m.Width - a, y, m.Width, bottom));
  } else {
    rows.AddRect(SpanRect(0, y, a, bottom));
  }
  const int nearCells = SpotNearCellsNumerator * h / SpotNearCellsDenominator;
  for (int cell = h; cell >= 1; --cell) {
    const int limit = cell <= nearCells ? SpotNearCellLimit : SpotFarCellLimit;
    if (EffectRandomBelow(cell) > limit) continue;
    const int left = direction == 0 ? m.Width - a - cell * g : a + (cell - 1) * g;
    rows.AddRect(SpanRect(left, y, left + g, bottom));
  }
}

}  // namespace

std::optional<std::vector<QRect>> BlindStripes(const TEffectMeasures& m, int orientation) {
  const bool horizontal = orientation == 1;
  const int along = horizontal ? m.Height : m.Width;
  if (m.Unit <= 0 || along / m.Unit <= 0) return std::nullopt;
  const int period = along / m.Unit;
  const int open = m.Progress * period / FullProgress;
  std::vector<QRect> stripes;
  for (int start = 0; start < along; start += period) {
    stripes.push_back(horizontal ? SpanRect(0, start, m.Width, start + open)
                                 : SpanRect(start, 0, start + open, m.Height));
  }
  return stripes;
}

int RectangleGridCount(int unit) {
  if (unit > GridFullUnitAbove) return GridMaxCount;
  if (unit > GridHalfUnitAbove) return unit / 2;
  return unit;
}

std::optional<std::vector<QRect>> GrowingRectangles(const TEffectMeasures& m) {
  const int n = RectangleGridCount(m.Unit);
  if (n <= 0 || m.Width / n <= 0 || m.Height / n <= 0) return std::nullopt;
  const int cw = m.Width / n, ch = m.Height / n;
  const int hx = m.Dx / n, hy = m.Dy / n;
  std::vector<QRect> rects;
  for (int i = 0; i <= n; ++i) {
    for (int j = 0; j <= n; ++j) {
      rects.push_back(SpanRect(i * cw - hx, j * ch - hy, i * cw + hx, j * ch + hy));
    }
  }
  return rects;
}

QRegion GrowingDiamonds(const TEffectMeasures& m) {
  const int s = CellSide(m);
  const int r = MulDiv(s, m.Progress, DiamondPercent);
  TRowSpans rows(m.Width, m.Height);
  ForEachCellCentre(m, s, [&](int x, int y) { AddDiamond(rows, x, y, r, r); });
  return rows.Region();
}

QRegion GrowingCircles(const TEffectMeasures& m) {
  const int s = CellSide(m);
  const int r = MulDiv(CircleNumerator * s, m.Progress, CircleDenominator);
  TRowSpans rows(m.Width, m.Height);
  ForEachCellCentre(m, s, [&](int x, int y) { rows.AddCircle(x, y, r); });
  return rows.Region();
}

QRegion DiamondBand(const TEffectMeasures& m) {
  const int cx = m.Width / 2, cy = m.Height / 2;
  const int hx = m.Dx / 2, hy = m.Dy / 2;
  TRowSpans outer(m.Width, m.Height), inner(m.Width, m.Height);
  outer.AddConvexPolygon({{-hx, cy}, {cx, -hy}, {2 * cx + hx, cy}, {cx, 2 * cy + hy}});
  inner.AddConvexPolygon({{hx, cy}, {cx, hy}, {2 * cx - hx, cy}, {cx, 2 * cy - hy}});
  return outer.Region().xored(inner.Region());
}

QRegion StarBurst(const TEffectMeasures& m) {
  const int w = m.Width, h = m.Height;
  const QPoint c(w / 2, h / 2);
  TRowSpans rows(w, h);
  rows.AddConvexPolygon({c, {0, 0}, {0, m.Dy}});
  rows.AddConvexPolygon({c, {0, h}, {m.Dx, h}});
  rows.AddConvexPolygon({c, {w, h}, {w, h - m.Dy}});
  rows.AddConvexPolygon({c, {w, 0}, {w - m.Dx, 0}});
  return rows.Region();
}

QRegion Comb(int width, int height, int a, int k, int b, int t, int snap) {
  return TCombShape(width, height, a, k, b, t, snap).Region();
}

TCombShape TurningCombShape(const TEffectMeasures& m, int direction) {
  const int kind = direction == 0 ? ckNearTurnsBack : ckFarTurnsBack;
  return TCombShape(m.Width, m.Height, 2 * m.Dx, kind, 0, ckNone, m.Unit);
}

QRegion TurningComb(const TEffectMeasures& m, int direction) {
  return TurningCombShape(m, direction).Region();
}

TMeshShapes MeshShapes(const TEffectMeasures& m, int pattern) {
  const int w = m.Width, h = m.Height, a = m.Dx, b = m.Dy, u = m.Unit;
  switch (pattern) {
    case 0:
      return {TCombShape(w, h, a, ckFarSide, b, ckBothSides, u), std::nullopt};
    case 1:
      return {TCombShape(w, h, a, ckNearSide, b, ckBothSides, u), std::nullopt};
    case 2:
      return {TCombShape(w, h, a, ckBothSides, b, ckFarSide, u), std::nullopt};
    case 3:
      return {TCombShape(w, h, a, ckBothSides, b, ckNearSide, u), std::nullopt};
    case 4:
      return {TCombShape(w, h, a, ckBothSides, b, ckBothSides, 0), std::nullopt};
    default:
      return {TCombShape(w, h, 2 * a, ckFarSide, 2 * b, ckFarSide, u),
              TCombShape(w, h, 2 * a, ckNearSide, 2 * b, ckNearSide, u)};
  }
}

QRegion Mesh(const TEffectMeasures& m, int pattern) {
  const TMeshShapes shapes = MeshShapes(m, pattern);
  const QRegion first = shapes.First.Region();
  return shapes.Second ? first.intersected(shapes.Second->Region()) : first;
}

QRegion Spots(const TEffectMeasures& m, int direction) {
  // 64-bit products: W x 6554 leaves 32 bits from a width of 327680 on.
  const std::int64_t zoneFactor = SpotZoneFactor;
  const int f = m.Dx < m.Width ? static_cast<int>((m.Width * zoneFactor) >> SpotZoneShift) : 0;
  const int g = std::max(SpotMinCell, static_cast<int>((f * zoneFactor) >> SpotCellShift));
  const int h = f / g;
  TRowSpans rows(m.Width, m.Height);
  for (int y = 0; y < m.Height; y += g / 2) AddSpotBand(rows, m, direction, y, g, h);
  return rows.Region();
}

}  // namespace zephra::widgets
