#include "qrcode/qr_version_table.h"

namespace zephra::qrcode {
namespace {

// Error-correction codewords per block, per level (L, M, Q, H) and version (index 0 unused).
constexpr int kEccPerBlock[LevelCount][MaxVersion + 1] = {
    {0,  7,  10, 15, 20, 26, 18, 20, 24, 30, 18, 20, 24, 26, 30, 22, 24, 28, 30, 28, 28,
     28, 28, 30, 30, 26, 28, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30},
    {0,  10, 16, 26, 18, 24, 16, 18, 22, 22, 26, 30, 22, 22, 24, 24, 28, 28, 26, 26, 26,
     26, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28},
    {0,  13, 22, 18, 26, 18, 24, 18, 22, 20, 24, 28, 26, 24, 20, 30, 24, 28, 28, 26, 30,
     28, 30, 30, 30, 30, 28, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30},
    {0,  17, 28, 22, 16, 22, 28, 26, 26, 24, 28, 24, 28, 22, 24, 24, 30, 28, 28, 26, 28,
     30, 24, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30},
};

// Error-correction blocks per level and version (index 0 unused).
constexpr int kBlockCount[LevelCount][MaxVersion + 1] = {
    {0, 1, 1, 1,  1,  1,  2,  2,  2,  2,  4,  4,  4,  4,  4,  6,  6,  6,  6,  7, 8,
     8, 9, 9, 10, 12, 12, 12, 13, 14, 15, 16, 17, 18, 19, 19, 20, 21, 22, 24, 25},
    {0,  1,  1,  1,  2,  2,  4,  4,  4,  5,  5,  5,  8,  9,  9,  10, 10, 11, 13, 14, 16,
     17, 17, 18, 20, 21, 23, 25, 26, 28, 29, 31, 33, 35, 37, 38, 40, 43, 45, 47, 49},
    {0,  1,  1,  2,  2,  4,  4,  6,  6,  8,  8,  8,  10, 12, 16, 12, 17, 16, 18, 21, 20,
     23, 23, 25, 27, 29, 34, 34, 35, 38, 40, 43, 45, 48, 51, 53, 56, 59, 62, 65, 68},
    {0,  1,  1,  2,  4,  4,  4,  5,  6,  8,  8,  11, 11, 16, 16, 18, 16, 19, 21, 25, 25,
     25, 34, 30, 32, 35, 37, 40, 42, 45, 48, 51, 54, 57, 60, 63, 66, 70, 74, 77, 81},
};

// Misdecode-protection codewords of the small symbols: errors corrected are
// (error-correction codewords - p) / 2. Only 1-L, 1-M and 2-L differ from the plain half.
int MisdecodeProtection(int version, int level) {
  if (version == 1 && level == LevelL) return 3;
  if (version == 1 && level == LevelM) return 2;
  if (version == 2 && level == LevelL) return 2;
  return 0;
}

// Character-count-indicator lengths for versions 1-9, 10-26, 27-40.
constexpr int kCountBits[3][ModeCount] = {{10, 9, 8, 8}, {12, 11, 16, 10}, {14, 13, 16, 12}};
constexpr int kCountBitsBreak1 = 10;
constexpr int kCountBitsBreak2 = 27;

// Modules available for codewords: all minus finder, separator, timing, alignment, format and
// version areas and the dark module.
int RawDataModules(int version) {
  int result = (16 * version + 128) * version + 64;
  if (version >= 2) {
    const int align = version / 7 + 2;
    result -= (25 * align - 10) * align - 55;
    if (version >= MinVersionInfoVersion) result -= 36;
  }
  return result;
}

}  // namespace

TQRVersionTable::TQRVersionTable() {
  for (int version = MinVersion; version <= MaxVersion; ++version) FillRow(version);
}

void TQRVersionTable::FillRow(int version) {
  TQRVersionInfo& row = rows_[version - 1];
  row.Modules = 17 + 4 * version;
  const int raw = RawDataModules(version);
  row.TotalCodewords = raw / 8;
  row.RemainderBits = raw % 8;
  const int band = version < kCountBitsBreak1 ? 0 : version < kCountBitsBreak2 ? 1 : 2;
  for (int mode = 0; mode < ModeCount; ++mode) row.CountBits[mode] = kCountBits[band][mode];
  for (int level = 0; level < LevelCount; ++level) FillLevel(version, level);
  FillAlignments(version);
  row.VersionWord = version >= MinVersionInfoVersion ? ComputeVersionWord(version) : 0;
}

void TQRVersionTable::FillLevel(int version, int level) {
  TQRVersionInfo& row = rows_[version - 1];
  TQRLevelInfo& info = row.Levels[level];
  const int ecc = kEccPerBlock[level][version];
  const int blocks = kBlockCount[level][version];
  const int longBlocks = row.TotalCodewords % blocks;
  const int shortTotal = row.TotalCodewords / blocks;
  const int correctable = (ecc - MisdecodeProtection(version, level)) / 2;
  info.Groups[0] = {blocks - longBlocks, shortTotal, shortTotal - ecc, correctable};
  info.Groups[1] =
      longBlocks > 0 ? TQRBlockGroup{longBlocks, shortTotal + 1, shortTotal + 1 - ecc, correctable}
                     : TQRBlockGroup{};
  info.DataCodewords = row.TotalCodewords - ecc * blocks;
  FillCapacities(row, info);
}

int TQRVersionTable::CharacterBits(int mode, int count) {
  switch (mode) {
    case ModeNumeric:
      return NumericTripleBits * (count / 3) + (count % 3 == 1   ? NumericSingleBits
                                                : count % 3 == 2 ? NumericPairBits
                                                                 : 0);
    case ModeAlphanumeric:
      return AlphanumericPairBits * (count / 2) + AlphanumericSingleBits * (count % 2);
    case ModeByte:
      return ByteBits * count;
    default:
      return KanjiBits * count;
  }
}

// The largest character count whose segment (mode indicator, count, data) fits the data bits.
void TQRVersionTable::FillCapacities(TQRVersionInfo& row, TQRLevelInfo& info) {
  const int dataBits = info.DataCodewords * 8;
  for (int mode = 0; mode < ModeCount; ++mode) {
    const int available = dataBits - ModeIndicatorBits - row.CountBits[mode];
    int count = 0;
    while (CharacterBits(mode, count + 1) <= available) ++count;
    info.Capacity[mode] = count;
  }
}

// Centres spread evenly from 6 to size - 7; the step is even and rounded up, except that
// version 32 uses 26.
void TQRVersionTable::FillAlignments(int version) {
  TQRVersionInfo& row = rows_[version - 1];
  if (version == 1) return;
  const int count = version / 7 + 2;
  constexpr int kVersion32 = 32, kVersion32Step = 26;
  const int step =
      version == kVersion32 ? kVersion32Step : (version * 4 + count * 2 + 1) / (count * 2 - 2) * 2;
  row.AlignmentCount = count;
  row.Alignments[0] = TimingIndex;
  for (int i = count - 1, pos = row.Modules - 7; i >= 1; --i, pos -= step) {
    row.Alignments[i] = pos;
  }
}

// The 6-bit version followed by its BCH(18,6) remainder.
std::uint32_t TQRVersionTable::ComputeVersionWord(int version) {
  std::uint32_t rem = static_cast<std::uint32_t>(version);
  for (int i = 0; i < VersionEccBits; ++i) {
    rem = (rem << 1) ^ ((rem >> (VersionEccBits - 1)) * VersionGenerator);
  }
  return (static_cast<std::uint32_t>(version) << VersionEccBits) | rem;
}

}  // namespace zephra::qrcode
