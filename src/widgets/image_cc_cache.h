#pragma once

#include <QImage>
#include <QSize>

#include "widgets/resample.h"

namespace zephra::widgets {

// The format in which the control keeps what it blits on every paint: the screen's native 32-bit
// layout, premultiplied when the picture has an alpha channel.
QImage::Format DisplayFormat(bool alpha);
// `picture` converted to DisplayFormat and scaled to `size`: with `filter`, or with a plain
// smoothing scale when the picture has an alpha channel, which the filters do not keep; an equal
// size only converts. Null when `size` is empty or the result too large to allocate.
QImage DisplayCopy(const QImage& picture, QSize size, TViewResampleFilter filter);

// The picture control's resample cache: the whole picture scaled once to the size at which it is
// shown, in DisplayFormat, so that paints and pans only copy from it. It goes stale
// whenever the picture or the view changes and is rebuilt by the next paint that needs it.
class TImageCCCache {
 public:
  // Null when cleared or when the last build was too large to allocate.
  const QImage& Bitmap() const { return FBitmap; }
  bool Stale() const { return FStale; }
  void SetStale(bool stale) { FStale = stale; }
  // Stale, or last built for another size.
  bool NeedsBuild(QSize size) const { return FStale || size != FBuiltSize; }
  // Counts the builds, so that a caller can tell whether the cache was rebuilt.
  int Generation() const { return FGeneration; }

  // Holds DisplayCopy(picture, size, filter); `size` is in display pixels. No longer stale
  // afterwards.
  void Build(const QImage& picture, QSize size, TViewResampleFilter filter);
  // Empty, size 0 x 0, not stale.
  void Clear();

 private:
  QImage FBitmap;
  QSize FBuiltSize{0, 0};
  bool FStale = false;
  int FGeneration = 0;
};

}  // namespace zephra::widgets
