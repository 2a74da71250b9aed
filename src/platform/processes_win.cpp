#include <tlhelp32.h>
#include <windows.h>

#include <functional>

#include "platform/processes.h"

namespace zephra::platform {

namespace {

// Calls `visit` for every entry of a snapshot of all processes until it returns false. The
// snapshot is closed before this returns.
void WalkProcesses(const std::function<bool(const PROCESSENTRY32W&)>& visit) {
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) {
    return;
  }
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more && visit(entry);
       more = Process32NextW(snapshot, &entry)) {
  }
  CloseHandle(snapshot);
}

QString ExeNameOf(const PROCESSENTRY32W& entry) {
  return QString::fromWCharArray(entry.szExeFile).left(MaxExeNameLength);
}

}  // namespace

QString ProcessExeName(std::int64_t pid) {
  QString name;
  WalkProcesses([&name, pid](const PROCESSENTRY32W& entry) {
    if (static_cast<std::int64_t>(entry.th32ProcessID) != pid) {
      return true;
    }
    name = ExeNameOf(entry);
    return false;
  });
  return name;
}

bool CountProcesses(const QString& exeName, int n) {
  if (n <= 0) {
    return true;
  }
  int found = 0;
  WalkProcesses([&found, &exeName, n](const PROCESSENTRY32W& entry) {
    if (ExeNameOf(entry).compare(exeName, Qt::CaseInsensitive) == 0) {
      ++found;
    }
    return found < n;
  });
  return found >= n;
}

bool KillProcess(std::int64_t pid) {
  if (pid <= 0 || pid > MAXDWORD) {
    return false;
  }
  HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, static_cast<DWORD>(pid));
  if (process == nullptr) {
    return false;
  }
  const bool ended = TerminateProcess(process, 0) != FALSE;
  CloseHandle(process);
  return ended;
}

}  // namespace zephra::platform
