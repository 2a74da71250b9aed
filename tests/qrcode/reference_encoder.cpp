#include "reference_encoder.h"

#include <qrencode.h>

namespace {

QRencodeMode ReferenceMode(int mode) {
  switch (mode) {
    case 0:
      return QR_MODE_NUM;
    case 1:
      return QR_MODE_AN;
    case 3:
      return QR_MODE_KANJI;
    default:
      return QR_MODE_8;
  }
}

// The mask number from the first format copy: bits 0-5 in column 8 rows 0-5, bit 6 row 7,
// bit 7 row 8, bit 8 column 7, bits 9-14 row 8 columns 5..0.
int ReadMask(const std::vector<std::uint8_t>& dark, int size) {
  auto at = [&](int r, int c) { return dark[static_cast<std::size_t>(r * size + c)]; };
  int word = 0;
  for (int i = 0; i <= 5; ++i) word |= at(i, 8) << i;
  word |= at(7, 8) << 6;
  word |= at(8, 8) << 7;
  word |= at(8, 7) << 8;
  for (int i = 9; i < 15; ++i) word |= at(8, 14 - i) << i;
  return ((word ^ 0x5412) >> 10) & 7;
}

}  // namespace

TReferenceSymbol ReferenceEncode(const std::vector<std::uint8_t>& data, int mode, int version,
                                 int level) {
  TReferenceSymbol result;
  QRinput* input = QRinput_new2(version, static_cast<QRecLevel>(level));
  if (input == nullptr) return result;
  if (data.empty() ||
      QRinput_append(input, ReferenceMode(mode), static_cast<int>(data.size()), data.data()) == 0) {
    QRcode* code = QRcode_encodeInput(input);
    if (code != nullptr && code->version == version) {
      result.Size = code->width;
      result.Dark.resize(static_cast<std::size_t>(code->width * code->width));
      for (std::size_t k = 0; k < result.Dark.size(); ++k) result.Dark[k] = code->data[k] & 1;
      result.Mask = ReadMask(result.Dark, result.Size);
    }
    QRcode_free(code);
  }
  QRinput_free(input);
  return result;
}
