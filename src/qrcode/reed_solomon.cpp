#include "qrcode/reed_solomon.h"

#include <cstring>

namespace zephra::qrcode {

TReedSolomon::TReedSolomon() {
  FillFieldTables();
  FillGenerators();
}

void TReedSolomon::FillFieldTables() {
  int value = 1;
  for (int power = 0; power < FieldOrder; ++power) {
    exp_[power] = static_cast<std::uint8_t>(value);
    exp_[power + FieldOrder] = static_cast<std::uint8_t>(value);
    log_[value] = power;
    value <<= 1;
    if (value & 0x100) value ^= FieldPolynomial;
  }
  log_[0] = 0;  // never used: zero has no logarithm
}

std::uint8_t TReedSolomon::Multiply(std::uint8_t a, std::uint8_t b) const {
  if (a == 0 || b == 0) return 0;
  return exp_[log_[a] + log_[b]];
}

// Multiplies (x - alpha^0)(x - alpha^1)... one root at a time.
void TReedSolomon::FillGenerators() {
  for (int degree = 1; degree <= MaxEccPerBlock; ++degree) {
    std::uint8_t poly[MaxEccPerBlock + 1] = {1};  // poly[0] is the highest power
    for (int root = 0; root < degree; ++root) {
      const std::uint8_t factor = exp_[root];
      for (int i = root + 1; i >= 1; --i) {
        poly[i] = static_cast<std::uint8_t>(poly[i] ^ Multiply(poly[i - 1], factor));
      }
    }
    for (int i = 0; i < degree; ++i) {
      generators_[degree][i] = poly[i + 1];
      generatorLogs_[degree][i] = static_cast<std::uint8_t>(log_[poly[i + 1]]);
    }
  }
}

void TReedSolomon::ComputeRemainder(const std::uint8_t* data, int length, int eccCount,
                                    std::uint8_t* ecc) const {
  std::memset(ecc, 0, static_cast<std::size_t>(eccCount));
  const std::uint8_t* gen = generatorLogs_[eccCount];
  for (int k = 0; k < length; ++k) {
    const std::uint8_t factor = data[k] ^ ecc[0];
    std::memmove(ecc, ecc + 1, static_cast<std::size_t>(eccCount - 1));
    ecc[eccCount - 1] = 0;
    if (factor == 0) continue;
    const int logFactor = log_[factor];
    for (int i = 0; i < eccCount; ++i) ecc[i] ^= exp_[gen[i] + logFactor];
  }
}

}  // namespace zephra::qrcode
