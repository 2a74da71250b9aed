#pragma once

#include <atomic>
#include <cstdint>

#include "link/link_constants.h"

namespace zephra::link {

// RequestCounter: hands out request ids 0, 1, ... MaxRequestId, then 0 again. Any thread.
class TRequestCounter {
 public:
  explicit TRequestCounter(std::int32_t next = 0) : next_(next) {}

  // The id for the next request; the counter moves on by one.
  std::int32_t Take();
  // The id the next Take will return.
  std::int32_t Peek() const { return next_.load(); }

 private:
  std::atomic<std::int32_t> next_;
};

}  // namespace zephra::link
