#include "widgets/timer_ticks.h"

#include <limits>

namespace zephra::widgets {

bool IsPoolInterval(std::uint32_t interval, std::uint32_t minInterval) {
  return minInterval > 0 && interval >= minInterval && interval % minInterval == 0;
}

std::int32_t TicksOf(std::uint32_t interval, std::uint32_t minInterval) {
  if (minInterval == 0) return 0;
  return static_cast<std::int32_t>(interval / minInterval);
}

bool IsDueOnTick(std::int32_t tickNumber, std::int32_t ticks) {
  return ticks > 0 && tickNumber % ticks == 0;
}

std::int32_t NextWrapping(std::int32_t value) {
  if (value == std::numeric_limits<std::int32_t>::max()) return 0;
  return value + 1;
}

}  // namespace zephra::widgets
