#pragma once

#include <QByteArray>
#include <QImage>
#include <functional>

#include "viewer/decode_limits.h"

class QIODevice;

namespace zephra::base {
class TStopFlag;
}

namespace zephra::viewer {

// Bytes of a file's start that IsHeifHeader looks at.
inline constexpr int HeifHeaderBytes = 64;

// True when `head` (the first bytes of a file, up to HeifHeaderBytes) opens with an ISO-BMFF
// 'ftyp' box whose major or one of whose compatible brands is a HEIF or AVIF brand (heic heix
// heim heis hevc hevx mif1 msf1 avif avis).
bool IsHeifHeader(const QByteArray& head);

// The box reduction (1, 2, 4 or 8: every side divided by it, rounded up) for a picture of
// width x height as displayed; anything else counts as 1.
using THeifReduction = std::function<int(int width, int height)>;

struct THeifDecode {
  TDecodeStatus Status = TDecodeStatus::Failed;
  // The full-resolution size as displayed, after the file's rotation, mirroring and crop,
  // whatever reduction was decoded; 0 unless Status is Ok.
  int Width = 0;
  int Height = 0;
};

// Decodes the primary picture of the HEIF or AVIF file on `source` (all of it from its current
// position) into `target` as a Format_BGR888 picture through PrepareTarget, with the file's
// transformations (irot, imir, clap) applied and EXIF orientation ignored, so that nothing is
// turned twice. Transparency is composited over white, 10- and 12-bit pictures come out with 8
// bits. `reduction` is asked once the full size is known; a reduced picture is the box average
// of the full decode, or the file's thumbnail when one is at least the reduced size with the
// same proportions (that thumbnail comes out at its own size).
//
// The size is checked against the caps of decode_limits.h before decoding, counting libheif's
// interleaved copy of the picture (3 or 4 bytes a pixel) as the largest buffer; libheif itself
// refuses any side above about 17,400 pixels (the side of a square at the pixel cap), which
// bounds what a file can make it decode whatever size it declares. libheif's
// working memory beside it (the decoded Y'CbCr planes, 1.5 to 6 bytes a pixel, and the tiles
// of a grid) is not counted: a decode at the caps takes about three times MaxPictureBytes.
// `abortLoad` is checked before reading, before and after libheif's decode and between rows of
// the conversion; libheif itself cannot be stopped, so a decode once started runs to its end.
// Truncated or corrupt data fails. On any failure `target` is left empty.
THeifDecode DecodeHeif(QImage& target, QIODevice& source, const THeifReduction& reduction,
                       const base::TStopFlag& abortLoad);

}  // namespace zephra::viewer
