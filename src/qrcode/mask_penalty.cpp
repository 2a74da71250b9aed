#include "qrcode/mask_penalty.h"

#include <cstdlib>

namespace zephra::qrcode {
namespace {

constexpr int kRunMinimum = 5;
constexpr int kRunBase = 3;
constexpr int kBlockScore = 3;
constexpr int kFinderScore = 40;
constexpr int kBalanceStep = 5;
constexpr int kBalanceScore = 10;
constexpr unsigned kFinderWindow = 0x0BA;  // 0 1011101 0, dark = 1
constexpr unsigned kFinderWindowMask = 0x1FF;

constexpr int kRunStep = 1;           // each module of a run beyond the fifth
constexpr unsigned kRun5Mask = 0x1F;  // the last five modules
constexpr unsigned kRun6Mask = 0x3F;

}  // namespace

int TMaskPenalty::Compute() const {
  int score = 0;
  for (int k = 0; k < size_; ++k) {
    score += RunsAndFinders(&rows_[k * MaxModules], size_);
    score += RunsAndFinders(&columns_[k * MaxModules], size_);
  }
  return score + Blocks() + Balance();
}

// Branch-free, as module colours of real data are close to random. The last nine modules sit in
// a bit window (modules before the line count as light). A run of one colour scores 3 at its
// fifth module and 1 at every further one. The finder-like pattern is light, the seven
// pattern modules, light; modules outside the line count as light.
int TMaskPenalty::RunsAndFinders(const std::uint8_t* line, int size) {
  int score = 0;
  unsigned window = 0;
  for (int k = 0; k < size; ++k) {
    window = (window << 1) | line[k];
    const unsigned last5 = window & kRun5Mask, last6 = window & kRun6Mask;
    const int run5 = (k >= kRunMinimum - 1) & ((last5 == 0) | (last5 == kRun5Mask));
    const int run6 = (k >= kRunMinimum) & ((last6 == 0) | (last6 == kRun6Mask));
    score += run5 * (run6 ? kRunStep : kRunBase);
    score += ((window & kFinderWindowMask) == kFinderWindow) * kFinderScore;
  }
  window <<= 1;  // the light edge after the line
  score += ((window & kFinderWindowMask) == kFinderWindow) * kFinderScore;
  return score;
}

int TMaskPenalty::Blocks() const {
  int blocks = 0;
  for (int r = 0; r + 1 < size_; ++r) {
    const std::uint8_t* top = &rows_[r * MaxModules];
    const std::uint8_t* bottom = top + MaxModules;
    for (int c = 0; c + 1 < size_; ++c) {
      const int sum = top[c] + top[c + 1] + bottom[c] + bottom[c + 1];
      blocks += (sum == 0) | (sum == 4);
    }
  }
  return kBlockScore * blocks;
}

int TMaskPenalty::Balance() const {
  int dark = 0;
  for (int r = 0; r < size_; ++r) {
    const std::uint8_t* row = &rows_[r * MaxModules];
    for (int c = 0; c < size_; ++c) dark += row[c];
  }
  const int percent = dark * 100 / (size_ * size_);
  return kBalanceScore * (std::abs(percent - 50) / kBalanceStep);
}

}  // namespace zephra::qrcode
