#pragma once

#include <QString>

namespace zephra::viewer {

// Deletes every file and subfolder below `folder`; the folder itself stays. Read-only files and
// folders are deleted too. A symbolic link is removed as a link: what it points to is never
// touched. Failures are skipped.
void DeleteTree(const QString& folder);

}  // namespace zephra::viewer
