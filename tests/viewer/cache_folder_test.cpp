#include "viewer/cache_folder.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <filesystem>

#include "viewer/delete_tree.h"

namespace zephra::viewer {
namespace {

void WriteFile(const QString& path, qint64 size) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
  file.write(QByteArray(size, 'x'));
}

class CacheFolderTest : public testing::Test {
 protected:
  QTemporaryDir temp_;
  QString root_ = temp_.path() + QStringLiteral("/cache");
  TCacheFolder cache_{root_};
};

TEST_F(CacheFolderTest, TheFolderIsMadeOnFirstUseAndEndsWithASlash) {
  EXPECT_FALSE(QFileInfo::exists(root_));
  EXPECT_EQ(cache_.CacheFolder(), root_ + u'/');
  EXPECT_TRUE(QFileInfo(root_).isDir());
}

TEST_F(CacheFolderTest, EveryNameMapsIntoThePhonesFolderByItsHash) {
  cache_.SetPhoneFolder(QStringLiteral("P"));
  const QString phone = root_ + QStringLiteral("/P/");
  EXPECT_TRUE(QFileInfo(phone).isDir());
  EXPECT_EQ(cache_.LocalPathOf(QStringLiteral("/DCIM/a.jpg")),
            phone + QStringLiteral("04F8AE555A4ED7E82A895818FBEA911B.jpg"));
  EXPECT_EQ(cache_.LocalPathOf(QString()), QString());
  // A name that looks like a local path is a phone name too: it can't pick a file to replace.
  for (const char* name : {"C:\\pics\\a.png", "/home/user/.bashrc", "../../x.jpg", "a.jpg"}) {
    const QString path = cache_.LocalPathOf(QString::fromUtf8(name));
    EXPECT_TRUE(path.startsWith(phone)) << name;
    EXPECT_EQ((QFileInfo(path).absolutePath() + u'/').toStdString(), phone.toStdString()) << name;
  }
}

TEST_F(CacheFolderTest, AnEscapingPhoneNameGetsAFolderInsideTheCache) {
  for (const char* name : {"..", "../../outside", "/abs", "C:\\x", "CON", "x. "}) {
    cache_.SetPhoneFolder(QString::fromUtf8(name));
    EXPECT_EQ(cache_.PhoneFolder(), QString::fromUtf8(name));
    const QString folder = cache_.PhoneFolderPath();
    const QString parent = QFileInfo(QDir::cleanPath(folder)).absolutePath() + u'/';
    EXPECT_EQ(parent.toStdString(), cache_.CacheFolder().toStdString()) << name;
    EXPECT_TRUE(QFileInfo(folder).isDir()) << name;
  }
  EXPECT_FALSE(QFileInfo::exists(temp_.path() + QStringLiteral("/outside")));
}

TEST_F(CacheFolderTest, NeedsFetchComparesTheExactSizeAndFlagsLargePictures) {
  cache_.SetPhoneFolder(QStringLiteral("P"));
  const QString name = QStringLiteral("/a/b.jpg");
  auto need = cache_.NeedsFetch(name, QStringLiteral("1500001"));
  EXPECT_TRUE(need.MustFetch);
  EXPECT_TRUE(need.Large);
  EXPECT_FALSE(cache_.NeedsFetch(name, QStringLiteral("1500000")).Large);

  WriteFile(cache_.LocalPathOf(name), 99);
  EXPECT_FALSE(cache_.NeedsFetch(name, QStringLiteral("99")).MustFetch);
  EXPECT_TRUE(cache_.NeedsFetch(name, QStringLiteral("100")).MustFetch);  // one byte short
  // Without a usable size any file will do.
  for (const char* text : {"0", "", "abc", "-5", " 99x"}) {
    EXPECT_FALSE(cache_.NeedsFetch(name, QString::fromLatin1(text)).MustFetch) << text;
  }
  // Sizes beyond 32 bits are compared whole.
  EXPECT_TRUE(cache_.NeedsFetch(name, QStringLiteral("4294967395")).MustFetch);
  // A folder of that name is no file.
  const QString other = QStringLiteral("/a/c.jpg");
  QDir().mkpath(cache_.LocalPathOf(other));
  EXPECT_TRUE(cache_.NeedsFetch(other, QStringLiteral("0")).MustFetch);
}

TEST_F(CacheFolderTest, EmptyingDeletesEverythingBelowButKeepsTheFolder) {
  cache_.SetPhoneFolder(QStringLiteral("P"));
  WriteFile(cache_.LocalPathOf(QStringLiteral("/a.jpg")), 10);
  QDir().mkpath(root_ + QStringLiteral("/P/deep/deeper"));
  const QString readOnly = root_ + QStringLiteral("/P/deep/deeper/ro.png");
  WriteFile(readOnly, 5);
  QFile::setPermissions(readOnly, QFileDevice::ReadOwner);
  QFile::setPermissions(root_ + QStringLiteral("/P/deep/deeper"),
                        QFileDevice::ReadOwner | QFileDevice::ExeOwner);

  cache_.Empty();
  EXPECT_TRUE(QFileInfo(root_).isDir());
  EXPECT_TRUE(QDir(root_).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
  // The same phone afterwards gets its folder back.
  EXPECT_EQ(cache_.PhoneFolder(), QString());
  cache_.SetPhoneFolder(QStringLiteral("P"));
  EXPECT_TRUE(QFileInfo(root_ + QStringLiteral("/P")).isDir());
}

TEST_F(CacheFolderTest, DeleteTreeRemovesLinksWithoutFollowingThem) {
  QTemporaryDir outside;
  const QString precious = outside.path() + QStringLiteral("/keep.jpg");
  WriteFile(precious, 3);
  QDir().mkpath(root_);
  namespace fs = std::filesystem;
  fs::create_directory_symlink(outside.path().toStdString(), (root_ + "/linked-dir").toStdString());
  fs::create_symlink(precious.toStdString(), (root_ + "/linked-file").toStdString());

  DeleteTree(root_ + u'/');
  EXPECT_TRUE(QFileInfo(precious).isFile());
  EXPECT_FALSE(QFileInfo(root_ + "/linked-dir").isSymLink());
  EXPECT_FALSE(QFileInfo(root_ + "/linked-file").isSymLink());

  // A cache folder that is itself a link is not emptied.
  const QString linkedRoot = temp_.path() + QStringLiteral("/linked-root");
  fs::create_directory_symlink(outside.path().toStdString(), linkedRoot.toStdString());
  DeleteTree(linkedRoot + u'/');
  EXPECT_TRUE(QFileInfo(precious).isFile());
}

}  // namespace
}  // namespace zephra::viewer
