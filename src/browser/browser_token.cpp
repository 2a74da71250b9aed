#include "browser/browser_token.h"

#include <QRandomGenerator>
#include <array>
#include <cstdint>

#include "browser/browser_constants.h"

namespace zephra::browser {

std::string NewToken() {
  std::array<std::uint32_t, TokenDigits / 8> words{};
  QRandomGenerator::system()->fillRange(words.data(), words.size());
  static constexpr char Digits[] = "0123456789abcdef";
  std::string token;
  token.reserve(TokenDigits);
  for (std::uint32_t word : words) {
    for (int shift = 28; shift >= 0; shift -= 4) token.push_back(Digits[(word >> shift) & 0xF]);
  }
  return token;
}

bool SameToken(std::string_view offered, std::string_view token) {
  if (token.empty() || offered.size() != token.size()) return false;
  unsigned char difference = 0;
  for (std::size_t i = 0; i < token.size(); ++i) {
    difference |= static_cast<unsigned char>(offered[i] ^ token[i]);
  }
  return difference == 0;
}

}  // namespace zephra::browser
