#include "widgets/image_cc_cache.h"

namespace zephra::widgets {
QImage DisplayCopy(const QImage& picture, QSize size, TViewResampleFilter filter) {
  if (size.isEmpty() || picture.isNull()) return QImage();
  const bool alpha = picture.hasAlphaChannel();
  const QImage::Format format = DisplayFormat(alpha);
  if (size == picture.size()) return picture.convertToFormat(format);
  if (alpha) {
    return picture.convertToFormat(format).scaled(size, Qt::IgnoreAspectRatio,
                                                  Qt::SmoothTransformation);
  }
  // Every filter takes a 24-bit source; the area scaler refuses others instead of converting.
  QImage source = picture;
  EnsurePixel24(source);
  QImage scaled;
  Resample(scaled, source, size.width(), size.height(), filter);
  return scaled.convertToFormat(format);
}

QImage::Format DisplayFormat(bool alpha) {
  return alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
}

void TImageCCCache::Build(const QImage& picture, QSize size, TViewResampleFilter filter) {
  FBitmap = DisplayCopy(picture, size, filter);
  FBuiltSize = size;
  FStale = false;
  ++FGeneration;
}

void TImageCCCache::Clear() {
  FBitmap = QImage();
  FBuiltSize = QSize(0, 0);
  FStale = false;
}

}  // namespace zephra::widgets
