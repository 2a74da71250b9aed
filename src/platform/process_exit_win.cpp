#include "platform/process_exit.h"

#include <cstdio>

#include <windows.h>

namespace zephra::platform {

void TerminateOwnProcess(int code) {
  std::fflush(nullptr);
  const auto exitCode = static_cast<UINT>(code);
  ::TerminateProcess(::GetCurrentProcess(), exitCode);
  // Not reached; ExitProcess is declared noreturn, which keeps this function [[noreturn]].
  ::ExitProcess(exitCode);
}

}  // namespace zephra::platform
