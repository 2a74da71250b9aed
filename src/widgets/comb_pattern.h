#pragma once

#include <QImage>
#include <QRegion>

#include "widgets/span_region.h"

namespace zephra::widgets {

// Kinds of the comb's parts: which bands grow from which side.
enum TCombKind : int {
  ckNone = 0,
  ckFarSide = 1,        // even bands from the right (bottom), then odd bands back from the right
  ckNearSide = 2,       // even bands from the left (top), then odd bands back from the left
  ckBothSides = 3,      // even bands from the right, odd bands from the left
  ckNearTurnsBack = 4,  // even bands from the left, then odd bands from the right
  ckFarTurnsBack = 5,   // even bands from the right, then odd bands from the left
};

// Comb bands and columns are this many pixels across.
inline constexpr int CombBand = 5;

// What a comb covers on one row: a span of the row's band, and every even and/or odd column.
struct TCombRow {
  TSpan Band;
  bool EvenColumns = false;
  bool OddColumns = false;
};

// A comb of 5-pixel bands over a picture of width x height: rows grown to horizontal extent a
// (0..2 x width) with kind k, united with columns grown to vertical extent b (0..2 x height)
// with kind t. An extent closer than `snap` to the full side is snapped to it.
class TCombShape {
 public:
  TCombShape(int width, int height, int a, int k, int b, int t, int snap);

  int Width() const { return width_; }
  int Height() const { return height_; }
  TCombRow Row(int y) const;
  QRegion Region() const;

 private:
  // The spans [from, to) that even and odd bands cover along one side.
  struct TParts {
    int EvenFrom = 0, EvenTo = 0;
    int OddFrom = 0, OddTo = 0;
  };
  static TParts Parts(int length, int extent, int kind, int snap);
  std::vector<TSpan> RowSpans(int y) const;

  int width_, height_;
  TParts across_;  // x spans of the row bands
  TParts down_;    // y spans of the columns
};

// Copies the source pixels under the comb, or under the intersection of two combs of the same
// size, onto the destination. Both bitmaps 24-bit of the combs' size.
void CopyThroughComb(QImage& dest, const QImage& source, const TCombShape& comb);
void CopyThroughCombs(QImage& dest, const QImage& source, const TCombShape& first,
                      const TCombShape& second);

}  // namespace zephra::widgets
