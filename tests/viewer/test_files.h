#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QString>
#include <vector>

#include "base/stop_flag.h"

class QTemporaryDir;

namespace zephra::viewer::testing {

// An EXIF APP1 payload ("Exif\0\0" and a TIFF block) whose IFD0 holds one Orientation entry
// after one unrelated entry.
QByteArray ExifSegment(int orientation, bool bigEndian);

struct TJpegOptions {
  int Quality = 95;
  bool Progressive = false;
  bool Grey = false;
  int Orientation = 0;  // 0 writes no EXIF segment
  bool BigEndianExif = false;
};

// `image` written as a JPEG by libjpeg.
QByteArray EncodeJpeg(const QImage& image, const TJpegOptions& options = {});

// A 24-bit picture in four flat quadrants: red top left, green top right, blue bottom left,
// white bottom right.
QImage Quadrants(int width, int height);
// A 24-bit picture whose pixels all differ (up to 2^24 of them), as noise.
QImage NoisePicture(int width, int height, int seed = 0);
// True when every channel of `a` lies within `tolerance` of `b`'s.
bool Near(QRgb a, QRgb b, int tolerance = 40);

// One frame for EncodeGif.
struct TTestFrame {
  QRect Rect;
  std::vector<unsigned char> Pixels;  // colour indexes, rows in the order they are stored
  int Disposal = 0;                   // as in the graphic control extension
  int DelayCs = 0;
  int Transparent = -1;
  bool Interlaced = false;
};

// A GIF written by giflib: a logical screen with the global `palette` (2, 4, 8 … colours), a
// NETSCAPE2.0 loop extension when `loops` is not negative, then the frames.
QByteArray EncodeGif(QSize screen, const std::vector<QRgb>& palette,
                     const std::vector<TTestFrame>& frames, int loops = -1);

// Writes `bytes` as `name` in `dir` and returns the path.
QString WriteFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes);

// A buffer that sets `flag` once `trip` bytes have been read from it, standing in for a stop
// that comes while a decoder is busy.
class TTrippingBuffer : public QBuffer {
 public:
  TTrippingBuffer(const QByteArray& data, qint64 trip, base::TStopFlag& flag);

 protected:
  qint64 readData(char* data, qint64 size) override;

 private:
  QByteArray FData;
  qint64 FTrip;
  qint64 FRead = 0;
  base::TStopFlag& FFlag;
};

}  // namespace zephra::viewer::testing
