#include "viewer/screen_capture.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QWidget>
#include <cstring>

namespace zephra::viewer {

namespace {

constexpr qsizetype BgrPixelBytes = 3;

// True when every pixel of the 24-bit `image` has the colour of its first. A desktop differs
// within its first rows, so the scan ends early; only a uniform shot is read to its end.
bool OneColour(const QImage& image) {
  const qsizetype rowBytes = qsizetype(image.width()) * BgrPixelBytes;
  const uchar* first = image.constScanLine(0);
  for (qsizetype at = BgrPixelBytes; at < rowBytes; at += BgrPixelBytes) {
    if (std::memcmp(first + at, first, BgrPixelBytes) != 0) return false;
  }
  for (int y = 1; y < image.height(); ++y) {
    if (std::memcmp(image.constScanLine(y), first, rowBytes) != 0) return false;
  }
  return true;
}

QImage Plain(QSize screen, QColor colour) {
  QImage plain(screen, QImage::Format_BGR888);
  plain.fill(colour);
  return plain;
}

}  // namespace

QSize PrimaryScreenSize() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return {};
  return screen->geometry().size() * screen->devicePixelRatio();
}

bool CaptureScreen(QImage& target) {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return false;
  // Window 0 is the whole screen; its offsets count from the screen's own corner.
  QImage shot = screen->grabWindow(0).toImage();
  if (shot.isNull()) return false;
  target = std::move(shot);
  return true;
}

QImage DesktopBackdrop(const QImage& shot, QSize screen, QColor colour) {
  if (shot.isNull() || shot.size() != screen) return Plain(screen, colour);
  QImage backdrop;
  if (shot.hasAlphaChannel()) {
    // Over the plain colour. Unpremultiplied first: a premultiplied pixel of alpha 0 may still
    // carry colour, which would be added to what is beneath.
    QImage flat(screen, QImage::Format_RGB32);
    flat.fill(colour);
    QPainter(&flat).drawImage(0, 0, shot.convertToFormat(QImage::Format_ARGB32));
    backdrop = flat.convertToFormat(QImage::Format_BGR888);
  } else {
    backdrop = shot.convertToFormat(QImage::Format_BGR888);
  }
  if (backdrop.isNull() || OneColour(backdrop)) return Plain(screen, colour);
  return backdrop;
}

void BringToFront(QWidget& window) {
  if (window.isMinimized()) {
    window.showNormal();
  }
  window.raise();
  window.activateWindow();
}

}  // namespace zephra::viewer
