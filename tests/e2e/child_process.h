#pragma once

#include <QProcess>

namespace zephra::e2e {

// A child process that is asked to end (SIGTERM), then killed, whatever happened before.
class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess() { Stop(); }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  QProcess& Process() { return process_; }
  bool Running() const { return process_.state() != QProcess::NotRunning; }
  // True when the process ended within the wait after SIGTERM (it is killed otherwise).
  bool Stop();

 private:
  QProcess process_;
};

}  // namespace zephra::e2e
