#include "widgets/transition_effects.h"

#include <atomic>
#include <optional>
#include <vector>

#include "widgets/blend_effects.h"
#include "widgets/effect_regions.h"
#include "widgets/effect_support.h"
#include "widgets/region_copy.h"

namespace zephra::widgets {
namespace {

constexpr int DissolveMinRows = 2;  // lower pictures are copied whole

// Program-wide: the caller sets them before a transition, the effects read them per step.
std::atomic<int> variantPattern{0};
std::atomic<int> variantDirection{0};
std::atomic<int> variantOrientation{0};

// The shared frame of every effect: checks the bitmaps, finishes with a whole copy at 100 and
// otherwise runs `step` with the common measures.
template <typename Step>
void RunEffect(QImage& dest, const QImage& source, const QRect& rect, int spacing, int progress,
               Step step) {
  const QRect area = rect & dest.rect();
  if (!SameSurface(dest, source) || area.isEmpty()) return;
  if (ClampProgress(progress) >= FullProgress) {
    CopyWhole(dest, source);
    return;
  }
  step(CommonMeasures(area.width(), area.height(), spacing, progress));
}

void CopyRects(QImage& dest, const QImage& source, const std::optional<std::vector<QRect>>& rects) {
  if (rects) CopyThroughRegion(dest, source, UnionOf(*rects));
}

}  // namespace

void SetEffectVariant(const TEffectVariant& value) {
  variantPattern.store(value.Pattern, std::memory_order_relaxed);
  variantDirection.store(value.Direction, std::memory_order_relaxed);
  variantOrientation.store(value.Orientation, std::memory_order_relaxed);
}

TEffectVariant EffectVariant() {
  return {variantPattern.load(std::memory_order_relaxed),
          variantDirection.load(std::memory_order_relaxed),
          variantOrientation.load(std::memory_order_relaxed)};
}

// The fade and the dissolve work on the whole bitmaps, whatever the rectangle.
void EffectFade(QImage& dest, const QImage& source, const QRect&, int spacing, int progress) {
  RunEffect(dest, source, dest.rect(), spacing, progress,
            [&](const TEffectMeasures& m) { FadeBlend(dest, source, FadeWeight(m.Progress)); });
}

void EffectBlinds(QImage& dest, const QImage& source, const QRect& rect, int spacing,
                  int progress) {
  RunEffect(dest, source, rect, spacing, progress, [&](const TEffectMeasures& m) {
    CopyRects(dest, source, BlindStripes(m, EffectVariant().Orientation));
  });
}

void EffectRectangles(QImage& dest, const QImage& source, const QRect& rect, int spacing,
                      int progress) {
  RunEffect(dest, source, rect, spacing, progress,
            [&](const TEffectMeasures& m) { CopyRects(dest, source, GrowingRectangles(m)); });
}

void EffectDiamonds(QImage& dest, const QImage& source, const QRect& rect, int spacing,
                    int progress) {
  RunEffect(dest, source, rect, spacing, progress,
            [&](const TEffectMeasures& m) { CopyThroughRegion(dest, source, GrowingDiamonds(m)); });
}

void EffectCircles(QImage& dest, const QImage& source, const QRect& rect, int spacing,
                   int progress) {
  RunEffect(dest, source, rect, spacing, progress,
            [&](const TEffectMeasures& m) { CopyThroughRegion(dest, source, GrowingCircles(m)); });
}

void EffectTurningComb(QImage& dest, const QImage& source, const QRect& rect, int spacing,
                       int progress) {
  RunEffect(dest, source, rect, spacing, progress, [&](const TEffectMeasures& m) {
    CopyThroughComb(dest, source, TurningCombShape(m, EffectVariant().Direction));
  });
}

void EffectDiamondBand(QImage& dest, const QImage& source, const QRect& rect, int spacing,
                       int progress) {
  RunEffect(dest, source, rect, spacing, progress,
            [&](const TEffectMeasures& m) { CopyThroughRegion(dest, source, DiamondBand(m)); });
}

void EffectMesh(QImage& dest, const QImage& source, const QRect& rect, int spacing, int progress) {
  RunEffect(dest, source, rect, spacing, progress, [&](const TEffectMeasures& m) {
    const TMeshShapes mesh = MeshShapes(m, EffectVariant().Pattern);
    if (mesh.Second) {
      CopyThroughCombs(dest, source, mesh.First, *mesh.Second);
    } else {
      CopyThroughComb(dest, source, mesh.First);
    }
  });
}

void EffectDissolve(QImage& dest, const QImage& source, const QRect&, int spacing, int progress) {
  RunEffect(dest, source, dest.rect(), spacing, progress, [&](const TEffectMeasures& m) {
    if (m.Height < DissolveMinRows) {
      CopyWhole(dest, source);
    } else {
      DissolveBlend(dest, source, m.Progress);
    }
  });
}

void EffectSpots(QImage& dest, const QImage& source, const QRect& rect, int spacing, int progress) {
  RunEffect(dest, source, rect, spacing, progress, [&](const TEffectMeasures& m) {
    CopyThroughRegion(dest, source, Spots(m, EffectVariant().Direction));
  });
}

void EffectStarBurst(QImage& dest, const QImage& source, const QRect& rect, int spacing,
                     int progress) {
  RunEffect(dest, source, rect, spacing, progress,
            [&](const TEffectMeasures& m) { CopyThroughRegion(dest, source, StarBurst(m)); });
}

const std::array<TEffect, EffectCount> Effects = {{
    {"淡入淡出", EffectFade},
    {"百叶窗", EffectBlinds},
    {"矩形碎布", EffectRectangles},
    {"菱形碎布", EffectDiamonds},
    {"圆形碎布", EffectCircles},
    {"淡入淡出", EffectFade},
    {"百叶窗向对侧回转拉伸", EffectTurningComb},
    {"菱形缩放展开", EffectDiamondBand},
    {"多向网状交替展开", EffectMesh},
    {"溶解", EffectDissolve},
    {"淡入淡出", EffectFade},
    {"斑点向对侧展开", EffectSpots},
    {"星爆式(逆时针)", EffectStarBurst},
}};

}  // namespace zephra::widgets
