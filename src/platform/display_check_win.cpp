#include "platform/display_check.h"

namespace zephra::platform {

// A desktop session always has its window station.
QString DisplayProblem() { return {}; }

void PreferX11() {}

}  // namespace zephra::platform
