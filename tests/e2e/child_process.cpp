#include "child_process.h"

namespace zephra::e2e {

namespace {
constexpr int StopMs = 5000;
}  // namespace

bool ChildProcess::Stop() {
  if (process_.state() == QProcess::NotRunning) return true;
  process_.terminate();
  if (process_.waitForFinished(StopMs)) return true;
  process_.kill();
  process_.waitForFinished(StopMs);
  return false;
}

}  // namespace zephra::e2e
