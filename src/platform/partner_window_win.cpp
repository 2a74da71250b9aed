#include <windows.h>

#include <string>

#include "platform/partner_window.h"

namespace zephra::platform {

std::optional<std::int64_t> FindTopLevelWindowProcess(const QString& windowClass,
                                                      const QString& title) {
  const std::wstring className = windowClass.toStdWString();
  const std::wstring caption = title.toStdWString();
  const HWND window = FindWindowW(className.c_str(), caption.c_str());
  if (window == nullptr) {
    return std::nullopt;
  }
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  return pid != 0 ? std::optional<std::int64_t>(pid) : std::nullopt;
}

}  // namespace zephra::platform
