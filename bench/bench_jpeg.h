#pragma once

// A JPEG writer for the benchmark programs that decode camera-like pictures.

#include <jpeglib.h>

#include <QFile>
#include <QImage>
#include <QString>
#include <cstdio>

namespace zephra::bench {

// Writes the 24-bit B,G,R `picture` as a camera-like JPEG (4:2:0) of `quality` at `path`;
// false when it can't be written.
inline bool WriteJpeg(const QString& path, const QImage& picture, int quality) {
  FILE* file = std::fopen(QFile::encodeName(path).constData(), "wb");
  if (file == nullptr) return false;
  jpeg_compress_struct info;
  jpeg_error_mgr error;
  info.err = jpeg_std_error(&error);
  jpeg_create_compress(&info);
  jpeg_stdio_dest(&info, file);
  info.image_width = JDIMENSION(picture.width());
  info.image_height = JDIMENSION(picture.height());
  info.input_components = 3;
  info.in_color_space = JCS_EXT_BGR;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<uchar*>(picture.constScanLine(int(info.next_scanline)));
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return std::fclose(file) == 0;
}

}  // namespace zephra::bench
