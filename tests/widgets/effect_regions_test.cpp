#include "widgets/effect_regions.h"

#include <gtest/gtest.h>

#include <limits>

namespace zephra::widgets {
namespace {

TEffectMeasures At(int width, int height, int progress) {
  return CommonMeasures(width, height, DefaultEffectSpacing, progress);
}

// Pixels covered by a region inside the picture.
long long Area(const QRegion& region, int width, int height) {
  long long area = 0;
  for (const QRect& r : region& QRect(0, 0, width, height)) area += 1LL * r.width() * r.height();
  return area;
}

TEST(EffectRegions, HorizontalBlindsOn930x570OpenFromNothingToClosed) {
  const auto closed = BlindStripes(At(930, 570, 10), 1);
  ASSERT_TRUE(closed);
  EXPECT_EQ(closed->size(), 114u);  // period 570 div 103 = 5
  EXPECT_TRUE(UnionOf(*closed).isEmpty());

  const auto half = BlindStripes(At(930, 570, 60), 1);
  EXPECT_EQ((*half)[3], QRect(0, 15, 930, 3));
  EXPECT_EQ(Area(UnionOf(*half), 930, 570), 930 * 3 * 114);

  const auto open = BlindStripes(At(930, 570, 100), 1);
  EXPECT_EQ(Area(UnionOf(*open), 930, 570), 930 * 570);
}

TEST(EffectRegions, VerticalBlindsUseTheWidth) {
  const auto stripes = BlindStripes(At(930, 570, 50), 0);
  ASSERT_TRUE(stripes);
  EXPECT_EQ(stripes->size(), 104u);  // period 930 div 103 = 9
  EXPECT_EQ((*stripes)[1], QRect(9, 0, 4, 570));
}

TEST(EffectRegions, BlindsWithAPeriodOfZeroAreDegenerate) {
  // 570 div 103 would be fine, 50 div 103 is 0: the stripe loop would never end.
  EXPECT_FALSE(BlindStripes(At(930, 50, 50), 1));
  EXPECT_FALSE(BlindStripes(At(3, 3, 50), 1));  // u = 0
  EXPECT_TRUE(BlindStripes(At(930, 50, 50), 0));
}

TEST(EffectRegions, RectangleGridOn930x570) {
  EXPECT_EQ(RectangleGridCount(103), 10);
  EXPECT_EQ(RectangleGridCount(20), 10);
  EXPECT_EQ(RectangleGridCount(7), 3);
  EXPECT_EQ(RectangleGridCount(1), 1);
  const auto rects = GrowingRectangles(At(930, 570, 50));
  ASSERT_TRUE(rects);
  ASSERT_EQ(rects->size(), 121u);
  // Cells 93 x 57; half-extents 465 div 10 and 285 div 10.
  EXPECT_EQ((*rects)[0], QRect(-46, -28, 92, 56));
  EXPECT_EQ((*rects)[12], QRect(93 - 46, 57 - 28, 92, 56));
  EXPECT_EQ(rects->back(), QRect(930 - 46, 570 - 28, 92, 56));
}

TEST(EffectRegions, RectanglesNeedCellsOfAtLeastOnePixel) {
  EXPECT_FALSE(GrowingRectangles(At(4, 4, 50)));     // u = 0
  EXPECT_FALSE(GrowingRectangles(At(2000, 5, 50)));  // 10 cells on 5 rows
  EXPECT_TRUE(GrowingRectangles(At(2000, 10, 50)));
}

TEST(EffectRegions, DiamondsAndCirclesGrowFromCellCentres) {
  // 100 x 60: s = 7, centres at 7, 21, ... along both axes.
  EXPECT_TRUE(GrowingDiamonds(At(100, 60, 0)).isEmpty());
  const QRegion diamonds = GrowingDiamonds(At(100, 60, 30));  // r = 4
  EXPECT_TRUE(diamonds.contains(QPoint(7, 7)));
  EXPECT_TRUE(diamonds.contains(QPoint(35, 49)));
  EXPECT_FALSE(diamonds.contains(QPoint(11, 10)));
  const QRegion circles = GrowingCircles(At(100, 60, 40));  // r = MulDiv(21, 40, 200) = 4
  EXPECT_TRUE(circles.contains(QPoint(21, 35)));
  EXPECT_FALSE(circles.contains(QPoint(21, 30)));
}

TEST(EffectRegions, DiamondBandWidensBothWaysFromTheMidpointDiamond) {
  EXPECT_TRUE(DiamondBand(At(200, 100, 0)).isEmpty());
  const QRegion band = DiamondBand(At(200, 100, 20));  // hx = 20, hy = 10
  EXPECT_TRUE(band.contains(QPoint(5, 50)));           // just inside the midpoint diamond
  EXPECT_FALSE(band.contains(QPoint(100, 50)));        // the centre is revealed last
  EXPECT_FALSE(band.contains(QPoint(2, 2)));           // the corners too
}

TEST(EffectRegions, StarBurstSweepsEachEdgeFromACorner) {
  const QRegion star = StarBurst(At(200, 100, 50));  // dx = 100, dy = 50
  EXPECT_TRUE(star.contains(QPoint(1, 10)));         // left edge, from the top corner
  EXPECT_FALSE(star.contains(QPoint(1, 90)));
  EXPECT_TRUE(star.contains(QPoint(20, 99)));   // bottom edge, from the left corner
  EXPECT_TRUE(star.contains(QPoint(198, 90)));  // right edge, from the bottom corner
  EXPECT_TRUE(star.contains(QPoint(180, 0)));   // top edge, from the right corner
  EXPECT_FALSE(star.contains(QPoint(20, 0)));
}

TEST(EffectRegions, CombTurnsBackFromTheOtherSide) {
  // Rows 0-4 even, 5-9 odd, 10-14 even.
  const QRegion going = Comb(100, 15, 40, ckNearTurnsBack, 0, ckNone, 0);
  EXPECT_EQ(going, QRegion(0, 0, 40, 5) + QRegion(0, 10, 40, 5));
  const QRegion back = Comb(100, 15, 130, ckNearTurnsBack, 0, ckNone, 0);
  EXPECT_EQ(back, QRegion(0, 0, 100, 5) + QRegion(70, 5, 30, 5) + QRegion(0, 10, 100, 5));
  const QRegion mirrored = Comb(100, 15, 130, ckFarTurnsBack, 0, ckNone, 0);
  EXPECT_EQ(mirrored, QRegion(0, 0, 100, 5) + QRegion(0, 5, 30, 5) + QRegion(0, 10, 100, 5));
}

TEST(EffectRegions, CombSnapsToTheFullSideWithinOneUnit) {
  EXPECT_EQ(Comb(100, 10, 85, ckFarSide, 0, ckNone, 20), QRegion(0, 0, 100, 5));
  EXPECT_EQ(Comb(100, 10, 75, ckFarSide, 0, ckNone, 20), QRegion(25, 0, 75, 5));
  // Both sides at once, and columns growing from the bottom.
  EXPECT_EQ(Comb(100, 10, 30, ckBothSides, 0, ckNone, 0),
            QRegion(70, 0, 30, 5) + QRegion(0, 5, 30, 5));
  EXPECT_EQ(Comb(12, 100, 0, ckNone, 30, ckFarSide, 0),
            QRegion(0, 70, 5, 30) + QRegion(10, 70, 2, 30));
}

TEST(EffectRegions, EveryMeshPatternCoversThePictureWhenComplete) {
  for (int pattern = 0; pattern < 6; ++pattern) {
    EXPECT_EQ(Area(Mesh(At(333, 211, 100), pattern), 333, 211), 333 * 211) << pattern;
    EXPECT_LT(Area(Mesh(At(333, 211, 30), pattern), 333, 211), 333 * 211) << pattern;
  }
}

TEST(EffectRegions, SpotsHoldTheSolidPartAndCellsOnlyInFront) {
  SeedEffectRandom(7);
  const TEffectMeasures m = At(1000, 300, 40);  // a = 400, zone 100, cells 5, 20 per zone
  const QRegion fromRight = Spots(m, 0);
  EXPECT_TRUE(fromRight.contains(QPoint(650, 150)));
  EXPECT_TRUE(fromRight.contains(QPoint(598, 150)));  // the nearest cell is always taken
  EXPECT_TRUE((fromRight & QRect(0, 0, 500, 300)).isEmpty());
  const QRegion fromLeft = Spots(m, 1);
  EXPECT_TRUE(fromLeft.contains(QPoint(350, 10)));
  EXPECT_TRUE((fromLeft & QRect(500, 0, 500, 300)).isEmpty());
}

TEST(EffectRegions, SpotsOnPicturesWiderThan327680KeepTheirCells) {
  // W x 6554 no longer fits 32 bits: zone 40001, cells 2000.
  SeedEffectRandom(3);
  const QRegion spots = Spots(At(400000, 4, 50), 0);
  EXPECT_TRUE(spots.contains(QPoint(200000, 0)));  // the solid part
  EXPECT_TRUE(spots.contains(QPoint(198000, 3)));  // the nearest cell is always taken
  EXPECT_FALSE(spots.contains(QPoint(150000, 0)));
}

TEST(EffectRegions, CombSnapUnitNearTheIntegerLimitDoesNotOverflow) {
  // Any snap unit beyond the width snaps the extent to the full width.
  EXPECT_EQ(Comb(20, 10, 5, ckFarSide, 0, ckNone, std::numeric_limits<int>::max()),
            QRegion(0, 0, 20, 5));
}

}  // namespace
}  // namespace zephra::widgets
