#pragma once

#include <QString>
#include <cstdint>

namespace zephra::platform {

// Longest executable file name that is reported; longer ones are cut.
inline constexpr int MaxExeNameLength = 260;

// The executable file name (no folder, at most MaxExeNameLength characters) of process `pid`;
// empty when no process has that id or its name can't be read.
QString ProcessExeName(std::int64_t pid);

// True when at least `n` running processes have the executable file name `exeName`, compared
// without regard to case. The walk stops at the n-th match. `n` <= 0 is always true.
bool CountProcesses(const QString& exeName, int n);

// Ends process `pid` at once (exit code 0 where the system lets the caller choose one). False
// when there is no such process or the caller may not end it. `pid` <= 0 is always false.
bool KillProcess(std::int64_t pid);

}  // namespace zephra::platform
