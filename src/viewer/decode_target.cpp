#include "viewer/decode_target.h"

namespace zephra::viewer {

bool PrepareTarget(QImage& target, int width, int height) {
  if (target.width() == width && target.height() == height &&
      target.format() == QImage::Format_BGR888 && target.isDetached()) {
    return true;
  }
  target = QImage();
  target = QImage(width, height, QImage::Format_BGR888);
  return !target.isNull();
}

}  // namespace zephra::viewer
