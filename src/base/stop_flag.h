#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <mutex>

namespace zephra::base {

// A program-wide stop flag such as the viewer's AbortLoad: written by one side, polled by the
// others. Setting it also wakes every subscribed waiter, so that a wait on a condition variable
// notices it at once instead of at the end of its time-out.
class TStopFlag {
 public:
  using WakeFn = std::function<void()>;

  bool IsSet() const { return value_.load(); }
  // Stores the value; setting it to true then calls every wake function (on this thread).
  void Set(bool value);

  // Registers a wake function; the returned token removes it again. Wake functions must not
  // subscribe or unsubscribe themselves.
  int Subscribe(WakeFn wake);
  void Unsubscribe(int token);

 private:
  std::atomic<bool> value_{false};
  std::mutex mutex_;
  int nextToken_ = 0;
  std::map<int, WakeFn> wakers_;
};

}  // namespace zephra::base
