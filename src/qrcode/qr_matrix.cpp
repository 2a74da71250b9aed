#include "qrcode/qr_matrix.h"

#include <algorithm>
#include <cstdlib>

namespace zephra::qrcode {
namespace {

constexpr int kFinderCentre = 3;
constexpr int kVersionAreaOffset = 11;  // the version areas start 11 modules from the far edge

}  // namespace

void TQRMatrix::SetFunction(int row, int column, bool dark) {
  cells_[row * MaxModules + column] = FunctionBit | (dark ? DarkBit : 0);
}

void TQRMatrix::DrawFunctionPatterns(const TQRVersionInfo& row) {
  size_ = row.Modules;
  std::fill(cells_.begin(), cells_.end(), 0);
  DrawTiming();
  DrawFinder(kFinderCentre, kFinderCentre);
  DrawFinder(kFinderCentre, size_ - 1 - kFinderCentre);
  DrawFinder(size_ - 1 - kFinderCentre, kFinderCentre);
  DrawAlignments(row);
  ReserveFormatAndVersion(row.VersionWord != 0);
}

// The 7 x 7 finder with its one-module light separator, clipped at the symbol's edge.
void TQRMatrix::DrawFinder(int centreRow, int centreColumn) {
  for (int dr = -4; dr <= 4; ++dr) {
    for (int dc = -4; dc <= 4; ++dc) {
      const int r = centreRow + dr, c = centreColumn + dc;
      if (r < 0 || r >= size_ || c < 0 || c >= size_) continue;
      const int ring = std::max(std::abs(dr), std::abs(dc));
      SetFunction(r, c, ring != 2 && ring != 4);
    }
  }
}

void TQRMatrix::DrawTiming() {
  for (int k = 0; k < size_; ++k) {
    SetFunction(TimingIndex, k, k % 2 == 0);
    SetFunction(k, TimingIndex, k % 2 == 0);
  }
}

// At every pair of table coordinates whose centre is not already a function module.
void TQRMatrix::DrawAlignments(const TQRVersionInfo& row) {
  for (int a = 0; a < row.AlignmentCount; ++a) {
    for (int b = 0; b < row.AlignmentCount; ++b) {
      const int r = row.Alignments[a], c = row.Alignments[b];
      const bool onFinder = (a == 0 && b == 0) || (a == 0 && b == row.AlignmentCount - 1) ||
                            (a == row.AlignmentCount - 1 && b == 0);
      if (!onFinder) DrawAlignment(r, c);
    }
  }
}

void TQRMatrix::DrawAlignment(int centreRow, int centreColumn) {
  for (int dr = -AlignmentRadius; dr <= AlignmentRadius; ++dr) {
    for (int dc = -AlignmentRadius; dc <= AlignmentRadius; ++dc) {
      SetFunction(centreRow + dr, centreColumn + dc, std::max(std::abs(dr), std::abs(dc)) != 1);
    }
  }
}

// Format areas beside the finders, the dark module's place and the version areas, all light
// until written.
void TQRMatrix::ReserveFormatAndVersion(bool withVersion) {
  for (int k = 0; k <= 8; ++k) {
    if (k != TimingIndex) {
      SetFunction(8, k, false);
      SetFunction(k, 8, false);
    }
  }
  for (int k = 0; k < 8; ++k) {
    SetFunction(8, size_ - 1 - k, false);
    SetFunction(size_ - 1 - k, 8, false);
  }
  if (!withVersion) return;
  for (int k = 0; k < VersionBits; ++k) {
    const int a = size_ - kVersionAreaOffset + k % 3, b = k / 3;
    SetFunction(b, a, false);
    SetFunction(a, b, false);
  }
}

void TQRMatrix::PlaceCodewords(const std::uint8_t* codewords, int count) {
  const int totalBits = count * 8;
  int bit = 0;
  for (int right = size_ - 1; right >= 1; right -= 2) {
    if (right == TimingIndex) right = TimingIndex - 1;
    const bool upward = ((right + 1) & 2) == 0;
    for (int step = 0; step < size_; ++step) {
      const int r = upward ? size_ - 1 - step : step;
      for (int c = right; c >= right - 1; --c) {
        std::uint8_t& cell = cells_[r * MaxModules + c];
        if ((cell & FunctionBit) || bit >= totalBits) continue;
        if ((codewords[bit >> 3] >> (7 - (bit & 7))) & 1) cell = DataBit;
        ++bit;
      }
    }
  }
}

template <int M>
void TQRMatrix::ApplyMaskAs() {
  for (int r = 0; r < size_; ++r) {
    std::uint8_t* line = &cells_[r * MaxModules];
    for (int c = 0; c < size_; ++c) {
      std::uint8_t& cell = line[c];
      if (cell & FunctionBit) continue;
      const bool dark = ((cell & DataBit) != 0) != MaskHolds<M>(r, c);
      cell = static_cast<std::uint8_t>((cell & DataBit) | (dark ? DarkBit : 0));
    }
  }
}

void TQRMatrix::ApplyMask(int mask) {
  switch (mask) {
    case 0:
      ApplyMaskAs<0>();
      break;
    case 1:
      ApplyMaskAs<1>();
      break;
    case 2:
      ApplyMaskAs<2>();
      break;
    case 3:
      ApplyMaskAs<3>();
      break;
    case 4:
      ApplyMaskAs<4>();
      break;
    case 5:
      ApplyMaskAs<5>();
      break;
    case 6:
      ApplyMaskAs<6>();
      break;
    default:
      ApplyMaskAs<7>();
      break;
  }
}

int TQRMatrix::FormatWord(int level, int mask) {
  const int data = ((level ^ 1) << 3) | mask;
  int rem = data;
  for (int i = 0; i < FormatEccBits; ++i) {
    rem = (rem << 1) ^ ((rem >> (FormatEccBits - 1)) * FormatGenerator);
  }
  return ((data << FormatEccBits) | rem) ^ FormatXorMask;
}

// Bit 0 is the least significant bit of the word.
void TQRMatrix::DrawFormatBits(int level, int mask) {
  const int word = FormatWord(level, mask);
  auto bitAt = [word](int i) { return ((word >> i) & 1) != 0; };
  // Copy around the top-left finder.
  for (int i = 0; i <= 5; ++i) SetFunction(i, 8, bitAt(i));
  SetFunction(7, 8, bitAt(6));
  SetFunction(8, 8, bitAt(7));
  SetFunction(8, 7, bitAt(8));
  for (int i = 9; i < FormatBits; ++i) SetFunction(8, 14 - i, bitAt(i));
  // Copy split between the top-right and bottom-left finders.
  for (int i = 0; i < 8; ++i) SetFunction(8, size_ - 1 - i, bitAt(i));
  for (int i = 8; i < FormatBits; ++i) SetFunction(size_ - FormatBits + i, 8, bitAt(i));
  SetFunction(size_ - 8, 8, true);  // the dark module
}

void TQRMatrix::DrawVersionBits(const TQRVersionInfo& row) {
  if (row.VersionWord == 0) return;
  for (int k = 0; k < VersionBits; ++k) {
    const bool dark = ((row.VersionWord >> k) & 1) != 0;
    const int a = size_ - kVersionAreaOffset + k % 3, b = k / 3;
    SetFunction(b, a, dark);
    SetFunction(a, b, dark);
  }
}

}  // namespace zephra::qrcode
