#pragma once

#include <QColor>
#include <QImage>
#include <QSize>

class QWidget;

namespace zephra::viewer {

// The primary screen's size in device pixels; empty when there is no screen. GUI thread.
QSize PrimaryScreenSize();

// CaptureScreen: `target` becomes a copy of the primary screen, from its top left corner to its
// size, in the format the platform hands out (an alpha channel included, if it has one). False
// (target unchanged) when the screen can't be read. GUI thread.
bool CaptureScreen(QImage& target);

// DesktopBackdrop: what stands behind the viewer's pictures, as 24-bit B,G,R of `screen`'s size:
// `shot` when it shows a desktop, or plain `colour` when it doesn't. A compositor that keeps the
// screen from X clients (XWayland under a Wayland session) hands out an empty shot, or one in a
// single colour all over: all black, all white or all transparent. Such a shot, like one of
// another size, shows no desktop. Transparent parts of a shot that is kept show `colour`.
QImage DesktopBackdrop(const QImage& shot, QSize screen, QColor colour);

// BringToFront: restores `window` when it is minimised, raises it above the other normal
// windows without moving or resizing it, and makes it the active window. GUI thread.
void BringToFront(QWidget& window);

}  // namespace zephra::viewer
