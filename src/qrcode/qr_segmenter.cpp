#include "qrcode/qr_segmenter.h"

#include "qrcode/qr_version_table.h"

namespace zephra::qrcode {
namespace {

constexpr int kAlphanumericLetterBase = 10;

int SignValue(std::uint8_t byte) {
  switch (byte) {
    case ' ':
      return 36;
    case '$':
      return 37;
    case '%':
      return 38;
    case '*':
      return 39;
    case '+':
      return 40;
    case '-':
      return 41;
    case '.':
      return 42;
    case '/':
      return 43;
    case ':':
      return 44;
    default:
      return -1;
  }
}

bool InRange(std::uint8_t value, std::uint8_t first, std::uint8_t last) {
  return value >= first && value <= last;
}

}  // namespace

int TQRSegmenter::AlphanumericValue(std::uint8_t byte) {
  if (byte >= '0' && byte <= '9') return byte - '0';
  if (byte >= 'A' && byte <= 'Z') return byte - 'A' + kAlphanumericLetterBase;
  return SignValue(byte);
}

bool TQRSegmenter::IsKanjiPair(std::uint8_t lead, std::uint8_t trail) {
  const bool leadOk = InRange(lead, KanjiLead1First, KanjiLead1Last) ||
                      InRange(lead, KanjiLead2First, KanjiLead2Last);
  const bool trailOk = InRange(trail, KanjiTrail1First, KanjiTrail1Last) ||
                       InRange(trail, KanjiTrail2First, KanjiTrail2Last);
  return leadOk && trailOk && ((lead << 8) | trail) <= KanjiMaxValue;
}

int TQRSegmenter::ClassOf(const std::uint8_t* data, int pos, int end) {
  const std::uint8_t byte = data[pos];
  if (byte >= '0' && byte <= '9') return ModeNumeric;
  if (AlphanumericValue(byte) >= 0) return ModeAlphanumeric;
  if (pos + 1 < end && IsKanjiPair(byte, data[pos + 1])) return ModeKanji;
  return ModeByte;
}

int TQRSegmenter::SegmentBits(int mode, int n) const {
  const int characters = mode == ModeKanji ? n / 2 : n;
  return ModeIndicatorBits + countBits_[mode] + TQRVersionTable::CharacterBits(mode, characters);
}

int TQRSegmenter::RunLength(const std::uint8_t* data, int pos, int end, int cls) {
  const int start = pos;
  while (pos < end && ClassOf(data, pos, end) == cls) pos += cls == ModeKanji ? 2 : 1;
  return pos - start;
}

TQRSegment TQRSegmenter::NextSegment(const std::uint8_t* data, int pos, int end) const {
  if (pos >= end) return {};
  const int cur = ClassOf(data, pos, end);
  int n = 0;
  for (;;) {
    // Absorb the run of the current class.
    const int run = RunLength(data, pos + n, end, cur);
    n += run;
    const int next = pos + n;
    if (next >= end) return {cur, n};
    const int nxt = ClassOf(data, next, end);
    if (cur == ModeKanji || nxt == ModeKanji) return {cur, n};
    const int m = RunLength(data, next, end, nxt);
    if (nxt > cur) {
      // A less compact run follows: end here, or take this run into its class.
      if (SegmentBits(cur, n) + SegmentBits(nxt, m) < SegmentBits(nxt, n + m)) return {cur, n};
      return {nxt, n + m};
    }
    // A more compact run follows: leave it to its own segment when that is shorter.
    int split = SegmentBits(cur, n) + SegmentBits(nxt, m);
    const int after = next + m;
    if (after < end && ClassOf(data, after, end) == cur) split += SegmentBits(cur, 0);
    if (split < SegmentBits(cur, n + m)) return {cur, n};
    n += m;
  }
}

}  // namespace zephra::qrcode
