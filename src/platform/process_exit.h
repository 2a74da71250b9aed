#pragma once

namespace zephra::platform {

// Ends the own process at once with exit `code`: no destructors, no atexit handlers, and every
// other thread ends with it, whatever it is doing.
[[noreturn]] void TerminateOwnProcess(int code);

}  // namespace zephra::platform
