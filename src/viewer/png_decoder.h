#pragma once

#include <QImage>

#include "viewer/decode_limits.h"

class QIODevice;

namespace zephra::base {
class TStopFlag;
}

namespace zephra::viewer {

// Decodes the PNG on `source`, from its current position, into `target` as a Format_BGR888
// picture through PrepareTarget (the buffer is reused when it fits). Palette, grey, 16-bit and
// interlaced pictures are all taken; transparency is composited over white by libpng. The size
// in the header is checked against the picture caps before anything is allocated, and
// `abortLoad` between rows. Data that ends early fails. On any failure `target` is left empty.
TDecodeStatus DecodePng(QImage& target, QIODevice& source, const base::TStopFlag& abortLoad);

}  // namespace zephra::viewer
