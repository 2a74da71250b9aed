#include "qrcode/qr_data.h"

#include <algorithm>

namespace zephra::qrcode {
namespace {

constexpr char kEscape = '~';

// Lead bytes of the double-byte characters of the ANSI code page the texts come in: code page
// 936 (GBK), the code page of the Chinese systems the product is made for.
bool IsAnsiLeadByte(std::uint8_t byte) { return byte >= 0x81 && byte <= 0xFE; }

bool IsKanjiTrailByte(std::uint8_t byte) {
  return (byte >= KanjiTrail1First && byte <= KanjiTrail1Last) ||
         (byte >= KanjiTrail2First && byte <= KanjiTrail2Last);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Control bytes other than tab, line feed and carriage return.
bool IsBinaryControl(std::uint8_t byte) {
  return byte <= 0x08 || byte == 0x0B || byte == 0x0C || (byte >= 0x0E && byte <= 0x1F);
}

}  // namespace

void TQRData::ConvertCode(const QByteArray& code) {
  binary_ = false;
  if (binaryOperation_ && DecodeEscapes(code)) return;
  binaryOperation_ = false;
  binary_ = false;
  data_.assign(code.begin(), code.end());
}

bool TQRData::DecodeEscapes(const QByteArray& code) {
  data_.clear();
  const int size = static_cast<int>(code.size());
  for (int i = 0; i < size; ++i) {
    if (code[i] != kEscape) {
      data_.push_back(static_cast<std::uint8_t>(code[i]));
      continue;
    }
    const int close = static_cast<int>(code.indexOf(kEscape, i + 1));
    if (close < 0) return false;
    const int inner = close - i - 1;
    if (inner == 0) data_.push_back(static_cast<std::uint8_t>(kEscape));
    if (inner % 2 != 0) return false;
    for (int k = i + 1; k < close; k += 2) {
      const int high = HexDigit(code[k]);
      const int low = HexDigit(code[k + 1]);
      if (high < 0 || low < 0) return false;
      const auto byte = static_cast<std::uint8_t>(high * 16 + low);
      binary_ = binary_ || IsBinaryControl(byte);
      data_.push_back(byte);
    }
    i = close;
  }
  return true;
}

void TQRData::SplitData() {
  const int len = Len();
  count_ = std::clamp(std::min(count_, len), 1, MaxCount);
  int chunk = len / count_;
  if (chunk * count_ < len && (chunk + 1) * (count_ - 1) < len) ++chunk;
  offsets_[0] = 0;
  scanPos_ = 0;
  int pos = chunk;
  int i = 1;
  while (i < count_ && pos < len) {
    const int cut = AdjustCut(pos, i);
    if (cut < 0) break;
    offsets_[i] = cut;
    ++i;
    pos = cut + chunk;
  }
  offsets_[i] = len;
  count_ = i;
  SetCountAndMode();
}

int TQRData::AdjustCut(int pos, int i) {
  // Walk whole characters from the last known character start up to pos.
  const int len = Len();
  int start = scanPos_;
  while (true) {
    const int width = IsAnsiLeadByte(data_[start]) && start + 1 < len ? 2 : 1;
    if (start + width > pos) break;
    start += width;
  }
  scanPos_ = start;
  const bool trail = start < pos;
  if (!trail || !IsKanjiTrailByte(data_[pos])) return pos;
  if (pos - 1 > offsets_[i - 1]) return pos - 1;
  if (pos + 1 >= len) return -1;
  scanPos_ = pos + 1;
  return pos + 1;
}

void TQRData::SetCountAndMode() {
  if (count_ == 1) {
    mode_ = qrSingle;
  } else if (count_ > MaxConnectCount) {
    mode_ = qrPlus;
  } else if (mode_ == qrSingle) {
    mode_ = qrConnect;
  }
}

void TQRData::Fail(const std::string& subject, int value) {
  throw EQRCodeError("Illegal " + subject + " : " + std::to_string(value));
}

void TQRData::CheckState(int column) {
  const int len = Len();
  if (len < 0) Fail("Len", len);
  if (count_ < 1 || count_ > MaxCount) Fail("Count", count_);
  if (mode_ != qrSingle && mode_ != qrConnect && mode_ != qrPlus) Fail("Mode", mode_);
  if (column < 1 || column > MaxColumn) Fail("Column", column);
  if (len == 0) {
    CheckEmpty();
  } else {
    CheckFilled();
  }
  if (mode_ == qrConnect && len / count_ <= MaxSymbolBytes) {
    std::uint8_t parity = 0;
    for (const std::uint8_t byte : data_) parity ^= byte;
    parity_ = parity;
  }
}

void TQRData::CheckEmpty() {
  if (count_ != 1) Fail("Count", count_);
  if (mode_ != qrSingle) Fail("Mode", mode_);
  if (offsets_[0] != 0) Fail("Offset[0]", offsets_[0]);
  if (offsets_[1] != 0) Fail("Offset[1]", offsets_[1]);
}

void TQRData::CheckFilled() {
  const int len = Len();
  const bool countBroken = len < count_ || (mode_ == qrSingle && count_ != 1) ||
                           (mode_ == qrConnect && (count_ < 2 || count_ > MaxConnectCount)) ||
                           (mode_ == qrPlus && (count_ < 2 || count_ > MaxCount));
  if (countBroken) Fail("Count", count_);
  if (offsets_[0] != 0) Fail("Offset[0]", offsets_[0]);
  if (offsets_[count_] != len) Fail("Offset[" + std::to_string(count_) + "]", offsets_[count_]);
  for (int i = 1; i <= count_; ++i) {
    if (offsets_[i] <= offsets_[i - 1]) Fail("Offset[" + std::to_string(i) + "]", offsets_[i]);
  }
}

}  // namespace zephra::qrcode
