#pragma once

#include <QString>

namespace zephra::platform {

// Whether the windowing system the program would start on can be reached: on X11 a connection
// to the display is opened and closed again. An empty text when it can; otherwise the one line
// that tells the user why not and what to set. Runs before the application object exists.
QString DisplayProblem();

// Makes Qt show the program through X11 (XWayland in a Wayland session) unless QT_QPA_PLATFORM
// names a platform: the program places its toast and windows itself, captures the screen and
// looks for the partner's window, none of which a Wayland client may do. Runs before the
// application object exists.
void PreferX11();

}  // namespace zephra::platform
