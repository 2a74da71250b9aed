#include "app/about_text.h"

#include "app/app_constants.h"
#include "app/app_version.h"

namespace zephra::app {

QString AboutText(const QString& version) {
  const QString lineBreak = QString::fromUtf8(LineBreak);
  return QString::fromUtf8(AppTitle) + lineBreak + QString::fromUtf8(AboutRule) + lineBreak +
         QString::fromUtf8(AboutVersionLabel) + version + lineBreak +
         QString::fromUtf8(AboutRights);
}

QString ProgramVersion() {
  return QString::asprintf("%d.%d.%d.%d", VersionMajor, VersionMinor, VersionRelease, VersionBuild);
}

}  // namespace zephra::app
