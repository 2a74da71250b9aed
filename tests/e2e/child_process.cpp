#include "child_process.h"

#include <linux/close_range.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace zephra::e2e {

namespace {
// The exit code of a child whose parent died before it could ask to end with it.
constexpr int OrphanExitCode = 127;
}  // namespace

void EndWithThisProcess(QProcess& process) {
  const pid_t parent = ::getpid();
  // Runs in the child between fork and exec. A parent that died before prctl took effect sent
  // no signal: the child has been handed to another process by then.
  process.setChildProcessModifier([parent] {
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent) ::_exit(OrphanExitCode);
    // The test's own sockets (a phone simulator's, say) must not live on in the child: a phone
    // that closed its connections would still look connected to the program.
    ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
  });
}

bool ChildProcess::Stop() {
  if (process_.state() == QProcess::NotRunning) return true;
  process_.terminate();
  if (process_.waitForFinished(StopMs)) return true;
  process_.kill();
  process_.waitForFinished(StopMs);
  return false;
}

}  // namespace zephra::e2e
