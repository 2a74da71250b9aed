#pragma once

#include <chrono>

namespace zephra::platform {

// Access mode of the single-instance lock file: owner read/write only, so that another user's
// copy neither blocks ours nor is blocked by it.
inline constexpr unsigned LockFileMode = 0600;

// How long a Windows console close, logoff or shutdown event keeps the process alive for the GUI
// thread's orderly shutdown (the system ends the process after about five seconds anyway).
inline constexpr std::chrono::milliseconds ConsoleCloseGrace{4500};

}  // namespace zephra::platform
