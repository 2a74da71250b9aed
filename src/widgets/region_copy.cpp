// Built with the vectoriser's full cost model (see CMakeLists.txt) for the masked row copy.
#include "widgets/region_copy.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "widgets/simd_clones.h"

namespace zephra::widgets {
namespace {

constexpr int BytesPerPixel = 3;
// A band with at least this many pieces, averaging fewer bytes than MaskMaxAverageBytes each, is
// copied through a byte mask: one vectorised pass per row instead of many tiny copies.
constexpr int MaskMinPieces = 8;
constexpr qsizetype MaskMaxAverageBytes = 64;

// memcpy for the short spans that fine regions are made of: two overlapping fixed-size moves
// instead of a library call.
inline void CopySpan(uchar* dest, const uchar* source, std::size_t length) {
  constexpr std::size_t Large = 32, Medium = 16, Small = 8, Tiny = 4;
  if (length >= Large) {
    std::memcpy(dest, source, length);
  } else if (length >= Medium) {
    std::memcpy(dest, source, Medium);
    std::memcpy(dest + length - Medium, source + length - Medium, Medium);
  } else if (length >= Small) {
    std::memcpy(dest, source, Small);
    std::memcpy(dest + length - Small, source + length - Small, Small);
  } else if (length >= Tiny) {
    std::memcpy(dest, source, Tiny);
    std::memcpy(dest + length - Tiny, source + length - Tiny, Tiny);
  } else {
    for (std::size_t i = 0; i < length; ++i) dest[i] = source[i];
  }
}

// One band of QRegion rectangles [first, last): equal top and bottom, sorted by x.
struct TBand {
  const QRect* First;
  const QRect* Last;
};

class TRegionCopier {
 public:
  TRegionCopier(QImage& dest, const QImage& source)
      : bounds_(dest.rect()),
        destBits_(dest.bits()),  // detaches once, before any row is written
        sourceBits_(source.constBits()),
        destStride_(dest.bytesPerLine()),
        sourceStride_(source.bytesPerLine()) {}

  void Copy(const TBand& band) {
    const int top = std::max(band.First->top(), bounds_.top());
    const int bottom = std::min(band.First->bottom(), bounds_.bottom());
    if (top > bottom) return;
    if (WantsMask(band)) {
      CopyMasked(band, top, bottom);
    } else {
      CopySpans(band, top, bottom);
    }
  }

 private:
  QRect Clip(const QRect& r) const { return r & bounds_; }

  static bool WantsMask(const TBand& band) {
    const qsizetype pieces = band.Last - band.First;
    if (pieces < MaskMinPieces) return false;
    const qsizetype extent = (band.Last - 1)->right() + 1 - band.First->left();
    return extent * BytesPerPixel < pieces * MaskMaxAverageBytes;
  }

  void CopySpans(const TBand& band, int top, int bottom) {
    for (int y = top; y <= bottom; ++y) {
      uchar* destRow = destBits_ + y * destStride_;
      const uchar* sourceRow = sourceBits_ + y * sourceStride_;
      for (const QRect* r = band.First; r != band.Last; ++r) {
        const QRect c = Clip(*r);
        if (c.isEmpty()) continue;
        const qsizetype offset = static_cast<qsizetype>(c.left()) * BytesPerPixel;
        CopySpan(destRow + offset, sourceRow + offset,
                 static_cast<std::size_t>(c.width()) * BytesPerPixel);
      }
    }
  }

  void CopyMasked(const TBand& band, int top, int bottom) {
    const int left = std::max(band.First->left(), bounds_.left());
    const int right = std::min((band.Last - 1)->right(), bounds_.right());
    if (left > right) return;
    const qsizetype offset = static_cast<qsizetype>(left) * BytesPerPixel;
    const qsizetype length = static_cast<qsizetype>(right - left + 1) * BytesPerPixel;
    mask_.assign(length, 0);
    for (const QRect* r = band.First; r != band.Last; ++r) {
      const QRect c = Clip(*r);
      if (c.isEmpty()) continue;
      std::fill_n(mask_.begin() + (c.left() * BytesPerPixel - offset), c.width() * BytesPerPixel,
                  0xFF);
    }
    for (int y = top; y <= bottom; ++y) {
      CopyMaskedBytes(destBits_ + y * destStride_ + offset,
                      sourceBits_ + y * sourceStride_ + offset, mask_.data(), length);
    }
  }

  QRect bounds_;
  uchar* destBits_;
  const uchar* sourceBits_;
  qsizetype destStride_;
  qsizetype sourceStride_;
  std::vector<std::uint8_t> mask_;
};

}  // namespace

void CopyThroughRegion(QImage& dest, const QImage& source, const QRegion& region) {
  TRegionCopier copier(dest, source);
  const QRect* first = region.begin();
  const QRect* const end = region.end();
  // QRegion lists its rectangles in bands of equal top and bottom, sorted by x; copying band by
  // band, row by row, touches every row once however many pieces it has.
  while (first != end) {
    const QRect* last = first;
    while (last != end && last->top() == first->top()) ++last;
    copier.Copy({first, last});
    first = last;
  }
}

ZEPHRA_WIDE_SIMD_CLONES void CopyMaskedBytes(std::uint8_t* __restrict dest,
                                             const std::uint8_t* __restrict source,
                                             const std::uint8_t* __restrict mask,
                                             qsizetype length) {
  for (qsizetype i = 0; i < length; ++i) {
    dest[i] = static_cast<std::uint8_t>((source[i] & mask[i]) | (dest[i] & ~mask[i]));
  }
}

void CopyWhole(QImage& dest, const QImage& source) {
  CopyThroughRegion(dest, source, QRegion(dest.rect()));
}

}  // namespace zephra::widgets
