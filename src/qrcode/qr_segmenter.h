#pragma once

#include <array>
#include <cstdint>

#include "qrcode/qr_constants.h"

namespace zephra::qrcode {

// A run of data bytes encoded in one mode.
struct TQRSegment {
  int Mode = ModeAuto;  // a character class, ModeNumeric .. ModeKanji
  int Length = 0;       // bytes (a Kanji character counts two)
};

// The automatic segmentation: character classes and the greedy rule that cuts mixed data into
// segments, for the character-count-indicator lengths of one version.
class TQRSegmenter {
 public:
  // `countBits`: the indicator length per mode for the symbol's version.
  explicit TQRSegmenter(const std::array<int, ModeCount>& countBits) : countBits_(countBits) {}

  // Alphanumeric value of `byte` (0..44), -1 when it is not one of the 45 characters.
  static int AlphanumericValue(std::uint8_t byte);
  // True when `lead`, `trail` form a character of the Kanji mode.
  static bool IsKanjiPair(std::uint8_t lead, std::uint8_t trail);
  // Class of the byte at `pos` in data[pos..end): numeric, alphanumeric, Kanji (looking at the
  // next byte) or byte.
  static int ClassOf(const std::uint8_t* data, int pos, int end);

  // Bits of a segment of `n` bytes in `mode`: mode indicator, count indicator and data.
  int SegmentBits(int mode, int n) const;

  // The next segment of data[pos..end); Length 0 when no bytes are left.
  TQRSegment NextSegment(const std::uint8_t* data, int pos, int end) const;

 private:
  // Advances `pos` over bytes of class `cls`; returns the bytes passed.
  static int RunLength(const std::uint8_t* data, int pos, int end, int cls);

  std::array<int, ModeCount> countBits_;
};

}  // namespace zephra::qrcode
