// Built with the vectoriser's full cost model (see CMakeLists.txt): the fade row loop is a plain
// contiguous loop of 16-bit arithmetic, and the dissolve draws its random numbers in parallel
// lanes and copies through a byte mask, so that all of them become SIMD code.
#include "widgets/blend_effects.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "widgets/effect_support.h"
#include "widgets/region_copy.h"
#include "widgets/simd_clones.h"

namespace zephra::widgets {
namespace {

constexpr int BytesPerPixel = 3;
constexpr int FadeOne = 256;  // weight of the whole source
constexpr int FadeShift = 8;
constexpr int DrawBits = 16;                  // each draw is 16 random bits
constexpr std::uint32_t DissolveRange = 100;  // a draw stands for a value in 0..99
// Independent xorshift32 generators whose steps the compiler runs side by side in SIMD lanes.
constexpr int RandomLanes = 8;
constexpr int XorShiftA = 13, XorShiftB = 17, XorShiftC = 5;
constexpr std::uint8_t MaskOn = 0xFF;  // a mask byte that takes the source

ZEPHRA_WIDE_SIMD_CLONES void FadeRow(std::uint8_t* __restrict dest,
                                     const std::uint8_t* __restrict source, int count,
                                     std::uint16_t k) {
  const std::uint16_t rest = static_cast<std::uint16_t>(FadeOne - k);
  for (int i = 0; i < count; ++i) {
    dest[i] = static_cast<std::uint8_t>(
        static_cast<std::uint16_t>(k * source[i] + rest * dest[i]) >> FadeShift);
  }
}

struct TDrawSource {
  std::uint32_t Lanes[RandomLanes];
};

TDrawSource SeedDraws() {
  TDrawSource source;
  for (std::uint32_t& lane : source.Lanes) {
    // xorshift32 must not start at 0.
    lane = static_cast<std::uint32_t>(EffectRandom64()) | 1u;
  }
  return source;
}

// Fills `count` 16-bit draws (count a multiple of 2 x RandomLanes).
ZEPHRA_WIDE_SIMD_CLONES void FillDraws(TDrawSource& source, std::uint16_t* __restrict draws,
                                       int count) {
  std::uint32_t lanes[RandomLanes];
  std::copy(std::begin(source.Lanes), std::end(source.Lanes), lanes);
  for (int i = 0; i < count; i += 2 * RandomLanes) {
    for (int lane = 0; lane < RandomLanes; ++lane) {
      std::uint32_t x = lanes[lane];
      x ^= x << XorShiftA;
      x ^= x >> XorShiftB;
      x ^= x << XorShiftC;
      lanes[lane] = x;
      draws[i + lane] = static_cast<std::uint16_t>(x);
      draws[i + RandomLanes + lane] = static_cast<std::uint16_t>(x >> DrawBits);
    }
  }
  std::copy(std::begin(lanes), std::end(lanes), source.Lanes);
}

// The byte mask of a row: all three bytes of a pixel 0xFF when its draw is below the threshold.
ZEPHRA_WIDE_SIMD_CLONES void DissolveMask(const std::uint16_t* __restrict draws, int width,
                                          std::uint32_t threshold, std::uint8_t* __restrict mask) {
  for (int x = 0; x < width; ++x) {
    const std::uint8_t take = draws[x] < threshold ? MaskOn : 0;
    mask[x * BytesPerPixel] = take;
    mask[x * BytesPerPixel + 1] = take;
    mask[x * BytesPerPixel + 2] = take;
  }
}

}  // namespace

int FadeWeight(int progress) { return ClampProgress(progress) * FadeOne / FullProgress; }

void FadeBlend(QImage& dest, const QImage& source, int k) {
  const int rowBytes = dest.width() * BytesPerPixel;
  for (int y = 0; y < dest.height(); ++y) {
    FadeRow(dest.scanLine(y), source.constScanLine(y), rowBytes, static_cast<std::uint16_t>(k));
  }
}

void DissolveBlend(QImage& dest, const QImage& source, int progress) {
  // A draw d of 16 bits stands for (d x 100) >> 16, which is below p exactly when d is below
  // ceil(p x 65536 / 100).
  const std::uint32_t p = static_cast<std::uint32_t>(ClampProgress(progress));
  const std::uint32_t threshold = ((p << DrawBits) + DissolveRange - 1) / DissolveRange;
  const int padded = (dest.width() + 2 * RandomLanes - 1) / (2 * RandomLanes) * (2 * RandomLanes);
  std::vector<std::uint16_t> draws(padded);
  std::vector<std::uint8_t> mask(static_cast<std::size_t>(dest.width()) * BytesPerPixel);
  TDrawSource random = SeedDraws();
  for (int y = 0; y < dest.height(); ++y) {
    FillDraws(random, draws.data(), padded);
    DissolveMask(draws.data(), dest.width(), threshold, mask.data());
    CopyMaskedBytes(dest.scanLine(y), source.constScanLine(y), mask.data(),
                    static_cast<qsizetype>(mask.size()));
  }
}

}  // namespace zephra::widgets
