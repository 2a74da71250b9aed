#include "child_process.h"

#include <signal.h>
#include <sys/prctl.h>

namespace zephra::e2e {

namespace {
constexpr int StopMs = 5000;
}  // namespace

void EndWithThisProcess(QProcess& process) {
  // Runs in the child between fork and exec.
  process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
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
