#pragma once

#include <memory>

#include <QString>

namespace zephra::platform {

// Ensures that one copy of the program runs per desktop. On Windows a named mutex; on POSIX an
// exclusive, non-blocking flock on a file called `name` in $XDG_RUNTIME_DIR (the temp folder when
// that is unset or unusable). What was acquired is held until Release or destruction.
class TSingleInstance {
 public:
  TSingleInstance();
  ~TSingleInstance();
  TSingleInstance(const TSingleInstance&) = delete;
  TSingleInstance& operator=(const TSingleInstance&) = delete;

  // False when another holder of `name` exists (another process or another TSingleInstance of
  // this one). True when this object now holds it, and also when the lock could not be set up
  // at all: the program then runs without the guard. `name` is a plain file name (no
  // separators). Precondition: nothing is held by this object.
  bool Acquire(const QString& name);
  // Lets go of what Acquire took; nothing when nothing is held.
  void Release();

 private:
  struct TImpl;
  std::unique_ptr<TImpl> impl_;
};

}  // namespace zephra::platform
