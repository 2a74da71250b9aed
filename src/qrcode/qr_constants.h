#pragma once

#include <cstdint>

namespace zephra::qrcode {

// Symbol geometry.
inline constexpr int MinVersion = 1;
inline constexpr int MaxVersion = 40;
inline constexpr int MaxModules = 177;  // side of a version-40 symbol
inline constexpr int MatrixBytes = MaxModules * MaxModules;
inline constexpr int QuietModules = 4;  // quiet zone width in modules, each side

// Per-symbol limits: the largest character capacity, data codeword count and codeword total.
inline constexpr int MaxSymbolBytes = 7089;
inline constexpr int MaxDataCodewords = 2956;
inline constexpr int MaxCodewords = 3706;
inline constexpr int MaxEccPerBlock = 30;
inline constexpr int MaxBlocks = 81;
inline constexpr int MaxAlignments = 7;

// Series of symbols.
inline constexpr int MaxCount = 1024;
inline constexpr int MaxConnectCount = 16;
inline constexpr int MaxColumn = 1024;

// Error-correction levels as the component numbers them.
inline constexpr int LevelL = 0;
inline constexpr int LevelM = 1;
inline constexpr int LevelQ = 2;
inline constexpr int LevelH = 3;
inline constexpr int LevelCount = 4;

// Encoding modes; also the character classes of the automatic segmentation.
inline constexpr int ModeAuto = -1;
inline constexpr int ModeNumeric = 0;
inline constexpr int ModeAlphanumeric = 1;
inline constexpr int ModeByte = 2;
inline constexpr int ModeKanji = 3;
inline constexpr int ModeCount = 4;

inline constexpr int MaskAuto = -1;
inline constexpr int MaskCount = 8;

// Bit stream fields.
inline constexpr int ModeIndicatorBits = 4;
inline constexpr std::uint32_t ModeIndicators[ModeCount] = {1, 2, 4, 8};
inline constexpr std::uint32_t StructuredAppendIndicator = 3;
inline constexpr int StructuredAppendFieldBits = 4;
inline constexpr int ParityBits = 8;
inline constexpr int TerminatorBits = 4;
inline constexpr std::uint8_t PadBytes[2] = {0xEC, 0x11};

// Data bits per group of characters.
inline constexpr int NumericTripleBits = 10;
inline constexpr int NumericPairBits = 7;
inline constexpr int NumericSingleBits = 4;
inline constexpr int AlphanumericPairBits = 11;
inline constexpr int AlphanumericSingleBits = 6;
inline constexpr int AlphanumericBase = 45;
inline constexpr int ByteBits = 8;
inline constexpr int KanjiBits = 13;
inline constexpr int KanjiRowBase = 0xC0;

// Shift JIS ranges of the Kanji mode.
inline constexpr std::uint8_t KanjiLead1First = 0x81, KanjiLead1Last = 0x9F;
inline constexpr std::uint8_t KanjiLead2First = 0xE0, KanjiLead2Last = 0xEB;
inline constexpr std::uint8_t KanjiTrail1First = 0x40, KanjiTrail1Last = 0x7E;
inline constexpr std::uint8_t KanjiTrail2First = 0x80, KanjiTrail2Last = 0xFC;
inline constexpr int KanjiMaxValue = 0xEBBF;
inline constexpr int KanjiLowBase = 0x8140;
inline constexpr int KanjiHighBase = 0xC140;
inline constexpr int KanjiHighStart = 0xE040;

// Format and version information.
inline constexpr int FormatGenerator = 0x537;
inline constexpr int FormatXorMask = 0x5412;
inline constexpr int FormatDataBits = 5;
inline constexpr int FormatEccBits = 10;
inline constexpr int FormatBits = 15;
inline constexpr int VersionGenerator = 0x1F25;
inline constexpr int VersionEccBits = 12;
inline constexpr int VersionBits = 18;
inline constexpr int MinVersionInfoVersion = 7;

// Pattern sizes.
inline constexpr int FinderSize = 7;
inline constexpr int AlignmentRadius = 2;
inline constexpr int TimingIndex = 6;  // row and column of the timing patterns

}  // namespace zephra::qrcode
