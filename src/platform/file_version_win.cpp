#include <windows.h>

#include <vector>

#include "platform/file_version.h"

namespace zephra::platform {

QString FileVersionText(const QString& path) {
  const std::wstring name = path.toStdWString();
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(name.c_str(), &ignored);
  if (size == 0) return {};
  std::vector<unsigned char> block(size);
  if (!GetFileVersionInfoW(name.c_str(), 0, size, block.data())) return {};
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) ||
      fixed == nullptr || length < sizeof(VS_FIXEDFILEINFO)) {
    return {};
  }
  return QString::asprintf("%d.%d.%d.%d", HIWORD(fixed->dwFileVersionMS),
                           LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS),
                           LOWORD(fixed->dwFileVersionLS));
}

}  // namespace zephra::platform
