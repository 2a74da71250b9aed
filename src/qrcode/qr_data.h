#pragma once

#include <QByteArray>
#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "qrcode/qr_constants.h"

namespace zephra::qrcode {

// How several symbols carry the data.
enum TQRMode : int {
  qrSingle,   // one symbol
  qrConnect,  // structured append, 2 to 16 symbols
  qrPlus,     // plain series of independent symbols, 2 to 1024
};

// The error CheckState raises when the split state breaks an invariant; its message reads
// "Illegal <subject> : <value>".
class EQRCodeError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The data bytes of a code text and their division into symbols: "~" escapes, the pieces of a
// series and the structured-append parity.
class TQRData {
 public:
  // ConvertCode: the bytes of `code`, with "~" escapes decoded while `binaryOperation` is on.
  // Sets Len and Binary; a malformed escape switches BinaryOperation off and keeps the raw bytes.
  void ConvertCode(const QByteArray& code);

  // SplitData: fixes Count, Mode and Offsets for the current data.
  void SplitData();
  // CheckState: throws EQRCodeError on the first broken rule; `column` is the symbols per row.
  // After a pass, in qrConnect mode, sets Parity.
  void CheckState(int column);

  const std::uint8_t* Data() const { return data_.data(); }
  int Len() const { return static_cast<int>(data_.size()); }
  bool Binary() const { return binary_; }
  bool BinaryOperation() const { return binaryOperation_; }
  void SetBinaryOperation(bool on) { binaryOperation_ = on; }
  TQRMode Mode() const { return mode_; }
  void SetMode(TQRMode mode) { mode_ = mode; }
  int Count() const { return count_; }
  void SetCount(int count) { count_ = count; }
  int Parity() const { return parity_; }
  // Offsets[0..Count]: symbol i (from 1) holds bytes Offsets[i-1] up to Offsets[i].
  int Offset(int i) const { return offsets_[i]; }
  int PieceLength(int i) const { return offsets_[i] - offsets_[i - 1]; }

  // For tests of CheckState: the state as a caller might have broken it.
  void SetOffsetForTest(int i, int value) { offsets_[i] = value; }

 private:
  // Decodes the escapes into data_; false when an escape is malformed.
  bool DecodeEscapes(const QByteArray& code);
  // The cut for boundary `i` near `pos`, moved off the trail byte of a double-byte character;
  // -1 when no boundary can be set.
  int AdjustCut(int pos, int i);
  void SetCountAndMode();
  [[noreturn]] static void Fail(const std::string& subject, int value);
  void CheckEmpty();
  void CheckFilled();

  std::vector<std::uint8_t> data_;
  bool binary_ = false;
  bool binaryOperation_ = false;
  TQRMode mode_ = qrSingle;
  int count_ = 1;
  int parity_ = 0;
  std::array<int, MaxCount + 1> offsets_{};
  int scanPos_ = 0;  // start of the character that SplitData's scan has reached
};

}  // namespace zephra::qrcode
