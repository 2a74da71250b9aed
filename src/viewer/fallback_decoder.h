#pragma once

#include <QImage>
#include <QString>

#include "viewer/decode_limits.h"

namespace zephra::base {
class TStopFlag;
}

namespace zephra::viewer {

struct TFallbackDecode {
  TDecodeStatus Status = TDecodeStatus::Failed;
  int FrameCount = 0;  // frames the reader reports, at least 1 on success
};

// Decodes the first frame of the picture at `path` through Qt's image readers (any format they
// take, chosen by name and content) into `target` as a Format_BGR888 picture, transparency
// composited over white. A size the reader knows in advance is checked against the picture caps
// before decoding; every read stays within Qt's allocation limit, which is raised (for the whole
// process) to MaxPictureBytes when it is lower. `abortLoad` is checked before and after the read.
// On any failure `target` is left empty.
TFallbackDecode DecodeWithImageReader(QImage& target, const QString& path,
                                      const base::TStopFlag& abortLoad);

}  // namespace zephra::viewer
