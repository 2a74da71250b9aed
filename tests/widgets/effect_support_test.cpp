#include "widgets/effect_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace zephra::widgets {
namespace {

TEST(EffectSupport, MulDivRoundsHalvesAwayFromZero) {
  EXPECT_EQ(MulDiv(930, 10, 90), 103);  // 103.33
  EXPECT_EQ(MulDiv(5, 1, 2), 3);
  EXPECT_EQ(MulDiv(-5, 1, 2), -3);
  EXPECT_EQ(MulDiv(7, 2, -4), -4);
  EXPECT_EQ(MulDiv(3, 10, 90), 0);
  // The 64-bit product does not overflow.
  EXPECT_EQ(MulDiv(2'000'000'000, 3, 4), 1'500'000'000);
  EXPECT_EQ(MulDiv(1, 1, 0), -1);
  EXPECT_EQ(MulDiv(2'000'000'000, 2, 1), -1);
}

TEST(EffectSupport, CommonMeasuresFollowTheLongerSide) {
  const TEffectMeasures wide = CommonMeasures(930, 570, DefaultEffectSpacing, 50);
  EXPECT_EQ(wide.Dx, 465);
  EXPECT_EQ(wide.Dy, 285);
  EXPECT_EQ(wide.Unit, 103);

  const TEffectMeasures tall = CommonMeasures(300, 1000, DefaultEffectSpacing, 33);
  EXPECT_EQ(tall.Dy, 330);
  EXPECT_EQ(tall.Dx, 99);
  EXPECT_EQ(tall.Unit, 111);

  const TEffectMeasures tiny = CommonMeasures(4, 3, DefaultEffectSpacing, 250);
  EXPECT_EQ(tiny.Progress, FullProgress);
  EXPECT_EQ(tiny.Dx, 4);
  EXPECT_EQ(tiny.Unit, 0);
}

TEST(EffectSupport, UnionOfManyRectanglesMatchesPlainUnion) {
  std::vector<QRect> rects;
  QRegion plain;
  for (int i = 0; i < 37; ++i) {
    rects.emplace_back(i * 7 % 50, i * 11 % 40, 5 + i % 9, 3 + i % 5);
    plain += rects.back();
  }
  rects.emplace_back();  // empty rectangles are ignored
  EXPECT_EQ(UnionOf(rects), plain);
  EXPECT_TRUE(UnionOf(std::vector<QRect>{}).isEmpty());
}

TEST(EffectSupport, SpanRectsAreHalfOpenAndEmptyWhenInverted) {
  EXPECT_EQ(SpanRect(2, 3, 5, 4), QRect(2, 3, 3, 1));
  EXPECT_TRUE(SpanRect(5, 0, 5, 9).isEmpty());
  EXPECT_TRUE(SpanRect(6, 0, 5, 9).isEmpty());
}

TEST(EffectSupport, RandomDrawsStayInRangeAndRepeatForASeed) {
  SeedEffectRandom(42);
  std::vector<int> first;
  for (int i = 0; i < 200; ++i) first.push_back(EffectRandomBelow(7));
  SeedEffectRandom(42);
  for (int i = 0; i < 200; ++i) EXPECT_EQ(EffectRandomBelow(7), first[i]);
  EXPECT_EQ(*std::min_element(first.begin(), first.end()), 0);
  EXPECT_EQ(*std::max_element(first.begin(), first.end()), 6);
}

}  // namespace
}  // namespace zephra::widgets
