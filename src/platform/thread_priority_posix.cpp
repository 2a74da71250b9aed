#include "platform/thread_priority.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace zephra::platform {

namespace {

// Niceness added to the thread; Linux applies it to the thread alone.
constexpr int BelowNormalNice = 5;

}  // namespace

void LowerThreadPriority() {
  const auto thread = static_cast<id_t>(syscall(SYS_gettid));
  const int current = getpriority(PRIO_PROCESS, thread);
  setpriority(PRIO_PROCESS, thread, current + BelowNormalNice);
}

}  // namespace zephra::platform
