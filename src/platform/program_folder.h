#pragma once

#include <QString>

namespace zephra::platform {

// The folder of the running executable in native form, ending with a separator ("\" on
// Windows, "/" elsewhere). Fixed by the first call, which should come after the Qt application
// object exists.
QString ProgramFolder();

}  // namespace zephra::platform
