#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <string>

#include "child_process.h"

namespace zephra::e2e {

// A Wayland desktop session without a monitor: a headless weston of the virtual screen's size,
// its desktop shell, and XWayland, which weston starts for the first X client. Its Wayland
// socket is WaylandSocket in the runtime folder it is given.
class WestonSession {
 public:
  static constexpr char WaylandSocket[] = "wayland-zephra-e2e";

  // Starts weston with `runtimeDir` (made private if it isn't) as its XDG_RUNTIME_DIR and its
  // log in `logFile`, and waits for the X display it opens.
  WestonSession(const QString& runtimeDir, const QString& logFile);
  ~WestonSession() { weston_.Stop(); }
  WestonSession(const WestonSession&) = delete;
  WestonSession& operator=(const WestonSession&) = delete;

  // Whether weston runs with its X display; where it doesn't, why (as the test's skip says).
  bool Up() const { return !xDisplay_.isEmpty() && weston_.Running(); }
  const std::string& Problem() const { return problem_; }
  // The X display XWayland serves, ":N".
  const QByteArray& XDisplay() const { return xDisplay_; }
  // The screen as weston composes it, Wayland and X windows alike, through
  // weston-screenshooter; null when it can't be read.
  QImage Screenshot();

 private:
  QString runtimeDir_;
  QString logFile_;
  ChildProcess weston_;
  QByteArray xDisplay_;
  std::string problem_;
};

}  // namespace zephra::e2e
