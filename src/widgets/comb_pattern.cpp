#include "widgets/comb_pattern.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "widgets/region_copy.h"

namespace zephra::widgets {
namespace {

constexpr int BytesPerPixel = 3;
constexpr std::uint8_t MaskOn = 0xFF;

bool IsEvenBand(int position) { return (position / CombBand) % 2 == 0; }

// Appends [left, right) to spans sorted by position, joining it to the last one if they touch.
void AppendSpan(std::vector<TSpan>& spans, int left, int right) {
  if (!spans.empty() && spans.back().Right >= left) {
    spans.back().Right = std::max(spans.back().Right, right);
  } else {
    spans.push_back({left, right});
  }
}

TSpan Intersect(TSpan a, TSpan b) { return {std::max(a.Left, b.Left), std::min(a.Right, b.Right)}; }

// Byte masks of the even and the odd columns of a row, built once per copy.
class TColumnMasks {
 public:
  explicit TColumnMasks(int width) {
    even_.assign(static_cast<std::size_t>(width) * BytesPerPixel, 0);
    odd_.assign(even_.size(), 0);
    for (int x = 0; x < width; ++x) {
      (IsEvenBand(x) ? even_ : odd_)[static_cast<std::size_t>(x) * BytesPerPixel] = MaskOn;
    }
    for (std::size_t i = 0; i < even_.size(); i += BytesPerPixel) {
      for (int c = 1; c < BytesPerPixel; ++c) {
        even_[i + c] = even_[i];
        odd_[i + c] = odd_[i];
      }
    }
  }
  // Mask for the columns selected, or nullptr when none or all are.
  const std::uint8_t* For(bool even, bool odd) const {
    if (even == odd) return nullptr;
    return even ? even_.data() : odd_.data();
  }

 private:
  std::vector<std::uint8_t> even_, odd_;
};

// Copies one row's pixels in `span`, all of them or only those under `mask`.
class TRowCopy {
 public:
  TRowCopy(std::uint8_t* dest, const std::uint8_t* source) : dest_(dest), source_(source) {}
  void Span(TSpan span, const std::uint8_t* mask = nullptr) const {
    if (span.Right <= span.Left) return;
    const qsizetype offset = static_cast<qsizetype>(span.Left) * BytesPerPixel;
    const qsizetype length = static_cast<qsizetype>(span.Right - span.Left) * BytesPerPixel;
    if (mask) {
      CopyMaskedBytes(dest_ + offset, source_ + offset, mask + offset, length);
    } else {
      std::memcpy(dest_ + offset, source_ + offset, static_cast<std::size_t>(length));
    }
  }

 private:
  std::uint8_t* dest_;
  const std::uint8_t* source_;
};

// The columns of a row: all of the row when both kinds are on.
void CopyColumns(const TRowCopy& row, const TColumnMasks& masks, TSpan within, bool even,
                 bool odd) {
  if (!even && !odd) return;
  row.Span(within, masks.For(even, odd));
}

}  // namespace

TCombShape::TParts TCombShape::Parts(int length, int extent, int kind, int snap) {
  TParts p;
  if (extent > length) {
    // Even bands are full; odd bands come back from one side.
    p.EvenTo = length;
    if (kind == ckFarSide || kind == ckNearTurnsBack) {
      p.OddFrom = 2 * length - extent;
      p.OddTo = length;
    } else if (kind == ckNearSide || kind == ckFarTurnsBack) {
      p.OddTo = extent - length;
    }
    return p;
  }
  if (length - extent < snap) extent = length;  // length < snap + extent, without overflow
  if (kind == ckFarSide || kind == ckFarTurnsBack || kind == ckBothSides) {
    p.EvenFrom = length - extent;
    p.EvenTo = length;
  } else if (kind == ckNearSide || kind == ckNearTurnsBack) {
    p.EvenTo = extent;
  }
  if (kind == ckBothSides) p.OddTo = extent;
  return p;
}

TCombShape::TCombShape(int width, int height, int a, int k, int b, int t, int snap)
    : width_(width),
      height_(height),
      across_(Parts(width, a, k, snap)),
      down_(Parts(height, b, t, snap)) {}

TCombRow TCombShape::Row(int y) const {
  TCombRow row;
  const bool even = IsEvenBand(y);
  row.Band = even ? TSpan{across_.EvenFrom, across_.EvenTo} : TSpan{across_.OddFrom, across_.OddTo};
  row.EvenColumns = down_.EvenFrom <= y && y < down_.EvenTo;
  row.OddColumns = down_.OddFrom <= y && y < down_.OddTo;
  return row;
}

std::vector<TSpan> TCombShape::RowSpans(int y) const {
  const TCombRow row = Row(y);
  std::vector<TSpan> spans;
  if (row.EvenColumns || row.OddColumns) {
    for (int x = 0; x < width_; x += CombBand) {
      if (IsEvenBand(x) ? row.EvenColumns : row.OddColumns) {
        AppendSpan(spans, x, std::min(x + CombBand, width_));
      }
    }
  }
  if (row.Band.Left < row.Band.Right) spans.push_back(row.Band);
  return spans;
}

QRegion TCombShape::Region() const {
  // The pattern can change only at band edges and where the columns' spans end.
  std::vector<int> cuts = {0, height_, down_.EvenFrom, down_.EvenTo, down_.OddFrom, down_.OddTo};
  for (int y = CombBand; y < height_; y += CombBand) cuts.push_back(y);
  for (int& y : cuts) y = std::clamp(y, 0, height_);
  std::sort(cuts.begin(), cuts.end());
  cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
  TBandBuilder bands(width_);
  for (std::size_t i = 0; i + 1 < cuts.size(); ++i) {
    bands.AddBand(cuts[i], cuts[i + 1], RowSpans(cuts[i]));
  }
  return bands.Region();
}

void CopyThroughComb(QImage& dest, const QImage& source, const TCombShape& comb) {
  const TColumnMasks masks(comb.Width());
  const TSpan all{0, std::min(comb.Width(), dest.width())};
  for (int y = 0; y < std::min(comb.Height(), dest.height()); ++y) {
    const TCombRow row = comb.Row(y);
    const TRowCopy copy(dest.scanLine(y), source.constScanLine(y));
    CopyColumns(copy, masks, all, row.EvenColumns, row.OddColumns);
    copy.Span(Intersect(row.Band, all));
  }
}

void CopyThroughCombs(QImage& dest, const QImage& source, const TCombShape& first,
                      const TCombShape& second) {
  const TColumnMasks masks(first.Width());
  const TSpan all{0, std::min(first.Width(), dest.width())};
  for (int y = 0; y < std::min(first.Height(), dest.height()); ++y) {
    const TCombRow a = first.Row(y), b = second.Row(y);
    const TRowCopy copy(dest.scanLine(y), source.constScanLine(y));
    // (band A + columns A) x (band B + columns B), piece by piece.
    copy.Span(Intersect(Intersect(a.Band, b.Band), all));
    CopyColumns(copy, masks, Intersect(a.Band, all), b.EvenColumns, b.OddColumns);
    CopyColumns(copy, masks, Intersect(b.Band, all), a.EvenColumns, a.OddColumns);
    CopyColumns(copy, masks, all, a.EvenColumns && b.EvenColumns, a.OddColumns && b.OddColumns);
  }
}

}  // namespace zephra::widgets
