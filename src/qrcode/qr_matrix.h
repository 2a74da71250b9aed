#pragma once

#include <array>
#include <cstdint>

#include "qrcode/qr_constants.h"
#include "qrcode/qr_version_table.h"

namespace zephra::qrcode {

// The module matrix of one symbol: 177 x 177 bytes, row by row, row 0 at the top and column 0
// at the left; smaller symbols use the top-left corner. Each byte holds three flags.
class TQRMatrix {
 public:
  static constexpr std::uint8_t DataBit = 0x01;      // data bit as placed, before masking
  static constexpr std::uint8_t DarkBit = 0x02;      // final colour, 1 = dark
  static constexpr std::uint8_t FunctionBit = 0x04;  // function module or reserved area

  // Clears the matrix and draws the function patterns of `row`'s version: finders with
  // separators, timing, alignment, and the reserved format and version areas (light).
  void DrawFunctionPatterns(const TQRVersionInfo& row);
  // Places `count` codewords by the two-column zigzag from the bottom-right corner; modules
  // left over stay light.
  void PlaceCodewords(const std::uint8_t* codewords, int count);
  // Sets every non-function module's colour to its data bit, inverted where mask `mask`
  // (0..7) holds.
  void ApplyMask(int mask);
  // Calls sink(row, column, dark) for every module as mask `mask` would colour it, without
  // changing the matrix.
  template <typename Sink>
  void VisitMasked(int mask, Sink&& sink) const;
  // Whether mask `M` inverts the module at row `i`, column `j`.
  template <int M>
  static bool MaskHolds(int i, int j);
  // Writes both copies of the format information for `level` (0..3 = L, M, Q, H) and `mask`,
  // and the dark module.
  void DrawFormatBits(int level, int mask);
  // Writes both copies of the version information (version 7 and up).
  void DrawVersionBits(const TQRVersionInfo& row);

  // The 15-bit format word: level code (level XOR 1) and mask, BCH(15,5), XOR 0x5412.
  static int FormatWord(int level, int mask);

  int Size() const { return size_; }
  std::uint8_t At(int row, int column) const { return cells_[row * MaxModules + column]; }
  bool IsDark(int row, int column) const { return At(row, column) & DarkBit; }
  bool IsDataBit(int row, int column) const { return At(row, column) & DataBit; }
  bool IsFunction(int row, int column) const { return At(row, column) & FunctionBit; }
  const std::uint8_t* Cells() const { return cells_.data(); }

 private:
  void SetFunction(int row, int column, bool dark);
  void DrawFinder(int centreRow, int centreColumn);
  void DrawTiming();
  void DrawAlignments(const TQRVersionInfo& row);
  void DrawAlignment(int centreRow, int centreColumn);
  void ReserveFormatAndVersion(bool withVersion);

  template <int M, typename Sink>
  void VisitMaskedAs(Sink& sink) const;
  template <int M>
  void ApplyMaskAs();

  std::array<std::uint8_t, MatrixBytes> cells_{};
  int size_ = 0;
};

template <int M>
bool TQRMatrix::MaskHolds(int i, int j) {
  if constexpr (M == 0) return (i + j) % 2 == 0;
  if constexpr (M == 1) return i % 2 == 0;
  if constexpr (M == 2) return j % 3 == 0;
  if constexpr (M == 3) return (i + j) % 3 == 0;
  if constexpr (M == 4) return (i / 2 + j / 3) % 2 == 0;
  if constexpr (M == 5) return (i * j) % 2 + (i * j) % 3 == 0;
  if constexpr (M == 6) return ((i * j) % 2 + (i * j) % 3) % 2 == 0;
  if constexpr (M == 7) return ((i + j) % 2 + (i * j) % 3) % 2 == 0;
  return false;
}

template <int M, typename Sink>
void TQRMatrix::VisitMaskedAs(Sink& sink) const {
  for (int r = 0; r < size_; ++r) {
    const std::uint8_t* line = &cells_[r * MaxModules];
    for (int c = 0; c < size_; ++c) {
      const std::uint8_t cell = line[c];
      const bool dark = (cell & FunctionBit) ? (cell & DarkBit) != 0
                                             : ((cell & DataBit) != 0) != MaskHolds<M>(r, c);
      sink(r, c, dark);
    }
  }
}

template <typename Sink>
void TQRMatrix::VisitMasked(int mask, Sink&& sink) const {
  switch (mask) {
    case 0:
      VisitMaskedAs<0>(sink);
      break;
    case 1:
      VisitMaskedAs<1>(sink);
      break;
    case 2:
      VisitMaskedAs<2>(sink);
      break;
    case 3:
      VisitMaskedAs<3>(sink);
      break;
    case 4:
      VisitMaskedAs<4>(sink);
      break;
    case 5:
      VisitMaskedAs<5>(sink);
      break;
    case 6:
      VisitMaskedAs<6>(sink);
      break;
    default:
      VisitMaskedAs<7>(sink);
      break;
  }
}

}  // namespace zephra::qrcode
