#include "platform/thread_priority.h"

#include <windows.h>

namespace zephra::platform {

void LowerThreadPriority() { SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL); }

}  // namespace zephra::platform
