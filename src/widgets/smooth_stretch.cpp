// Built with the vectoriser's full cost model (see CMakeLists.txt) so that the row loops of the
// vertical pass become SIMD code.
#include "widgets/smooth_stretch.h"

#include <algorithm>
#include <cmath>

#include "widgets/simd_clones.h"

namespace zephra::widgets {
namespace {

constexpr int BytesPerPixel = 3;
constexpr std::int32_t TapOne = 1 << TapWeightBits;
// The intermediate rows keep 8 extra bits: first pass shifts by 14 - 8, second by 14 + 8.
constexpr int FirstPassShift = TapWeightBits - 8;
constexpr int SecondPassShift = TapWeightBits + 8;
constexpr double PixelCentre = 0.5;
constexpr int EnlargingTaps = 2;  // taps of linear interpolation

// Scales the weights of one destination pixel to fixed point through their running sum, so
// that each stays non-negative and together they make exactly TapOne, however many there are
// (rounding each on its own drifts by up to half a unit per tap over thousands of taps).
void QuantiseWeights(const std::vector<double>& weights, std::int16_t* out) {
  double total = 0.0;
  for (double w : weights) total += w;
  double running = 0.0;
  std::int32_t previous = 0;
  for (std::size_t t = 0; t < weights.size(); ++t) {
    running += weights[t];
    const std::int32_t reached =
        t + 1 == weights.size() || total <= 0.0
            ? TapOne
            : static_cast<std::int32_t>(std::lround(running / total * TapOne));
    out[t] = static_cast<std::int16_t>(reached - previous);
    previous = reached;
  }
}

// Area average of the span [i x ratio, (i + 1) x ratio).
std::vector<double> BoxWeights(int i, double ratio, int sourceSize, int& first) {
  const double low = i * ratio, high = std::min((i + 1) * ratio, double(sourceSize));
  first = std::min(static_cast<int>(low), sourceSize - 1);
  const int end = std::max(first + 1, static_cast<int>(std::ceil(high)));
  std::vector<double> weights;
  for (int x = first; x < end; ++x) {
    weights.push_back(std::max(0.0, std::min(high, x + 1.0) - std::max(low, double(x))) / ratio);
  }
  return weights;
}

// Linear interpolation at the source position of destination pixel centre i.
std::vector<double> LinearWeights(int i, double ratio, int sourceSize, int& first) {
  const double centre =
      std::clamp((i + PixelCentre) * ratio - PixelCentre, 0.0, double(sourceSize - 1));
  first = static_cast<int>(centre);
  const double fraction = centre - first;
  if (first + 1 >= sourceSize || fraction == 0.0) return {1.0};
  return {1.0 - fraction, fraction};
}

// acc = sum of weight x row over the taps, then out = rounded acc >> Shift. Contiguous loops.
template <int Shift, typename In, typename Out>
ZEPHRA_WIDE_SIMD_CLONES void CombineRows(const In* const* rows, const std::int16_t* weights,
                                         int count, int length, std::int32_t* __restrict acc,
                                         Out* __restrict out) {
  const In* __restrict first = rows[0];
  const std::int32_t w0 = weights[0];
  for (int i = 0; i < length; ++i) acc[i] = w0 * first[i];
  for (int t = 1; t < count; ++t) {
    const In* __restrict row = rows[t];
    const std::int32_t w = weights[t];
    for (int i = 0; i < length; ++i) acc[i] += w * row[i];
  }
  constexpr std::int32_t half = 1 << (Shift - 1);
  for (int i = 0; i < length; ++i) out[i] = static_cast<Out>((acc[i] + half) >> Shift);
}

// CombineColumns for enlarging taps: at most two per pixel, the second weight 0 when unused.
template <int Shift, typename In, typename Out>
void CombineColumnPairs(const In* __restrict in, const int* first, const int* count,
                        const std::int16_t* weights, int width, Out* __restrict out) {
  constexpr std::int32_t half = 1 << (Shift - 1);
  for (int d = 0; d < width; ++d, out += BytesPerPixel) {
    const In* a = in + first[d] * BytesPerPixel;
    const In* b = count[d] > 1 ? a + BytesPerPixel : a;
    const std::int32_t wa = weights[EnlargingTaps * d], wb = weights[EnlargingTaps * d + 1];
    out[0] = static_cast<Out>((half + wa * a[0] + wb * b[0]) >> Shift);
    out[1] = static_cast<Out>((half + wa * a[1] + wb * b[1]) >> Shift);
    out[2] = static_cast<Out>((half + wa * a[2] + wb * b[2]) >> Shift);
  }
}

// One row through the horizontal taps: out has taps.First.size() pixels.
template <int Shift, typename In, typename Out>
void CombineColumns(const In* __restrict in, const TAxisTaps& taps, Out* __restrict out) {
  constexpr std::int32_t half = 1 << (Shift - 1);
  const int width = static_cast<int>(taps.First.size());
  // Raw pointers: byte stores could otherwise alias the tables' own fields.
  const int* first = taps.First.data();
  const int* count = taps.Count.data();
  const std::int16_t* weights = taps.Weights.data();
  const int stride = taps.Stride;
  if (stride == EnlargingTaps) {
    CombineColumnPairs<Shift>(in, first, count, weights, width, out);
    return;
  }
  for (int d = 0; d < width; ++d) {
    const In* pixel = in + first[d] * BytesPerPixel;
    const std::int16_t* w = weights + d * stride;
    std::int32_t b = half, g = half, r = half;
    for (int t = 0; t < count[d]; ++t, pixel += BytesPerPixel) {
      b += w[t] * pixel[0];
      g += w[t] * pixel[1];
      r += w[t] * pixel[2];
    }
    out[0] = static_cast<Out>(b >> Shift);
    out[1] = static_cast<Out>(g >> Shift);
    out[2] = static_cast<Out>(r >> Shift);
    out += BytesPerPixel;
  }
}

// Reducing height: each destination row combines source rows first, then its columns.
void StretchRowsFirst(const QImage& source, const TAxisTaps& across, const TAxisTaps& down,
                      QImage& dest) {
  const int length = source.width() * BytesPerPixel;
  std::vector<std::int32_t> acc(length);
  std::vector<std::uint16_t> mid(length);
  std::vector<const std::uint8_t*> rows(down.Stride);
  for (int y = 0; y < dest.height(); ++y) {
    for (int t = 0; t < down.Count[y]; ++t) rows[t] = source.constScanLine(down.First[y] + t);
    CombineRows<FirstPassShift>(rows.data(), down.Weights.data() + y * down.Stride, down.Count[y],
                                length, acc.data(), mid.data());
    CombineColumns<SecondPassShift>(mid.data(), across, dest.scanLine(y));
  }
}

// Enlarging height: source rows are scaled across once each, kept in a small ring, and
// destination rows combine them.
void StretchColumnsFirst(const QImage& source, const TAxisTaps& across, const TAxisTaps& down,
                         QImage& dest) {
  const int length = dest.width() * BytesPerPixel;
  const int ringSize = down.Stride;
  std::vector<std::vector<std::uint16_t>> ring(ringSize, std::vector<std::uint16_t>(length));
  std::vector<int> held(ringSize, -1);
  std::vector<std::int32_t> acc(length);
  std::vector<const std::uint16_t*> rows(ringSize);
  for (int y = 0; y < dest.height(); ++y) {
    for (int t = 0; t < down.Count[y]; ++t) {
      const int sourceRow = down.First[y] + t;
      const int slot = sourceRow % ringSize;
      if (held[slot] != sourceRow) {
        CombineColumns<FirstPassShift>(source.constScanLine(sourceRow), across, ring[slot].data());
        held[slot] = sourceRow;
      }
      rows[t] = ring[slot].data();
    }
    CombineRows<SecondPassShift>(rows.data(), down.Weights.data() + y * down.Stride, down.Count[y],
                                 length, acc.data(), dest.scanLine(y));
  }
}

}  // namespace

TAxisTaps SmoothAxisTaps(int sourceSize, int destSize) {
  const double ratio = double(sourceSize) / destSize;
  const bool reducing = destSize < sourceSize;
  TAxisTaps taps;
  // Reducing: room for the span's partial pixels at both ends and for rounding.
  taps.Stride = reducing ? static_cast<int>(std::ceil(ratio)) + 2 : EnlargingTaps;
  taps.First.resize(destSize);
  taps.Count.resize(destSize);
  taps.Weights.assign(static_cast<std::size_t>(destSize) * taps.Stride, 0);
  for (int i = 0; i < destSize; ++i) {
    const std::vector<double> weights = reducing
                                            ? BoxWeights(i, ratio, sourceSize, taps.First[i])
                                            : LinearWeights(i, ratio, sourceSize, taps.First[i]);
    taps.Count[i] = static_cast<int>(weights.size());
    QuantiseWeights(weights, taps.Weights.data() + i * taps.Stride);
  }
  return taps;
}

QImage SmoothStretch(const QImage& source, int width, int height) {
  if (width < 1 || height < 1 || source.isNull()) return {};
  QImage dest(width, height, source.format());
  if (dest.isNull()) return {};  // out of memory
  const TAxisTaps across = SmoothAxisTaps(source.width(), width);
  const TAxisTaps down = SmoothAxisTaps(source.height(), height);
  if (height < source.height()) {
    StretchRowsFirst(source, across, down, dest);
  } else {
    StretchColumnsFirst(source, across, down, dest);
  }
  return dest;
}

}  // namespace zephra::widgets
