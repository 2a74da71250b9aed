#include "viewer/screen_capture.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QWidget>

namespace zephra::viewer {

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
  target = shot.convertToFormat(QImage::Format_BGR888);
  return !target.isNull();
}

void BringToFront(QWidget& window) {
  if (window.isMinimized()) {
    window.showNormal();
  }
  window.raise();
  window.activateWindow();
}

}  // namespace zephra::viewer
