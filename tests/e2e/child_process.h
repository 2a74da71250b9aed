#pragma once

#include <QProcess>

namespace zephra::e2e {

// A process asked to end (SIGTERM) ends within this time: the program, the stand-in, the window
// manager and the X server alike.
inline constexpr int StopMs = 5000;

// Makes `process`, once started, receive SIGTERM when the thread that starts it ends; a child
// whose parent is gone already by then ends at once. The kernel drops this request when the
// child executes a file with capabilities (a build of the program given cap_net_bind_service,
// say): such a child outlives a test program that crashed, and the next run finds the ports held
// (ProgramE2eTest::SetUp then fails and names it). The child also inherits no file descriptor
// of this process but its standard input, output and error.
void EndWithThisProcess(QProcess& process);

// A child process that is asked to end (SIGTERM), then killed, whatever happened before. It
// also ends when the test program dies, except as noted for EndWithThisProcess.
class ChildProcess {
 public:
  ChildProcess() { EndWithThisProcess(process_); }
  ~ChildProcess() { Stop(); }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  QProcess& Process() { return process_; }
  bool Running() const { return process_.state() != QProcess::NotRunning; }
  // True when the process ended within StopMs after SIGTERM (it is killed otherwise).
  bool Stop();

 private:
  QProcess process_;
};

}  // namespace zephra::e2e
