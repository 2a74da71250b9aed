#pragma once

#include <QString>

namespace zephra::platform {

// Whether the windowing system the program would start on can be reached: on X11 a connection
// to the display is opened and closed again. An empty text when it can; otherwise the one line
// that tells the user why not and what to set. Runs before the application object exists.
QString DisplayProblem();

}  // namespace zephra::platform
