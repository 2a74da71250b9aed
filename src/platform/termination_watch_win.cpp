#include "platform/termination_watch.h"

#include <cassert>
#include <mutex>

#include <windows.h>

#include <QMetaObject>
#include <QObject>

#include "platform/platform_constants.h"

namespace zephra::platform {

namespace {

// Where the console handler delivers a request: `context` lives on the thread that created the
// watch, so a queued call to it runs in that thread's event loop.
struct TRequestTarget {
  std::function<void()> onRequest;
  QObject context;
};

// The target of the current watch; guarded because the handler runs on a thread that the system
// creates for each console event.
std::mutex currentMutex;
TRequestTarget* current = nullptr;

// Set when the watch goes, so that a close event still waiting below returns early. Created
// once and never closed: a handler thread may still be waiting on it.
HANDLE WatchGoneEvent() {
  static const HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  return event;
}

bool EndsProcessOnReturn(DWORD type) {
  return type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT;
}

BOOL WINAPI OnConsoleControl(DWORD type) {
  {
    std::lock_guard lock(currentMutex);
    if (current == nullptr) {
      return FALSE;
    }
    // A call still queued when the watch (and its context) goes is dropped by Qt.
    TRequestTarget* target = current;
    QMetaObject::invokeMethod(
        &target->context,
        [target] {
          if (target->onRequest) {
            target->onRequest();
          }
        },
        Qt::QueuedConnection);
  }
  // The system ends the process as soon as this returns from a close, logoff or shutdown event:
  // give the GUI thread the time for its orderly shutdown (which ends the process itself).
  if (EndsProcessOnReturn(type)) {
    ::WaitForSingleObject(WatchGoneEvent(), static_cast<DWORD>(ConsoleCloseGrace.count()));
  }
  return TRUE;
}

}  // namespace

struct TTerminationWatch::TImpl {
  TRequestTarget target;
  bool installed = false;
};

TTerminationWatch::TTerminationWatch(std::function<void()> onRequest)
    : impl_(std::make_unique<TImpl>()) {
  impl_->target.onRequest = std::move(onRequest);
  {
    std::lock_guard lock(currentMutex);
    assert(current == nullptr && "one termination watch at a time");
    current = &impl_->target;
  }
  ::ResetEvent(WatchGoneEvent());
  impl_->installed = ::SetConsoleCtrlHandler(OnConsoleControl, TRUE) != FALSE;
}

TTerminationWatch::~TTerminationWatch() {
  if (impl_->installed) {
    ::SetConsoleCtrlHandler(OnConsoleControl, FALSE);
  }
  {
    std::lock_guard lock(currentMutex);
    current = nullptr;
  }
  ::SetEvent(WatchGoneEvent());
}

bool TTerminationWatch::Installed() const { return impl_->installed; }

}  // namespace zephra::platform
