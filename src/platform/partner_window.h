#pragma once

#include <QString>
#include <cstdint>
#include <optional>

namespace zephra::platform {

// The id of the process that owns a top-level window of class `windowClass` whose title is
// `title`; nullopt when there is no such window or its owner can't be told.
//
// On X11 the class is the class part of WM_CLASS and the title is _NET_WM_NAME (else WM_NAME).
// The window manager's client list is searched first, then the root window's children and their
// children (where a reparenting window manager puts client windows, or where they are when no
// window manager runs). The owner comes from _NET_WM_PID, else from the X-Resource extension.
// The display is the one $DISPLAY names; without one nothing is found.
std::optional<std::int64_t> FindTopLevelWindowProcess(const QString& windowClass,
                                                      const QString& title);

}  // namespace zephra::platform
