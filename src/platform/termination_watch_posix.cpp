#include "platform/termination_watch.h"

#include <array>
#include <atomic>
#include <cassert>
#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QObject>
#include <QSocketNotifier>

namespace zephra::platform {

namespace {

constexpr int NoFile = -1;
constexpr std::array<int, 2> RequestSignals{SIGTERM, SIGINT};

// Write end of the self-pipe while a watch exists; read by the signal handler.
std::atomic<int> wakeFd{NoFile};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs a lock-free fd");

// Async-signal-safe: one write to a non-blocking pipe. A full pipe already holds a request.
void OnRequestSignal(int) {
  const int savedErrno = errno;
  const int fd = wakeFd.load(std::memory_order_relaxed);
  if (fd != NoFile) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
  }
  errno = savedErrno;
}

bool SetDisposition(int signalNumber, void (*handler)(int), struct sigaction* previous) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  // Blocking calls on other threads resume instead of failing with EINTR.
  action.sa_flags = SA_RESTART;
  return ::sigaction(signalNumber, &action, previous) == 0;
}

void DrainPipe(int fd) {
  std::array<char, 64> buffer;
  while (::read(fd, buffer.data(), buffer.size()) > 0) {
  }
}

}  // namespace

struct TTerminationWatch::TImpl {
  std::function<void()> onRequest;
  std::array<int, 2> pipe{NoFile, NoFile};  // [0] read end, [1] write end
  std::unique_ptr<QSocketNotifier> notifier;
  std::array<struct sigaction, RequestSignals.size()> previousRequest{};
  struct sigaction previousPipe {};
  bool installed = false;
};

TTerminationWatch::TTerminationWatch(std::function<void()> onRequest)
    : impl_(std::make_unique<TImpl>()) {
  assert(wakeFd.load() == NoFile && "one termination watch at a time");
  impl_->onRequest = std::move(onRequest);
  if (::pipe2(impl_->pipe.data(), O_CLOEXEC | O_NONBLOCK) != 0) {
    return;
  }

  // The notifier lives on this thread, so the callback runs from this thread's event loop.
  impl_->notifier = std::make_unique<QSocketNotifier>(impl_->pipe[0], QSocketNotifier::Read);
  TImpl* impl = impl_.get();
  QObject::connect(impl->notifier.get(), &QSocketNotifier::activated, impl->notifier.get(), [impl] {
    DrainPipe(impl->pipe[0]);
    if (impl->onRequest) {
      impl->onRequest();
    }
  });

  wakeFd.store(impl_->pipe[1]);
  bool installed = true;
  for (std::size_t i = 0; i < RequestSignals.size(); ++i) {
    installed &= SetDisposition(RequestSignals[i], OnRequestSignal, &impl_->previousRequest[i]);
  }
  installed &= SetDisposition(SIGPIPE, SIG_IGN, &impl_->previousPipe);
  impl_->installed = installed;
}

TTerminationWatch::~TTerminationWatch() {
  if (impl_->pipe[0] == NoFile) {
    return;
  }
  // Put the old dispositions back before the pipe goes, so no handler writes to a closed fd.
  for (std::size_t i = 0; i < RequestSignals.size(); ++i) {
    ::sigaction(RequestSignals[i], &impl_->previousRequest[i], nullptr);
  }
  ::sigaction(SIGPIPE, &impl_->previousPipe, nullptr);
  wakeFd.store(NoFile);
  impl_->notifier.reset();
  ::close(impl_->pipe[0]);
  ::close(impl_->pipe[1]);
}

bool TTerminationWatch::Installed() const { return impl_->installed; }

}  // namespace zephra::platform
