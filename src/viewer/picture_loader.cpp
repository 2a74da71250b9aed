#include "viewer/picture_loader.h"

#include <QFile>
#include <algorithm>
#include <utility>

#include "base/stop_flag.h"
#include "viewer/fallback_decoder.h"
#include "viewer/heif_decoder.h"
#include "viewer/jpeg_decoder.h"
#include "viewer/picture_names.h"
#include "viewer/picture_transforms.h"
#include "viewer/png_decoder.h"

namespace zephra::viewer {
namespace {

enum class TFileFormat { Jpeg, Png, Heif, Other };

constexpr char JpegSignature[] = {'\xFF', '\xD8', '\xFF'};
constexpr char PngSignature[] = {'\x89', 'P', 'N', 'G', '\r', '\n', '\x1A', '\n'};

// EXIF orientations that LoadPicture turns.
constexpr int OrientationStored = 1;
constexpr int OrientationHalfTurn = 3;
constexpr int OrientationClockwise = 6;
constexpr int OrientationAnticlockwise = 8;

// Screen-size ratios from which the next smaller DCT scale is used.
constexpr int HalfRatio = 2;
constexpr int QuarterRatio = 4;
constexpr int EighthRatio = 8;

bool StartsWith(const QByteArray& head, const char* signature, qsizetype size) {
  return head.size() >= size && std::equal(signature, signature + size, head.constData());
}

// The format by the first bytes of `file`, which is left at its start.
TFileFormat SniffFormat(QFile& file) {
  const QByteArray head = file.peek(HeifHeaderBytes);
  if (StartsWith(head, JpegSignature, sizeof JpegSignature)) return TFileFormat::Jpeg;
  if (StartsWith(head, PngSignature, sizeof PngSignature)) return TFileFormat::Png;
  if (IsHeifHeader(head)) return TFileFormat::Heif;
  return TFileFormat::Other;
}

// Turns `target` by `orientation`, exchanging the reported size for quarter turns.
bool ApplyOrientation(QImage& target, int orientation, TLoadResult& result) {
  switch (orientation) {
    case OrientationHalfTurn:
      return RotateHalf(target);
    case OrientationClockwise:
    case OrientationAnticlockwise:
      std::swap(result.Width, result.Height);
      return orientation == OrientationClockwise ? RotateRight(target) : RotateLeft(target);
    default:
      return true;
  }
}

bool LoadJpeg(QImage& target, QFile& file, int orientation, int scale,
              const base::TStopFlag& abortLoad, TLoadResult& result) {
  const TJpegDecode decode = DecodeJpeg(target, file, scale, orientation == 0, abortLoad);
  if (decode.Status != TDecodeStatus::Ok || abortLoad.IsSet()) return false;
  result.Width = decode.Header.Width;
  result.Height = decode.Header.Height;
  if (orientation == 0) orientation = std::max(decode.Header.Orientation, OrientationStored);
  return ApplyOrientation(target, orientation, result);
}

// The box reduction of HEIF and AVIF pictures that matches a DCT scale: 1, 2, 4 or 8.
int ReductionOfScale(int scale) { return 1 << (std::clamp(scale, FullScale, EighthScale) - 1); }

// The HEIF or AVIF picture, reduced by what `reduction` picks for its full size. libheif
// applies the file's own transformations, so no orientation is asked for.
bool LoadHeif(QImage& target, QFile& file, const THeifReduction& reduction,
              const base::TStopFlag& abortLoad, TLoadResult& result) {
  const THeifDecode decode = DecodeHeif(target, file, reduction, abortLoad);
  result.Width = decode.Width;
  result.Height = decode.Height;
  return decode.Status == TDecodeStatus::Ok;
}

bool LoadThroughReader(QImage& target, const QString& path, const base::TStopFlag& abortLoad,
                       TLoadResult& result) {
  const TFallbackDecode decode = DecodeWithImageReader(target, path, abortLoad);
  result.FrameCount = decode.FrameCount;
  return decode.Status == TDecodeStatus::Ok;
}

// LoadPicture, with HEIF and AVIF pictures reduced by what `heifReduction` picks for their size.
TLoadResult Load(QImage& target, const QString& path, int orientation, int scale,
                 const THeifReduction& heifReduction, const base::TStopFlag& abortLoad) {
  TLoadResult result;
  QFile file(path);
  const TFileFormat format =
      file.open(QIODevice::ReadOnly) ? SniffFormat(file) : TFileFormat::Other;
  bool decoded = false;
  if (!abortLoad.IsSet()) {
    switch (format) {
      case TFileFormat::Jpeg:
        decoded = LoadJpeg(target, file, orientation, scale, abortLoad, result);
        result.FrameCount = 1;
        break;
      case TFileFormat::Png:
        decoded = DecodePng(target, file, abortLoad) == TDecodeStatus::Ok;
        result.FrameCount = 1;
        if (!decoded && !abortLoad.IsSet()) {
          file.close();
          decoded = LoadThroughReader(target, path, abortLoad, result);
          result.FrameCount = 1;
        }
        break;
      case TFileFormat::Heif:
        decoded = LoadHeif(target, file, heifReduction, abortLoad, result);
        result.FrameCount = 1;
        break;
      case TFileFormat::Other:
        file.close();
        decoded = LoadThroughReader(target, path, abortLoad, result);
        break;
    }
  }
  if (!decoded || abortLoad.IsSet() || target.width() < 1 || target.height() < 1) {
    target = QImage();
    return {};
  }
  if (result.Width == 0) {
    result.Width = target.width();
    result.Height = target.height();
  }
  result.Success = true;
  return result;
}

}  // namespace

TLoadResult LoadPicture(QImage& target, const QString& path, int orientation, int scale,
                        const base::TStopFlag& abortLoad) {
  const THeifReduction atScale = [scale](int, int) { return ReductionOfScale(scale); };
  return Load(target, path, orientation, scale, atScale, abortLoad);
}

int ScaleForScreen(int width, int height, QSize screenSize) {
  const int ratio =
      std::max(width / std::max(screenSize.width(), 1), height / std::max(screenSize.height(), 1));
  if (ratio < HalfRatio) return FullScale;
  if (ratio < QuarterRatio) return FullScale + 1;
  if (ratio < EighthRatio) return FullScale + 2;
  return EighthScale;
}

TLoadResult LoadPictureForScreen(QImage& target, const QString& path, QSize screenSize,
                                 const base::TStopFlag& abortLoad) {
  if (PictureKind(path) == pkJpeg) {
    if (const std::optional<TJpegInfo> info = ReadJpegInfo(path)) {
      const int scale = ScaleForScreen(info->Width, info->Height, screenSize);
      // Without EXIF data the header has already told that there is no orientation to read.
      const int orientation = std::max(info->Orientation, OrientationStored);
      TLoadResult result = LoadPicture(target, path, orientation, scale, abortLoad);
      if (result.Success) {
        result.Width = info->Width;
        result.Height = info->Height;
      }
      return result;
    }
  }
  // A HEIF or AVIF picture, whatever its name, is reduced for the screen once its size is read.
  const THeifReduction forScreen = [screenSize](int width, int height) {
    return ReductionOfScale(ScaleForScreen(width, height, screenSize));
  };
  return Load(target, path, 0, FullScale, forScreen, abortLoad);
}

std::optional<TJpegInfo> ReadJpegInfo(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  const std::optional<TJpegHeader> header = ReadJpegHeader(file);
  if (!header) return std::nullopt;
  TJpegInfo info{header->Orientation, header->Width, header->Height};
  if (info.Orientation == OrientationClockwise || info.Orientation == OrientationAnticlockwise) {
    std::swap(info.Width, info.Height);
  }
  return info;
}

}  // namespace zephra::viewer
