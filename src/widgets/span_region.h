#pragma once

#include <QPoint>
#include <QRect>
#include <QRegion>
#include <initializer_list>
#include <vector>

namespace zephra::widgets {

// A run of pixels [Left, Right) on a row.
struct TSpan {
  int Left = 0;
  int Right = 0;
};

// Collects spans row by row inside a picture of Width x Height and hands them over as a QRegion.
// Shapes are scan-converted at pixel centres, so shapes that share an edge neither overlap nor
// leave a gap. Much faster than uniting one QRegion per shape when there are many shapes.
class TRowSpans {
 public:
  TRowSpans(int width, int height);

  // Adds [left, right) on row y; clipped to the picture.
  void Add(int y, int left, int right);
  void AddRect(const QRect& rect);
  // A convex polygon given by its corners in order (either direction).
  void AddConvexPolygon(std::initializer_list<QPoint> corners);
  // The ellipse inscribed in the box (x - radius, y - radius) to (x + radius, y + radius).
  void AddCircle(int x, int y, int radius);

  // The union of everything added: rows with equal spans are joined into bands.
  QRegion Region();

 private:
  // Where a polygon's edges cross a row centre: the leftmost and rightmost crossing.
  struct THits {
    double Left = 0, Right = 0;
    int Count = 0;
  };
  void Widen(int y, double x);

  // A span and its row, in the order added.
  struct TRowSpan {
    int Row;
    TSpan Span;
  };

  int width_;
  int height_;
  std::vector<TRowSpan> spans_;
  std::vector<THits> hits_;  // scratch of AddConvexPolygon, cleared after each polygon
};

// Builds a QRegion from bands given from top to bottom, each with its spans (any order,
// overlaps allowed). Equal neighbouring bands are joined.
class TBandBuilder {
 public:
  explicit TBandBuilder(int width, std::size_t expectedRects = 0) : width_(width) {
    rects_.reserve(expectedRects);
  }
  void AddBand(int top, int bottom, std::vector<TSpan> spans);
  // The same for spans that are already sorted, clipped and merged.
  void AddNormalBand(int top, int bottom, const TSpan* first, const TSpan* last);
  QRegion Region() const;

 private:
  int width_;
  std::vector<QRect> rects_;
  std::vector<TSpan> lastSpans_;
  int lastBottom_ = -1;
  std::size_t lastFirst_ = 0;
};

// Sorts spans, clips them to [0, width) and merges the ones that overlap or touch.
void NormaliseSpans(std::vector<TSpan>& spans, int width);

}  // namespace zephra::widgets
