#pragma once

#include <cstdint>

namespace zephra::widgets {

// Intervals are milliseconds in 1..65535; 0 never names a valid interval.
using TKelvoTimerInterval = std::uint16_t;

// The base period of a pool whose owner gives none, and the interval of a new item.
inline constexpr TKelvoTimerInterval DefaultMinInterval = 1000;
inline constexpr TKelvoTimerInterval DefaultItemInterval = 1000;
// The tick number right after the system timer starts.
inline constexpr std::int32_t FirstTickNumber = 1;
// Repeat count of an item that repeats until disabled.
inline constexpr std::int32_t UnlimitedRepeats = -1;

// True when `interval` is a positive whole multiple of `minInterval` (at least one base period).
// False for a zero `minInterval`.
bool IsPoolInterval(std::uint32_t interval, std::uint32_t minInterval);

// Base periods per firing: interval div minInterval; 0 for a zero `minInterval`.
std::int32_t TicksOf(std::uint32_t interval, std::uint32_t minInterval);

// Whether an item of `ticks` base periods is due on tick `tickNumber`: the tick number is a
// multiple of `ticks`. Never due for ticks below 1.
bool IsDueOnTick(std::int32_t tickNumber, std::int32_t ticks);

// value + 1, restarting at 0 where the sum would overflow to a negative value. Used for the
// tick number and for item counters.
std::int32_t NextWrapping(std::int32_t value);

}  // namespace zephra::widgets
