#include "base/stop_flag.h"

#include <utility>

namespace zephra::base {

void TStopFlag::Set(bool value) {
  value_.store(value);
  if (!value) return;
  std::lock_guard lock(mutex_);
  for (const auto& [token, wake] : wakers_) wake();
}

int TStopFlag::Subscribe(WakeFn wake) {
  std::lock_guard lock(mutex_);
  const int token = nextToken_++;
  wakers_.emplace(token, std::move(wake));
  return token;
}

void TStopFlag::Unsubscribe(int token) {
  std::lock_guard lock(mutex_);
  wakers_.erase(token);
}

}  // namespace zephra::base
