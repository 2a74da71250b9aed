#include "widgets/span_region.h"

#include <gtest/gtest.h>

namespace zephra::widgets {
namespace {

long long Area(const QRegion& region) {
  long long area = 0;
  for (const QRect& r : region) area += 1LL * r.width() * r.height();
  return area;
}

TEST(SpanRegion, SpansAreClippedSortedAndMerged) {
  std::vector<TSpan> spans = {{8, 12}, {-3, 2}, {2, 4}, {20, 30}, {10, 11}, {6, 6}};
  NormaliseSpans(spans, 25);
  ASSERT_EQ(spans.size(), 3u);
  EXPECT_EQ(spans[0].Left, 0);
  EXPECT_EQ(spans[0].Right, 4);  // touching spans join
  EXPECT_EQ(spans[1].Left, 8);
  EXPECT_EQ(spans[1].Right, 12);
  EXPECT_EQ(spans[2].Right, 25);
}

TEST(SpanRegion, TrianglesSharingEdgesTileWithoutGapOrOverlap) {
  // A 40 x 30 picture cut into four triangles at an off-centre point.
  const QPoint c(17, 11);
  const QPoint corners[] = {{0, 0}, {0, 30}, {40, 30}, {40, 0}};
  long long total = 0;
  QRegion all;
  for (int i = 0; i < 4; ++i) {
    TRowSpans rows(40, 30);
    rows.AddConvexPolygon({c, corners[i], corners[(i + 1) % 4]});
    const QRegion part = rows.Region();
    total += Area(part);
    EXPECT_TRUE((all & part).isEmpty()) << i;
    all += part;
  }
  EXPECT_EQ(total, 40 * 30);
  EXPECT_EQ(all, QRegion(0, 0, 40, 30));
}

TEST(SpanRegion, CirclesAndDiamondsTakeThePixelsWhoseCentresTheyHold) {
  TRowSpans circle(50, 50);
  circle.AddCircle(25, 25, 10);
  const QRegion round = circle.Region();
  EXPECT_EQ(round.boundingRect(), QRect(15, 15, 20, 20));
  EXPECT_TRUE(round.contains(QPoint(24, 15)));
  EXPECT_FALSE(round.contains(QPoint(15, 15)));

  TRowSpans diamond(50, 50);
  diamond.AddConvexPolygon({{15, 25}, {25, 15}, {35, 25}, {25, 35}});
  const QRegion d = diamond.Region();
  // Rows hold 1, 3, ..., 19, 19, ..., 1 centres; right edges are open.
  EXPECT_EQ(d.boundingRect(), QRect(15, 15, 19, 20));
  EXPECT_EQ(Area(d), 200);
}

TEST(SpanRegion, EqualNeighbouringRowsBecomeOneBand) {
  TRowSpans rows(30, 10);
  rows.AddRect(QRect(2, 1, 5, 4));
  rows.AddRect(QRect(10, 1, 5, 4));
  rows.AddRect(QRect(20, 7, 2, 2));
  EXPECT_EQ(rows.Region().rectCount(), 3);
  TBandBuilder bands(30);
  bands.AddBand(0, 2, {{5, 9}, {0, 3}});
  bands.AddBand(2, 6, {{0, 3}, {5, 9}});
  bands.AddBand(7, 8, {{0, 3}, {5, 9}});  // not adjacent: a band of its own
  const QRegion region = bands.Region();
  EXPECT_EQ(region.rectCount(), 4);
  EXPECT_EQ(region,
            QRegion(0, 0, 3, 6) + QRegion(5, 0, 4, 6) + QRegion(0, 7, 3, 1) + QRegion(5, 7, 4, 1));
}

}  // namespace
}  // namespace zephra::widgets
