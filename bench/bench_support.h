#pragma once

// Pieces shared by the benchmark programs that time pictures.

#include <QImage>
#include <chrono>
#include <functional>

namespace zephra::bench {

// A 24-bit B,G,R picture with gradients and some texture, so no scaler meets only flat areas;
// `seed` varies the texture.
inline QImage TestPicture(int width, int height, int seed = 0) {
  QImage image(width, height, QImage::Format_BGR888);
  for (int y = 0; y < height; ++y) {
    uchar* row = image.scanLine(y);
    for (int x = 0; x < width; ++x) {
      row[x * 3 + 0] = static_cast<uchar>(x * 255 / width);
      row[x * 3 + 1] = static_cast<uchar>(y * 255 / height);
      row[x * 3 + 2] = static_cast<uchar>((x * 7 + y * 13 + seed) * 31);
    }
  }
  return image;
}

// Wall-clock seconds that `work` takes.
inline double Seconds(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace zephra::bench
