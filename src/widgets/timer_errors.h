#pragma once

#include <stdexcept>
#include <string>

namespace zephra::widgets {

// The error kinds of the timer pool. All carry fixed texts; the two specific kinds derive from
// the general one so that one handler can catch every pool error.

// A general error: a duplicate identifier or an interval that the pool cannot serve.
class EGeneralError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// An object used in a way its state does not allow, such as an item without a pool or list.
class EInvalidOperation : public EGeneralError {
 public:
  using EGeneralError::EGeneralError;
};

// The system refused a resource, here the periodic timer.
class EOutOfResources : public EGeneralError {
 public:
  using EGeneralError::EGeneralError;
};

// The texts of the pool's errors (UTF-8).
inline constexpr char TimerExistsText[] = "Timer已存在";
inline constexpr char TimerIntervalText[] = "Timer时间有错";
inline constexpr char TimerResourcesText[] = "可用的计时器不足";
// Appended to the class name of an item constructed without its pool or list.
inline constexpr char InvalidOwnerText[] = ": Invalid Owner or List";

}  // namespace zephra::widgets
