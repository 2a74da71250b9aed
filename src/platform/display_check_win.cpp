#include "platform/display_check.h"

namespace zephra::platform {

// A desktop session always has its window station.
QString DisplayProblem() { return {}; }

}  // namespace zephra::platform
