#include "viewer/sync_calls.h"

#include <QMetaObject>
#include <QThread>

namespace zephra::viewer {

TSyncCalls::TSyncCalls(QObject* parent) : QObject(parent) {}

TSyncCalls::~TSyncCalls() {
  // Workers are joined before the helper goes; anything still queued is released unrun.
  std::lock_guard lock(mutex_);
  for (const auto& pending : queue_) pending->Done = true;
  queue_.clear();
  changed_.notify_all();
}

bool TSyncCalls::OnGuiThread() const { return QThread::currentThread() == thread(); }

void TSyncCalls::Call(std::function<void()> call) {
  if (OnGuiThread()) {
    try {
      call();
    } catch (...) {
    }
    return;
  }
  auto pending = std::make_shared<TPending>();
  pending->Call = std::move(call);
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(pending);
    ++notices_;
  }
  changed_.notify_all();
  QMetaObject::invokeMethod(this, "RunPending", Qt::QueuedConnection);
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&pending] { return pending->Done; });
}

void TSyncCalls::RunPending() {
  for (;;) {
    std::shared_ptr<TPending> pending;
    {
      std::lock_guard lock(mutex_);
      if (queue_.empty()) return;
      pending = queue_.front();
      queue_.pop_front();
    }
    try {
      pending->Call();
    } catch (...) {
    }
    {
      std::lock_guard lock(mutex_);
      pending->Done = true;
    }
    changed_.notify_all();
  }
}

void TSyncCalls::ServeUntil(const std::function<bool()>& done) {
  for (;;) {
    // The count is read before serving, so that a call queued or a notice given after it makes
    // the wait below return at once.
    std::uint64_t seen = 0;
    {
      std::lock_guard lock(mutex_);
      seen = notices_;
    }
    RunPending();
    if (done()) return;
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this, seen] { return notices_ != seen; });
  }
}

void TSyncCalls::Notify() {
  {
    std::lock_guard lock(mutex_);
    ++notices_;
  }
  changed_.notify_all();
}

}  // namespace zephra::viewer
