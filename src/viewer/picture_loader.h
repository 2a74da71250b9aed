#pragma once

#include <QImage>
#include <QSize>
#include <QString>
#include <optional>

namespace zephra::base {
class TStopFlag;
}

namespace zephra::viewer {

// What a picture load reports.
struct TLoadResult {
  bool Success = false;
  // Full-resolution size after the orientation, whatever scale the picture was decoded at.
  int Width = 0;
  int Height = 0;
  // Frames in the file: 1 for JPEG, PNG, HEIF and AVIF, what Qt's reader reports for other
  // formats; 0 when the load failed.
  int FrameCount = 0;
};

// A JPEG's parameters, read without decoding pixels.
struct TJpegInfo {
  int Orientation = 0;  // EXIF Orientation 1 to 8; 0 without EXIF data
  int Width = 0;        // the stored size, exchanged for orientations 6 and 8
  int Height = 0;
};

// Decodes the picture at `path` into `target` as a Format_BGR888 picture, by its content: JPEG
// at DCT `scale` (1 full size, 2 one half, 3 one quarter, 4 one eighth) turned by `orientation`
// (3 half turn, 6 clockwise, 8 anticlockwise, others as stored; 0 reads it from the file's EXIF
// data), PNG at full size (through Qt's readers when libpng fails), HEIF and AVIF (known by
// their 'ftyp' box) through libheif with the file's own transformations and every side divided
// by 2^(scale - 1) (box average), everything else through Qt's readers (first frame,
// transparency over white). The target's buffer is reused when it already has the decoded size
// and format. Fails, leaving `target` empty, when no decoder takes
// the file, the picture is above the caps of decode_limits.h, a quarter turn finds no memory, or
// `abortLoad` is or becomes set.
TLoadResult LoadPicture(QImage& target, const QString& path, int orientation, int scale,
                        const base::TStopFlag& abortLoad);

// The DCT scale for a picture of width x height (after orientation) on a screen: ratio :=
// max(width / screen width, height / screen height) in integers; 1 below 2, 2 for 2 and 3, 3
// for 4 to 7, 4 from 8.
int ScaleForScreen(int width, int height, QSize screenSize);

// LoadPicture reduced for a screen of `screenSize`: a file named as a JPEG whose header reads is
// decoded at ScaleForScreen with the header's orientation, and reports the header's size; a
// HEIF or AVIF file, whatever its name, is reduced by ScaleForScreen of its displayed size and
// reports that full size; anything else is LoadPicture at full size.
TLoadResult LoadPictureForScreen(QImage& target, const QString& path, QSize screenSize,
                                 const base::TStopFlag& abortLoad);

// The parameters of the JPEG at `path`; nothing when its header cannot be read.
std::optional<TJpegInfo> ReadJpegInfo(const QString& path);

}  // namespace zephra::viewer
