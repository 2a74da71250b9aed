#pragma once

#include <QImage>
#include <optional>

#include "viewer/decode_limits.h"

class QIODevice;

namespace zephra::base {
class TStopFlag;
}

namespace zephra::viewer {

// DCT scale steps: 1 full size, 2 one half, 3 one quarter, 4 one eighth.
inline constexpr int FullScale = 1;
inline constexpr int EighthScale = 4;

// What a JPEG's header tells without decoding pixels.
struct TJpegHeader {
  int Width = 0;  // as stored in the file, before any orientation
  int Height = 0;
  int Orientation = 0;  // EXIF Orientation 1 to 8; 0 without (valid) EXIF data
};

// Reads the header of the JPEG on `source`, from its current position: the stored size and the
// EXIF orientation. Nothing when no complete JPEG header can be read.
std::optional<TJpegHeader> ReadJpegHeader(QIODevice& source);

struct TJpegDecode {
  TDecodeStatus Status = TDecodeStatus::Failed;
  // Stored size; Orientation only when it was asked for.
  TJpegHeader Header;
};

// Decodes the JPEG on `source` at DCT `scale` (1 to 4) into `target` as a Format_BGR888 picture
// of the scaled size, through PrepareTarget (the buffer is reused when it fits). The scaled size
// and libjpeg's own whole-image buffers are checked against the picture caps before anything is
// allocated. Stops at once when `abortLoad` is set. Data that ends early or is corrupt fails
// rather than being padded with grey. On any failure `target` is left empty.
TJpegDecode DecodeJpeg(QImage& target, QIODevice& source, int scale, bool readOrientation,
                       const base::TStopFlag& abortLoad);

}  // namespace zephra::viewer
