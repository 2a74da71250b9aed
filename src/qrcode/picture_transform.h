#pragma once

#include <QImage>

namespace zephra::qrcode {

// Turns `image` by `angle` degrees clockwise (90, 180 or 270; any other angle returns it
// unchanged). With W x H the old size: 90 gives new (x, y) = old (y, H - 1 - x); 180 gives
// old (W - 1 - x, H - 1 - y); 270 gives old (W - 1 - y, x). The pixel format and colour table
// are kept.
QImage RotateImage(const QImage& image, int angle);

// Mirrors `image` left to right: new (x, y) = old (W - 1 - x, y).
QImage MirrorImage(const QImage& image);

}  // namespace zephra::qrcode
