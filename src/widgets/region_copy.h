#pragma once

#include <QImage>
#include <QRegion>
#include <cstdint>

namespace zephra::widgets {

// Copies the source pixels inside `region` onto the destination at the same place. Parts of the
// region outside the bitmaps are ignored. Both bitmaps are 24 bits per pixel and of equal size.
void CopyThroughRegion(QImage& dest, const QImage& source, const QRegion& region);
// Copies the bytes of `source` whose `mask` byte is 0xFF onto `dest` (the mask holds 0 or 0xFF).
void CopyMaskedBytes(std::uint8_t* dest, const std::uint8_t* source, const std::uint8_t* mask,
                     qsizetype length);
// Copies every source pixel onto the destination.
void CopyWhole(QImage& dest, const QImage& source);

}  // namespace zephra::widgets
