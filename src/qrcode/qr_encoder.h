#pragma once

#include <array>
#include <cstdint>

#include "qrcode/bit_writer.h"
#include "qrcode/mask_penalty.h"
#include "qrcode/qr_constants.h"
#include "qrcode/qr_data.h"
#include "qrcode/qr_matrix.h"
#include "qrcode/qr_segmenter.h"
#include "qrcode/qr_version_table.h"
#include "qrcode/reed_solomon.h"

namespace zephra::qrcode {

// Builds QR Code model 2 symbols of a fixed version from the pieces of TQRData. All work space
// is inside the instance; encoding a symbol allocates nothing.
class TQREncoder {
 public:
  TQREncoder() = default;
  TQREncoder(const TQREncoder&) = delete;
  TQREncoder& operator=(const TQREncoder&) = delete;

  TQRData& Data() { return data_; }
  const TQRData& Data() const { return data_; }
  const TQRVersionTable& Table() const { return table_; }

  // Settings; callers keep them in range (Version 1..40, Eclevel 0..3, Emode -1..3,
  // Masktype -1..7). Setting Emode or Masktype also sets the matching result.
  int Version() const { return version_; }
  void SetVersion(int version) { version_ = version; }
  int Eclevel() const { return eclevel_; }
  void SetEclevel(int level) { eclevel_ = level; }
  int Emode() const { return emode_; }
  void SetEmode(int mode) { emode_ = emodeR_ = mode; }
  int Masktype() const { return masktype_; }
  void SetMasktype(int mask) { masktype_ = masktypeR_ = mask; }

  // Results of the last EncodeSymbol.
  int EmodeR() const { return emodeR_; }
  int MasktypeR() const { return masktypeR_; }
  // Character capacity of Version and Eclevel in mode EmodeR (alphanumeric when -1), times Count.
  int Capacity() const;

  // Builds symbol `index` (1..Count, after SplitData) into the matrix. False when its piece is
  // longer than any symbol holds, does not fit, or holds a byte the fixed mode cannot encode.
  bool EncodeSymbol(int index);

  const TQRMatrix& Matrix() const { return matrix_; }
  // The data codewords of the last bit stream built (Version and Eclevel's data codeword count).
  const std::uint8_t* DataCodewords() const { return stream_.data(); }
  int DataCodewordCount() const { return Level().DataCodewords; }

  // The penalty of `mask` on the last symbol's codewords, as the automatic choice sees it
  // (format and version areas still light). Redraws the matrix; for tests.
  int MaskPenaltyOf(int mask);

 private:
  const TQRVersionInfo& Row() const { return table_.Row(version_); }
  const TQRLevelInfo& Level() const { return Row().Levels[eclevel_]; }

  bool BuildBitStream(int index);
  bool WriteStructuredAppendHeader(int index);
  bool WriteFixedSegment(const std::uint8_t* bytes, int n);
  bool WriteAutomaticSegments(const std::uint8_t* bytes, int n);
  // Writes one segment whose bytes suit `mode`; false when it does not fit.
  bool WriteSegment(int mode, const std::uint8_t* bytes, int n);
  void WriteNumeric(const std::uint8_t* bytes, int n);
  void WriteAlphanumeric(const std::uint8_t* bytes, int n);
  void WriteBytes(const std::uint8_t* bytes, int n);
  void WriteKanji(const std::uint8_t* bytes, int n);
  void WriteTerminatorAndPadding();
  void AddEccAndInterleave();
  void DrawMatrix();
  // Chooses the mask by the lowest penalty; on a tie the lower number stays.
  int ChooseMask();
  // The penalty of the placed data under `mask`, the format and version areas still light.
  int PenaltyOf(int mask);

  TQRVersionTable table_;
  TReedSolomon reedSolomon_;
  TQRData data_;
  TQRMatrix matrix_;
  TMaskPenalty penalty_;
  TBitWriter writer_;
  std::array<std::uint8_t, MaxDataCodewords> stream_{};
  std::array<std::uint8_t, MaxCodewords> codewords_{};
  std::array<std::uint8_t, MaxBlocks * MaxEccPerBlock> ecc_{};

  int version_ = MinVersion;
  int eclevel_ = LevelL;
  int emode_ = ModeAuto;
  int masktype_ = MaskAuto;
  int emodeR_ = ModeAuto;
  int masktypeR_ = MaskAuto;
};

}  // namespace zephra::qrcode
