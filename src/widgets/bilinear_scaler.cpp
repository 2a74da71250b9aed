// Built with the vectoriser's full cost model (see CMakeLists.txt): source rows are first
// gathered in destination column order, so that the weighting is a contiguous SIMD loop.
#include "widgets/bilinear_scaler.h"

#include <algorithm>
#include <array>
#include <vector>

#include "widgets/simd_clones.h"

namespace zephra::widgets {
namespace {

constexpr int FractionBits = 15;
constexpr std::int32_t WeightOne = 1 << FractionBits;  // 32768
constexpr std::int32_t FractionMask = WeightOne - 1;
constexpr int BytesPerPixel = 3;
// Source rows sampled at the destination columns are kept for a few destination rows: enough
// for the current pair whichever way it points.
constexpr int GatheredRowSlots = 3;

// Where the destination columns or rows sample: first and second source index and the fraction
// towards the second, each per destination index.
struct TSamplePoints {
  std::vector<int> First;
  std::vector<int> Second;
  std::vector<std::int32_t> Fraction;
};

TSamplePoints SamplePoints(int sourceSize, int destSize) {
  const std::int64_t step = BilinearStep(sourceSize, destSize);
  TSamplePoints points;
  std::int64_t position = 0;
  for (int i = 0; i < destSize; ++i, position += step) {
    const int first = static_cast<int>(position >> FractionBits);
    // The last one pairs with the previous index; kept inside the source for extreme ratios.
    const int second = i == destSize - 1 ? first - 1 : first + 1;
    points.First.push_back(first);
    points.Second.push_back(std::clamp(second, 0, sourceSize - 1));
    points.Fraction.push_back(static_cast<std::int32_t>(position & FractionMask));
  }
  return points;
}

// One source row sampled at every destination column's first and second source column, as
// B,G,R triples in destination column order.
struct TGatheredRow {
  int Row = -1;
  std::vector<std::uint8_t> First, Second;
};

void GatherRow(const std::uint8_t* __restrict row, const TSamplePoints& columns,
               TGatheredRow& out) {
  const int width = static_cast<int>(columns.First.size());
  out.First.resize(static_cast<std::size_t>(width) * BytesPerPixel);
  out.Second.resize(static_cast<std::size_t>(width) * BytesPerPixel);
  // Raw pointers: byte stores could otherwise alias the vectors' own fields.
  std::uint8_t* __restrict first = out.First.data();
  std::uint8_t* __restrict second = out.Second.data();
  for (int j = 0; j < width; ++j) {
    const std::uint8_t* a = row + columns.First[j] * BytesPerPixel;
    const std::uint8_t* b = row + columns.Second[j] * BytesPerPixel;
    std::uint8_t* f = first + j * BytesPerPixel;
    std::uint8_t* s = second + j * BytesPerPixel;
    f[0] = a[0];
    s[0] = b[0];
    f[1] = a[1];
    s[1] = b[1];
    f[2] = a[2];
    s[2] = b[2];
  }
}

// One destination row from the gathered top and bottom rows at row fraction v; u holds each
// column's fraction three times (once per byte). The four weights are worked out in the same
// loop: (u x (32768 - v)) >> 15 equals u - ceil(u x v / 32768), so one product serves both
// right-hand weights.
ZEPHRA_WIDE_SIMD_CLONES void BlendRow(const std::uint8_t* __restrict tl,
                                      const std::uint8_t* __restrict tr,
                                      const std::uint8_t* __restrict bl,
                                      const std::uint8_t* __restrict br,
                                      const std::int32_t* __restrict u, std::int32_t v, int length,
                                      std::uint8_t* __restrict out) {
  for (int k = 0; k < length; ++k) {
    const std::int32_t product = u[k] * v;
    const std::int32_t wBR = product >> FractionBits;
    const std::int32_t wTR = u[k] - ((product + FractionMask) >> FractionBits);
    const std::int32_t wTL = WeightOne - v - wTR;
    const std::int32_t wBL = v - wBR;
    out[k] = static_cast<std::uint8_t>((tl[k] * wTL + tr[k] * wTR + bl[k] * wBL + br[k] * wBR) >>
                                       FractionBits);
  }
}

class TBilinearRows {
 public:
  TBilinearRows(const QImage& source, int width)
      : source_(source),
        columns_(SamplePoints(source.width(), width)),
        length_(width * BytesPerPixel) {
    for (int j = 0; j < width; ++j) {
      for (int c = 0; c < BytesPerPixel; ++c) fractions_.push_back(columns_.Fraction[j]);
    }
  }

  // Destination row from source rows `top` (first) and `bottom` (second) at fraction v.
  void ScaleRow(int top, int bottom, std::int32_t v, std::uint8_t* out) {
    const TGatheredRow& t = Gathered(top);
    const TGatheredRow& b = Gathered(bottom);
    BlendRow(t.First.data(), t.Second.data(), b.First.data(), b.Second.data(), fractions_.data(), v,
             length_, out);
  }

 private:
  const TGatheredRow& Gathered(int row) {
    TGatheredRow& slot = slots_[row % GatheredRowSlots];
    if (slot.Row != row) {
      GatherRow(source_.constScanLine(row), columns_, slot);
      slot.Row = row;
    }
    return slot;
  }

  const QImage& source_;
  TSamplePoints columns_;
  int length_;                           // bytes of a destination row
  std::vector<std::int32_t> fractions_;  // per destination byte
  std::array<TGatheredRow, GatheredRowSlots> slots_;
};

}  // namespace

std::int64_t BilinearStep(int sourceSize, int destSize) {
  return (static_cast<std::int64_t>(sourceSize - 1) << FractionBits) / destSize;
}

QImage BilinearScale(const QImage& source, int width, int height) {
  if (width < 1 || height < 1 || source.isNull()) return {};
  QImage dest(width, height, source.format());
  if (dest.isNull()) return {};  // out of memory
  const TSamplePoints rows = SamplePoints(source.height(), height);
  TBilinearRows scaler(source, width);
  for (int i = 0; i < height; ++i) {
    scaler.ScaleRow(rows.First[i], rows.Second[i], rows.Fraction[i], dest.scanLine(i));
  }
  return dest;
}

}  // namespace zephra::widgets
