#pragma once

#include <QProcess>

namespace zephra::e2e {

// Makes `process`, once started, receive SIGTERM when the thread that starts it ends, so that
// nothing the tests start outlives a test program that crashed or was killed.
void EndWithThisProcess(QProcess& process);

// A child process that is asked to end (SIGTERM), then killed, whatever happened before. It
// also ends when the test program dies.
class ChildProcess {
 public:
  ChildProcess() { EndWithThisProcess(process_); }
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
