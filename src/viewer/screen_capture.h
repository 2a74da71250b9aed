#pragma once

#include <QImage>
#include <QSize>

class QWidget;

namespace zephra::viewer {

// The primary screen's size in device pixels; empty when there is no screen. GUI thread.
QSize PrimaryScreenSize();

// CaptureScreen: `target` becomes a 24-bit B,G,R copy of the primary screen, from its top left
// corner to its size. False (target unchanged) when the screen can't be read. GUI thread.
bool CaptureScreen(QImage& target);

// BringToFront: restores `window` when it is minimised, raises it above the other normal
// windows without moving or resizing it, and makes it the active window. GUI thread.
void BringToFront(QWidget& window);

}  // namespace zephra::viewer
