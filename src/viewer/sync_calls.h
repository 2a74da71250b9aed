#pragma once

#include <QObject>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace zephra::viewer {

// The one road from a worker thread to the GUI thread: a worker queues a function and waits
// until the GUI thread has run it. The GUI thread runs queued functions from its event loop and
// also while it waits for a worker to end (ServeUntil), where it does nothing else, so that a
// worker that needs the GUI thread can always finish. Created on the GUI thread.
class TSyncCalls : public QObject {
  Q_OBJECT

 public:
  explicit TSyncCalls(QObject* parent = nullptr);
  ~TSyncCalls() override;

  // Runs `call` on the GUI thread and returns when it has run. On the GUI thread itself it runs
  // at once. An exception from `call` is swallowed.
  void Call(std::function<void()> call);
  // GUI thread: runs queued calls until `done` holds; `done` is checked after every call and
  // after every Notify. Nothing but queued calls runs meanwhile.
  void ServeUntil(const std::function<bool()>& done);
  // Wakes ServeUntil so that it checks its condition again (a worker has ended). Any thread.
  void Notify();

 private:
  struct TPending {
    std::function<void()> Call;
    bool Done = false;
  };

  // Called through Qt's queue by name, so that the hand-over carries no state of the caller's:
  // everything a worker passes goes through the mutex.
  Q_INVOKABLE void RunPending();
  bool OnGuiThread() const;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::shared_ptr<TPending>> queue_;
  std::uint64_t notices_ = 0;  // goes up with every Notify and every queued call
};

}  // namespace zephra::viewer
