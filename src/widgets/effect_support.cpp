#include "widgets/effect_support.h"

#include <algorithm>
#include <limits>

namespace zephra::widgets {
namespace {

constexpr std::uint64_t SplitMixIncrement = 0x9E3779B97F4A7C15ull;
constexpr std::uint64_t SplitMixMul1 = 0xBF58476D1CE4E5B9ull;
constexpr std::uint64_t SplitMixMul2 = 0x94D049BB133111EBull;
constexpr int SplitMixShift1 = 30;
constexpr int SplitMixShift2 = 27;
constexpr int SplitMixShift3 = 31;
constexpr int HalfWordBits = 32;

// One generator per thread: effects may run on any thread without sharing its state.
thread_local std::uint64_t randomState = SplitMixIncrement;

bool Is24Bit(const QImage& image) {
  return image.format() == QImage::Format_BGR888 || image.format() == QImage::Format_RGB888;
}

}  // namespace

int MulDiv(int a, int b, int c) {
  if (c == 0) return -1;
  std::int64_t product = static_cast<std::int64_t>(a) * b;
  std::int64_t divisor = c;
  if (divisor < 0) {
    product = -product;
    divisor = -divisor;
  }
  const std::int64_t half = divisor / 2;
  const std::int64_t result =
      product >= 0 ? (product + half) / divisor : (product - half) / divisor;
  if (result > std::numeric_limits<int>::max() || result < -std::numeric_limits<int>::max()) {
    return -1;
  }
  return static_cast<int>(result);
}

int ClampProgress(int progress) { return std::clamp(progress, NoProgress, FullProgress); }

TEffectMeasures CommonMeasures(int width, int height, int spacing, int progress) {
  TEffectMeasures m;
  m.Width = width;
  m.Height = height;
  m.Progress = ClampProgress(progress);
  if (width <= 0 || height <= 0) return m;
  if (width < height) {
    m.Dy = MulDiv(height, m.Progress, FullProgress);
    m.Dx = MulDiv(m.Dy, width, height);
  } else {
    m.Dx = MulDiv(width, m.Progress, FullProgress);
    m.Dy = MulDiv(m.Dx, height, width);
  }
  m.Unit = std::max(0, MulDiv(std::max(width, height), spacing, UnitDivisor));
  return m;
}

bool SameSurface(const QImage& dest, const QImage& source) {
  // Equal formats too: the effects copy bytes, so B,G,R onto R,G,B would swap red and blue.
  return !dest.isNull() && !source.isNull() && dest.size() == source.size() && Is24Bit(dest) &&
         dest.format() == source.format();
}

QRect SpanRect(int left, int top, int right, int bottom) {
  if (right <= left || bottom <= top) return {};
  return QRect(left, top, right - left, bottom - top);
}

QRegion UnionOf(const std::vector<QRect>& rects) {
  std::vector<QRegion> regions;
  regions.reserve(rects.size());
  for (const QRect& r : rects) {
    if (!r.isEmpty()) regions.emplace_back(r);
  }
  return UnionOf(std::move(regions));
}

QRegion UnionOf(std::vector<QRegion> regions) {
  if (regions.empty()) return {};
  // Pairwise rounds: every region takes part in log2(n) unions of similar size.
  while (regions.size() > 1) {
    std::size_t out = 0;
    for (std::size_t i = 0; i < regions.size(); i += 2) {
      regions[out++] = i + 1 < regions.size() ? regions[i].united(regions[i + 1]) : regions[i];
    }
    regions.resize(out);
  }
  return regions.front();
}

void SeedEffectRandom(std::uint64_t seed) { randomState = seed; }

std::uint64_t EffectRandom64() {
  // SplitMix64.
  std::uint64_t z = (randomState += SplitMixIncrement);
  z = (z ^ (z >> SplitMixShift1)) * SplitMixMul1;
  z = (z ^ (z >> SplitMixShift2)) * SplitMixMul2;
  return z ^ (z >> SplitMixShift3);
}

int EffectRandomBelow(int bound) {
  // Multiply-shift of the high 32 bits maps them evenly onto [0, bound).
  const std::uint64_t high = EffectRandom64() >> HalfWordBits;
  return static_cast<int>((high * static_cast<std::uint64_t>(bound)) >> HalfWordBits);
}

}  // namespace zephra::widgets
