#pragma once

#include <array>
#include <cstdint>

#include "qrcode/qr_constants.h"

namespace zephra::qrcode {

// One group of equal error-correction blocks.
struct TQRBlockGroup {
  int Blocks = 0;       // number of blocks in the group (0 when the group is unused)
  int Total = 0;        // codewords per block
  int Data = 0;         // data codewords per block
  int Correctable = 0;  // errors each block corrects
};

// The values of one error-correction level of one version.
struct TQRLevelInfo {
  int DataCodewords = 0;
  std::array<int, ModeCount> Capacity{};  // characters: numeric, alphanumeric, byte, Kanji
  std::array<TQRBlockGroup, 2> Groups{};  // the first group, then the second
  int EccPerBlock() const { return Groups[0].Total - Groups[0].Data; }
  int BlockCount() const { return Groups[0].Blocks + Groups[1].Blocks; }
};

// One row of the version table.
struct TQRVersionInfo {
  int Modules = 0;                         // modules per side, 17 + 4 x version
  int TotalCodewords = 0;                  // data and error-correction codewords
  int RemainderBits = 0;                   // modules left over after the last codeword
  std::array<int, ModeCount> CountBits{};  // character-count-indicator lengths per mode
  std::array<TQRLevelInfo, LevelCount> Levels{};
  int AlignmentCount = 0;                       // entries used in Alignments (0 for version 1)
  std::array<int, MaxAlignments> Alignments{};  // centre coordinates, ascending
  std::uint32_t VersionWord = 0;                // 18-bit version information (0 below version 7)
};

// The standard's version table for versions 1 to 40, filled when constructed.
class TQRVersionTable {
 public:
  TQRVersionTable();

  // `version` in 1..40.
  const TQRVersionInfo& Row(int version) const { return rows_[version - 1]; }
  // Data bits that `count` characters need in `mode` (no header), counted as in the capacity
  // tables: Kanji characters are two bytes each here, so `count` is in characters.
  static int CharacterBits(int mode, int count);

 private:
  void FillRow(int version);
  void FillLevel(int version, int level);
  void FillCapacities(TQRVersionInfo& row, TQRLevelInfo& info);
  void FillAlignments(int version);
  static std::uint32_t ComputeVersionWord(int version);

  std::array<TQRVersionInfo, MaxVersion> rows_{};
};

}  // namespace zephra::qrcode
