#include "qrcode/qr_encoder.h"

#include <climits>

namespace zephra::qrcode {
namespace {

constexpr int kStructuredAppendBits =
    ModeIndicatorBits + 2 * StructuredAppendFieldBits + ParityBits;

bool IsDigit(std::uint8_t byte) { return byte >= '0' && byte <= '9'; }

// Whether every byte of a fixed-mode segment can be encoded in `mode`.
bool SuitsMode(int mode, const std::uint8_t* bytes, int n) {
  switch (mode) {
    case ModeNumeric:
      for (int k = 0; k < n; ++k) {
        if (!IsDigit(bytes[k])) return false;
      }
      return true;
    case ModeAlphanumeric:
      for (int k = 0; k < n; ++k) {
        if (TQRSegmenter::AlphanumericValue(bytes[k]) < 0) return false;
      }
      return true;
    case ModeKanji:
      if (n % 2 != 0) return false;
      for (int k = 0; k < n; k += 2) {
        if (!TQRSegmenter::IsKanjiPair(bytes[k], bytes[k + 1])) return false;
      }
      return true;
    default:
      return true;
  }
}

}  // namespace

int TQREncoder::Capacity() const {
  const int mode = emodeR_ < 0 ? ModeAlphanumeric : emodeR_;
  return Level().Capacity[mode] * data_.Count();
}

bool TQREncoder::EncodeSymbol(int index) {
  if (index < 1 || index > data_.Count()) return false;
  // Offsets are only sound after SplitData for the current data.
  const int start = data_.Offset(index - 1), end = data_.Offset(index);
  if (start < 0 || end < start || end > data_.Len()) return false;
  if (end - start > MaxSymbolBytes) return false;
  if (!BuildBitStream(index)) return false;
  AddEccAndInterleave();
  DrawMatrix();
  return true;
}

bool TQREncoder::BuildBitStream(int index) {
  writer_.Reset(stream_.data(), Level().DataCodewords);
  if (data_.Mode() == qrConnect && !WriteStructuredAppendHeader(index)) return false;
  const std::uint8_t* bytes = data_.Data() + data_.Offset(index - 1);
  const int n = data_.PieceLength(index);
  const bool written =
      emode_ == ModeAuto ? WriteAutomaticSegments(bytes, n) : WriteFixedSegment(bytes, n);
  if (!written) return false;
  WriteTerminatorAndPadding();
  return true;
}

// The 4-bit fields hold at most 16 symbols; a count that SplitData has not checked yet (changed
// while no paint ran) would not fit them.
bool TQREncoder::WriteStructuredAppendHeader(int index) {
  if (data_.Count() > MaxConnectCount || index > MaxConnectCount) return false;
  if (writer_.Remaining() < kStructuredAppendBits) return false;
  writer_.Write(StructuredAppendIndicator, ModeIndicatorBits);
  writer_.Write(static_cast<std::uint32_t>(index - 1), StructuredAppendFieldBits);
  writer_.Write(static_cast<std::uint32_t>(data_.Count() - 1), StructuredAppendFieldBits);
  writer_.Write(static_cast<std::uint32_t>(data_.Parity()), ParityBits);
  return true;
}

bool TQREncoder::WriteFixedSegment(const std::uint8_t* bytes, int n) {
  if (!SuitsMode(emode_, bytes, n)) return false;
  if (!WriteSegment(emode_, bytes, n)) return false;
  emodeR_ = emode_;
  return true;
}

bool TQREncoder::WriteAutomaticSegments(const std::uint8_t* bytes, int n) {
  const TQRSegmenter segmenter(Row().CountBits);
  int lastMode = ModeAuto;
  for (int pos = 0; pos < n;) {
    const TQRSegment segment = segmenter.NextSegment(bytes, pos, n);
    if (!WriteSegment(segment.Mode, bytes + pos, segment.Length)) return false;
    lastMode = segment.Mode;
    pos += segment.Length;
  }
  emodeR_ = lastMode;
  return true;
}

bool TQREncoder::WriteSegment(int mode, const std::uint8_t* bytes, int n) {
  const TQRSegmenter segmenter(Row().CountBits);
  if (segmenter.SegmentBits(mode, n) > writer_.Remaining()) return false;
  const int characters = mode == ModeKanji ? n / 2 : n;
  writer_.Write(ModeIndicators[mode], ModeIndicatorBits);
  writer_.Write(static_cast<std::uint32_t>(characters), Row().CountBits[mode]);
  switch (mode) {
    case ModeNumeric:
      WriteNumeric(bytes, n);
      break;
    case ModeAlphanumeric:
      WriteAlphanumeric(bytes, n);
      break;
    case ModeByte:
      WriteBytes(bytes, n);
      break;
    default:
      WriteKanji(bytes, n);
      break;
  }
  return true;
}

void TQREncoder::WriteNumeric(const std::uint8_t* bytes, int n) {
  int k = 0;
  for (; k + 3 <= n; k += 3) {
    const int value = (bytes[k] - '0') * 100 + (bytes[k + 1] - '0') * 10 + (bytes[k + 2] - '0');
    writer_.Write(static_cast<std::uint32_t>(value), NumericTripleBits);
  }
  if (n - k == 2) {
    writer_.Write(static_cast<std::uint32_t>((bytes[k] - '0') * 10 + (bytes[k + 1] - '0')),
                  NumericPairBits);
  } else if (n - k == 1) {
    writer_.Write(static_cast<std::uint32_t>(bytes[k] - '0'), NumericSingleBits);
  }
}

void TQREncoder::WriteAlphanumeric(const std::uint8_t* bytes, int n) {
  int k = 0;
  for (; k + 2 <= n; k += 2) {
    const int value = TQRSegmenter::AlphanumericValue(bytes[k]) * AlphanumericBase +
                      TQRSegmenter::AlphanumericValue(bytes[k + 1]);
    writer_.Write(static_cast<std::uint32_t>(value), AlphanumericPairBits);
  }
  if (k < n) {
    writer_.Write(static_cast<std::uint32_t>(TQRSegmenter::AlphanumericValue(bytes[k])),
                  AlphanumericSingleBits);
  }
}

void TQREncoder::WriteBytes(const std::uint8_t* bytes, int n) {
  for (int k = 0; k < n; ++k) writer_.Write(bytes[k], ByteBits);
}

// Shift JIS value minus 0x8140 (or 0xC140 from 0xE040 on), then high byte x 0xC0 + low byte.
void TQREncoder::WriteKanji(const std::uint8_t* bytes, int n) {
  for (int k = 0; k + 1 < n; k += 2) {
    const int code = (bytes[k] << 8) | bytes[k + 1];
    const int offset = code - (code >= KanjiHighStart ? KanjiHighBase : KanjiLowBase);
    const int value = (offset >> 8) * KanjiRowBase + (offset & 0xFF);
    writer_.Write(static_cast<std::uint32_t>(value), KanjiBits);
  }
}

void TQREncoder::WriteTerminatorAndPadding() {
  writer_.Skip(writer_.Remaining() < TerminatorBits ? writer_.Remaining() : TerminatorBits);
  writer_.Skip((8 - writer_.Bits() % 8) % 8);
  for (int k = 0; writer_.Remaining() > 0; ++k) writer_.Write(PadBytes[k % 2], ByteBits);
}

// Cuts the data codewords into the blocks of both groups (the second group's blocks are one
// codeword longer), computes each block's error-correction codewords and interleaves data,
// then error correction, column by column; a block that has run out is skipped.
void TQREncoder::AddEccAndInterleave() {
  const TQRLevelInfo& level = Level();
  const int eccCount = level.EccPerBlock();
  const int blocks = level.BlockCount();
  const int shortData = level.Groups[0].Data;
  const int shortBlocks = level.Groups[0].Blocks;
  auto blockLength = [&](int b) { return b < shortBlocks ? shortData : shortData + 1; };
  auto blockStart = [&](int b) { return b * shortData + (b > shortBlocks ? b - shortBlocks : 0); };
  for (int b = 0; b < blocks; ++b) {
    reedSolomon_.ComputeRemainder(&stream_[blockStart(b)], blockLength(b), eccCount,
                                  &ecc_[b * eccCount]);
  }
  int out = 0;
  for (int column = 0; column <= shortData; ++column) {
    for (int b = 0; b < blocks; ++b) {
      if (column < blockLength(b)) codewords_[out++] = stream_[blockStart(b) + column];
    }
  }
  for (int column = 0; column < eccCount; ++column) {
    for (int b = 0; b < blocks; ++b) codewords_[out++] = ecc_[b * eccCount + column];
  }
}

void TQREncoder::DrawMatrix() {
  matrix_.DrawFunctionPatterns(Row());
  matrix_.PlaceCodewords(codewords_.data(), Row().TotalCodewords);
  masktypeR_ = masktype_ == MaskAuto ? ChooseMask() : masktype_;
  matrix_.ApplyMask(masktypeR_);
  matrix_.DrawFormatBits(eclevel_, masktypeR_);
  matrix_.DrawVersionBits(Row());
}

int TQREncoder::ChooseMask() {
  int best = 0;
  int bestPenalty = INT_MAX;
  for (int mask = 0; mask < MaskCount; ++mask) {
    const int penalty = PenaltyOf(mask);
    if (penalty < bestPenalty) {
      best = mask;
      bestPenalty = penalty;
    }
  }
  return best;
}

int TQREncoder::PenaltyOf(int mask) {
  penalty_.Begin(matrix_.Size());
  matrix_.VisitMasked(mask, [this](int r, int c, bool dark) { penalty_.Set(r, c, dark); });
  return penalty_.Compute();
}

int TQREncoder::MaskPenaltyOf(int mask) {
  matrix_.DrawFunctionPatterns(Row());
  matrix_.PlaceCodewords(codewords_.data(), Row().TotalCodewords);
  return PenaltyOf(mask);
}

}  // namespace zephra::qrcode
