#include <xcb/xcb.h>

#include <QByteArray>
#include <QtGlobal>

#include "platform/display_check.h"

namespace zephra::platform {

QString DisplayProblem() {
  // A platform named explicitly other than X11 (offscreen, or a Wayland plugin where one is
  // installed) is left to Qt.
  const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
  if (!platform.isEmpty() && !platform.startsWith("xcb")) return {};
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  const bool reachable = xcb_connection_has_error(connection) == 0;
  xcb_disconnect(connection);
  if (reachable) return {};
  const QByteArray display = qgetenv("DISPLAY");
  if (display.isEmpty()) {
    return QStringLiteral(
        "zephra-wifi: no display could be opened: DISPLAY is not set; set it "
        "to the X display (or XWayland) to show on, for example DISPLAY=:0");
  }
  return QStringLiteral(
             "zephra-wifi: no display could be opened at DISPLAY=%1; set DISPLAY to "
             "a running X display (or XWayland)")
      .arg(QString::fromLocal8Bit(display));
}

void PreferX11() {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "xcb");
}

}  // namespace zephra::platform
