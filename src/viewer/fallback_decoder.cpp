#include "viewer/fallback_decoder.h"

#include <QImageReader>
#include <algorithm>
#include <mutex>
#include <utility>

#include "base/stop_flag.h"
#include "viewer/decode_target.h"

namespace zephra::viewer {
namespace {

// Qt decodes into 32-bit pixels.
constexpr int ReaderBytesPerPixel = 4;
constexpr int Opaque = 255;
constexpr qint64 BytesPerMegabyte = 1024 * 1024;
// Qt's allocation limit that matches the picture caps: Qt's readers refuse, before allocating,
// any picture whose buffer would exceed MaxPictureBytes.
constexpr int ReaderAllocationLimitMb = int(MaxPictureBytes / BytesPerMegabyte);

// Qt's own limit for its readers (process-wide, 128 or 256 MB by default) refuses 32-bit pictures
// from about 34 megapixels on, far below the caps; raises it to the caps unless it is off or
// higher already.
void AllowPicturesUpToTheCaps() {
  static std::mutex mutex;
  std::lock_guard lock(mutex);
  const int limit = QImageReader::allocationLimit();
  if (limit != 0 && limit < ReaderAllocationLimitMb) {
    QImageReader::setAllocationLimit(ReaderAllocationLimitMb);
  }
}

// `image` as B,G,R in `target`: a plain conversion without transparency, else every pixel
// composited over white.
bool FlattenOnWhite(QImage image, QImage& target) {
  if (!image.hasAlphaChannel()) {
    image.convertTo(QImage::Format_BGR888);
    target = std::move(image);
    return !target.isNull();
  }
  image.convertTo(QImage::Format_ARGB32_Premultiplied);
  if (image.isNull() || !PrepareTarget(target, image.width(), image.height())) return false;
  for (int y = 0; y < image.height(); ++y) {
    const auto* source = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    uchar* row = target.scanLine(y);
    for (int x = 0; x < image.width(); ++x) {
      // Premultiplied: colour + (255 - alpha) x white.
      const int cover = Opaque - qAlpha(source[x]);
      row[x * 3 + 0] = static_cast<uchar>(qBlue(source[x]) + cover);
      row[x * 3 + 1] = static_cast<uchar>(qGreen(source[x]) + cover);
      row[x * 3 + 2] = static_cast<uchar>(qRed(source[x]) + cover);
    }
  }
  return true;
}

}  // namespace

TFallbackDecode DecodeWithImageReader(QImage& target, const QString& path,
                                      const base::TStopFlag& abortLoad) {
  TFallbackDecode result;
  const auto fail = [&](TDecodeStatus status) {
    target = QImage();
    result.Status = status;
    return result;
  };
  AllowPicturesUpToTheCaps();
  QImageReader reader(path);
  reader.setAutoTransform(false);
  const QSize size = reader.size();
  if (size.isValid() && !FitsPictureLimits(size.width(), size.height(), ReaderBytesPerPixel)) {
    return fail(TDecodeStatus::TooLarge);
  }
  const int frames = reader.imageCount();
  if (abortLoad.IsSet()) return fail(TDecodeStatus::Aborted);
  QImage image;
  if (!reader.read(&image) || image.isNull()) return fail(TDecodeStatus::Failed);
  if (abortLoad.IsSet()) return fail(TDecodeStatus::Aborted);
  if (!FlattenOnWhite(std::move(image), target)) return fail(TDecodeStatus::Failed);
  result.Status = TDecodeStatus::Ok;
  result.FrameCount = std::max(1, frames);
  return result;
}

}  // namespace zephra::viewer
