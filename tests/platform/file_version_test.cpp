#include "platform/file_version.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

ZEPHRA_FILE_VERSION_NOTE(1, 2, 3, 40000);

namespace zephra::platform {
namespace {

QString OwnFile() {
#if defined(Q_OS_LINUX)
  return QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
#else
  return QCoreApplication::applicationFilePath();
#endif
}

TEST(FileVersionTest, ReadsTheVersionTheProgramFileCarries) {
  EXPECT_EQ(FileVersionText(OwnFile()).toStdString(), "1.2.3.40000");
}

TEST(FileVersionTest, FilesWithoutAVersionGiveEmptyText) {
  QTemporaryDir dir;
  const QString own = OwnFile();
  QFile self(own);
  ASSERT_TRUE(self.open(QIODevice::ReadOnly));
  const QByteArray whole = self.readAll();
  // A cut program file, a header alone and a file that isn't a program.
  for (const QByteArray& bytes :
       {whole.left(whole.size() / 2), whole.left(64), QByteArray("not a program at all")}) {
    const QString path = dir.filePath(QStringLiteral("f"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
    file.close();
    EXPECT_EQ(FileVersionText(path), QString());
  }
  EXPECT_EQ(FileVersionText(dir.filePath(QStringLiteral("missing"))), QString());
}

}  // namespace
}  // namespace zephra::platform
