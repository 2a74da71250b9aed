#pragma once

#include <array>
#include <cstdint>

#include "qrcode/qr_constants.h"

namespace zephra::qrcode {

// The penalty by which the automatic mask choice compares masks:
// - runs of 5 or more modules of one colour in a row or column: 3 + (length - 5) each;
// - each 2 x 2 square of one colour: 3 (overlapping squares count each);
// - dark, light, dark, dark, dark, light, dark in a row or column with a light module or the
//   edge just before and just after it: 40 each;
// - balance: 10 x (|p - 50| div 5) with p = dark modules x 100 div all modules.
// It works on a plane of module colours (1 = dark) that the caller fills row by row; the
// instance keeps the plane and its transpose as fixed work space.
class TMaskPenalty {
 public:
  // Starts a `size` x `size` plane (size up to 177).
  void Begin(int size) { size_ = size; }
  // Sets the colour of a module.
  void Set(int row, int column, std::uint8_t dark) {
    rows_[row * MaxModules + column] = dark;
    columns_[column * MaxModules + row] = dark;
  }
  // The penalty of the plane.
  int Compute() const;

  // The run and finder-like scores of one line of `size` colours.
  static int RunsAndFinders(const std::uint8_t* line, int size);

 private:
  int Blocks() const;
  int Balance() const;

  int size_ = 0;
  std::array<std::uint8_t, MatrixBytes> rows_{};
  std::array<std::uint8_t, MatrixBytes> columns_{};
};

}  // namespace zephra::qrcode
