#include "widgets/resample.h"

#include "widgets/area_scaler.h"
#include "widgets/bilinear_scaler.h"
#include "widgets/smooth_stretch.h"

namespace zephra::widgets {
namespace {

bool TooSmallToFilter(const QImage& source, int width, int height) {
  return source.width() < MinResampleSize || source.height() < MinResampleSize ||
         width < MinResampleSize || height < MinResampleSize;
}

// The unfiltered path: an exact copy at equal size, otherwise repeated or dropped pixels.
void PlainStretch(QImage& dest, const QImage& source, int width, int height) {
  if (source.size() == QSize(width, height)) {
    dest = source.copy();
  } else if (width < 1 || height < 1 || source.isNull()) {
    dest = QImage();
  } else {
    dest = source.scaled(width, height, Qt::IgnoreAspectRatio, Qt::FastTransformation);
  }
}

}  // namespace

bool IsPixel24(const QImage& image) {
  return image.format() == QImage::Format_BGR888 || image.format() == QImage::Format_RGB888;
}

void EnsurePixel24(QImage& image) {
  if (!IsPixel24(image)) image.convertTo(QImage::Format_BGR888);
}

void Resample(QImage& dest, QImage& source, int width, int height, TViewResampleFilter filter) {
  if (TooSmallToFilter(source, width, height) || source.size() == QSize(width, height)) {
    PlainStretch(dest, source, width, height);
    return;
  }
  switch (filter) {
    case vrfSharp:
      EnsurePixel24(source);
      dest = BilinearScale(source, width, height);
      break;
    case vrfCubic:
      if (IsAreaScalable(source)) dest = AreaScale(source, width, height);
      break;
    default:
      EnsurePixel24(source);
      dest = SmoothStretch(source, width, height);
      break;
  }
}

}  // namespace zephra::widgets
