#pragma once

#include <array>
#include <cstdint>

#include "qrcode/qr_constants.h"

namespace zephra::qrcode {

// Reed-Solomon error correction over GF(256) with the field polynomial 0x11D: exponent and
// logarithm tables and the generator polynomial for every count of error-correction codewords
// (1 to 30), with roots alpha^0 .. alpha^(n-1).
class TReedSolomon {
 public:
  TReedSolomon();

  // Writes the `eccCount` error-correction codewords of `data[0..length)` to `ecc`: the
  // remainder of data(x) * x^eccCount divided by the generator. `eccCount` in 1..30.
  void ComputeRemainder(const std::uint8_t* data, int length, int eccCount,
                        std::uint8_t* ecc) const;

  std::uint8_t Exp(int power) const { return exp_[power % FieldOrder]; }
  int Log(std::uint8_t value) const { return log_[value]; }  // value != 0
  std::uint8_t Multiply(std::uint8_t a, std::uint8_t b) const;
  // Coefficient i of the generator of degree `eccCount`, highest power first, the leading 1
  // omitted: the generator is x^n + g[0] x^(n-1) + ... + g[n-1].
  std::uint8_t Generator(int eccCount, int i) const { return generators_[eccCount][i]; }

 private:
  static constexpr int FieldOrder = 255;
  static constexpr int FieldPolynomial = 0x11D;

  void FillFieldTables();
  void FillGenerators();

  std::array<std::uint8_t, 2 * FieldOrder> exp_{};
  std::array<int, 256> log_{};
  std::uint8_t generators_[MaxEccPerBlock + 1][MaxEccPerBlock]{};
  // The same coefficients as logarithms, for the division loop.
  std::uint8_t generatorLogs_[MaxEccPerBlock + 1][MaxEccPerBlock]{};
};

}  // namespace zephra::qrcode
