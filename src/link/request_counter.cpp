#include "link/request_counter.h"

namespace zephra::link {

std::int32_t TRequestCounter::Take() {
  std::int32_t id = next_.load();
  while (!next_.compare_exchange_weak(id, id >= MaxRequestId || id < 0 ? 0 : id + 1)) {
  }
  return id;
}

}  // namespace zephra::link
