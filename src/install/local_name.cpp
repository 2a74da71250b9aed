#include "install/local_name.h"

#include <QDir>
#include <QFileInfo>

#include "install/install_constants.h"

namespace zephra::install {

namespace {

// A name with a NUL in it would be cut short by the file system calls and name another entry;
// no such entry exists.
bool Nameable(const QString& name) { return !name.contains(QChar(u'\0')); }

bool FileExists(const QString& name) {
  const QFileInfo info(name);
  return Nameable(name) && info.exists() && !info.isDir();
}

bool FolderExists(const QString& name) { return Nameable(name) && QFileInfo(name).isDir(); }

}  // namespace

QString LocalName(const QString& programFolder, const QString& document) {
  return programFolder + document;
}

QString ApplyIndexFile(const QString& localName) {
  if (FileExists(localName) || !FolderExists(localName)) return localName;
  const QString index = QDir::toNativeSeparators(
      QDir::cleanPath(QFileInfo(localName + QLatin1String(IndexFileSuffix)).absoluteFilePath()));
  return FileExists(index) ? index : localName;
}

bool InsideProgramFolder(const QString& localName, const QString& programFolder) {
  return localName.size() >= programFolder.size() &&
         QStringView(localName)
                 .left(programFolder.size())
                 .compare(programFolder, Qt::CaseInsensitive) == 0;
}

}  // namespace zephra::install
