#include "widgets/span_region.h"

#include <algorithm>
#include <cmath>

namespace zephra::widgets {
namespace {

constexpr double PixelCentre = 0.5;

// First pixel whose centre is at or right of x: ceil(x - 0.5), without a library call.
int FirstCentreFrom(double x) {
  const double v = x - PixelCentre;
  const int truncated = static_cast<int>(v);
  return truncated < v ? truncated + 1 : truncated;
}

bool SameSpans(const TSpan* first, const TSpan* last, const std::vector<TSpan>& b) {
  return std::equal(first, last, b.begin(), b.end(), [](const TSpan& x, const TSpan& y) {
    return x.Left == y.Left && x.Right == y.Right;
  });
}

}  // namespace

void NormaliseSpans(std::vector<TSpan>& spans, int width) {
  for (TSpan& s : spans) {
    s.Left = std::max(s.Left, 0);
    s.Right = std::min(s.Right, width);
  }
  std::erase_if(spans, [](const TSpan& s) { return s.Right <= s.Left; });
  const auto byLeft = [](const TSpan& a, const TSpan& b) { return a.Left < b.Left; };
  if (!std::is_sorted(spans.begin(), spans.end(), byLeft)) {
    std::sort(spans.begin(), spans.end(), byLeft);
  }
  std::size_t out = 0;
  for (const TSpan& s : spans) {
    if (out > 0 && s.Left <= spans[out - 1].Right) {
      spans[out - 1].Right = std::max(spans[out - 1].Right, s.Right);
    } else {
      spans[out++] = s;
    }
  }
  spans.resize(out);
}

void TBandBuilder::AddBand(int top, int bottom, std::vector<TSpan> spans) {
  NormaliseSpans(spans, width_);
  AddNormalBand(top, bottom, spans.data(), spans.data() + spans.size());
}

void TBandBuilder::AddNormalBand(int top, int bottom, const TSpan* first, const TSpan* last) {
  if (bottom <= top || first == last) return;
  if (top == lastBottom_ && SameSpans(first, last, lastSpans_)) {
    // Grows the previous band instead of starting an equal one below it.
    for (std::size_t i = lastFirst_; i < rects_.size(); ++i) rects_[i].setBottom(bottom - 1);
    lastBottom_ = bottom;
    return;
  }
  lastFirst_ = rects_.size();
  for (const TSpan* s = first; s != last; ++s) {
    rects_.emplace_back(s->Left, top, s->Right - s->Left, bottom - top);
  }
  lastSpans_.assign(first, last);
  lastBottom_ = bottom;
}

QRegion TBandBuilder::Region() const {
  QRegion region;
  if (!rects_.empty()) region.setRects(rects_.data(), static_cast<int>(rects_.size()));
  return region;
}

TRowSpans::TRowSpans(int width, int height)
    : width_(width), height_(std::max(height, 0)), hits_(height_) {}

void TRowSpans::Add(int y, int left, int right) {
  if (y < 0 || y >= height_) return;
  left = std::max(left, 0);
  right = std::min(right, width_);
  if (left < right) spans_.push_back({y, {left, right}});
}

void TRowSpans::AddRect(const QRect& rect) {
  for (int y = rect.top(); y <= rect.bottom(); ++y) Add(y, rect.left(), rect.right() + 1);
}

void TRowSpans::AddConvexPolygon(std::initializer_list<QPoint> corners) {
  const QPoint* c = corners.begin();
  const int n = static_cast<int>(corners.size());
  int firstRow = height_, endRow = 0;
  for (int i = 0; i < n; ++i) {
    const QPoint p = c[i], q = c[(i + 1) % n];
    if (p.y() == q.y()) continue;
    // The rows whose centres this edge crosses, and where it crosses them.
    const QPoint& upper = p.y() < q.y() ? p : q;
    const QPoint& lower = p.y() < q.y() ? q : p;
    const double slope = double(lower.x() - upper.x()) / (lower.y() - upper.y());
    const int top = std::max(0, FirstCentreFrom(upper.y()));
    const int bottom = std::min(height_, FirstCentreFrom(lower.y()));
    for (int y = top; y < bottom; ++y) {
      const double x = upper.x() + (y + PixelCentre - upper.y()) * slope;
      Widen(y, x);
    }
    firstRow = std::min(firstRow, top);
    endRow = std::max(endRow, bottom);
  }
  for (int y = firstRow; y < endRow; ++y) {
    if (hits_[y].Count > 0) Add(y, FirstCentreFrom(hits_[y].Left), FirstCentreFrom(hits_[y].Right));
    hits_[y] = {};
  }
}

void TRowSpans::Widen(int y, double x) {
  THits& h = hits_[y];
  h.Left = h.Count > 0 ? std::min(h.Left, x) : x;
  h.Right = h.Count > 0 ? std::max(h.Right, x) : x;
  ++h.Count;
}

void TRowSpans::AddCircle(int x, int y, int radius) {
  const int firstRow = std::max(0, y - radius);
  const int endRow = std::min(height_, y + radius);
  for (int row = firstRow; row < endRow; ++row) {
    const double dy = row + PixelCentre - y;
    const double half = std::sqrt(std::max(0.0, double(radius) * radius - dy * dy));
    Add(row, FirstCentreFrom(x - half), FirstCentreFrom(x + half));
  }
}

QRegion TRowSpans::Region() {
  // Counting sort by row keeps the order of addition within a row.
  std::vector<std::size_t> start(static_cast<std::size_t>(height_) + 1, 0);
  for (const TRowSpan& s : spans_) ++start[s.Row + 1];
  for (int y = 0; y < height_; ++y) start[y + 1] += start[y];
  std::vector<TSpan> sorted(spans_.size());
  std::vector<std::size_t> next(start.begin(), start.end() - 1);
  for (const TRowSpan& s : spans_) sorted[next[s.Row]++] = s.Span;
  spans_.clear();

  TBandBuilder bands(width_, sorted.size());
  std::vector<TSpan> row;
  for (int y = 0; y < height_; ++y) {
    row.assign(sorted.begin() + start[y], sorted.begin() + start[y + 1]);
    NormaliseSpans(row, width_);
    bands.AddNormalBand(y, y + 1, row.data(), row.data() + row.size());
  }
  return bands.Region();
}

}  // namespace zephra::widgets
