#include "test_pictures.h"

#include <QApplication>
#include <cstring>

namespace zephra::widgets::testing {

void EnsureApplication() {
  if (QCoreApplication::instance() != nullptr) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "widgets_test";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);
}

QImage NoisePicture(int width, int height, int seed) {
  QImage image(width, height, QImage::Format_BGR888);
  unsigned state = 2654435761u * static_cast<unsigned>(seed + 1);
  for (int y = 0; y < height; ++y) {
    uchar* row = image.scanLine(y);
    for (int i = 0; i < width * 3; ++i) {
      state = state * 1664525u + 1013904223u;
      // Seeds land in different halves of the range, so pixels of two seeds never match.
      row[i] = static_cast<uchar>(((state >> 24) & 0x7F) | (seed % 2 ? 0x80 : 0));
    }
  }
  return image;
}

QImage FlatPicture(int width, int height, int blue, int green, int red) {
  QImage image(width, height, QImage::Format_BGR888);
  for (int y = 0; y < height; ++y) {
    uchar* row = image.scanLine(y);
    for (int x = 0; x < width; ++x) {
      row[3 * x] = static_cast<uchar>(blue);
      row[3 * x + 1] = static_cast<uchar>(green);
      row[3 * x + 2] = static_cast<uchar>(red);
    }
  }
  return image;
}

bool SamePixels(const QImage& image, const QImage& expected) {
  if (image.size() != expected.size() || image.depth() != expected.depth()) return false;
  const int rowBytes = image.width() * image.depth() / 8;
  for (int y = 0; y < image.height(); ++y) {
    if (std::memcmp(image.constScanLine(y), expected.constScanLine(y), rowBytes) != 0) return false;
  }
  return true;
}

int CountEqualPixels(const QImage& image, const QImage& other) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      count += std::memcmp(image.constScanLine(y) + 3 * x, other.constScanLine(y) + 3 * x, 3) == 0;
    }
  }
  return count;
}

}  // namespace zephra::widgets::testing
