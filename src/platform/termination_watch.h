#pragma once

#include <functional>
#include <memory>

namespace zephra::platform {

// Turns the operating system's requests to end the program into a call of `onRequest` on the
// thread that created the watch, from its Qt event loop. POSIX: SIGTERM and SIGINT (through a
// self-pipe and a QSocketNotifier; the signal handler only writes one byte), and SIGPIPE is
// ignored so that a peer closing a socket mid-write can't end the process. Windows: console
// Ctrl+C, Ctrl+Break, close, logoff and shutdown events.
//
// One watch at a time per process; the previous dispositions come back on destruction. Requests
// that arrive together may be reported once. `onRequest` must not destroy the watch.
class TTerminationWatch {
 public:
  explicit TTerminationWatch(std::function<void()> onRequest);
  ~TTerminationWatch();
  TTerminationWatch(const TTerminationWatch&) = delete;
  TTerminationWatch& operator=(const TTerminationWatch&) = delete;

  // False when the handlers could not be installed (the default actions then stay in force).
  bool Installed() const;

 private:
  struct TImpl;
  std::unique_ptr<TImpl> impl_;
};

}  // namespace zephra::platform
