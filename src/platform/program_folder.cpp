#include "platform/program_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace zephra::platform {

namespace {

QString ExecutableFolder() {
  if (QCoreApplication::instance() != nullptr) {
    return QCoreApplication::applicationDirPath();
  }
#if defined(Q_OS_LINUX)
  // Before the application object exists Linux still names the executable.
  const QFileInfo self(QStringLiteral("/proc/self/exe"));
  return QFileInfo(self.symLinkTarget()).absolutePath();
#else
  return QDir::currentPath();
#endif
}

}  // namespace

QString ProgramFolder() {
  static const QString folder = QDir::toNativeSeparators(ExecutableFolder()) + QDir::separator();
  return folder;
}

}  // namespace zephra::platform
