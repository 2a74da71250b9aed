#include "install/local_name.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace zephra::install {
namespace {

class LocalNameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(root_.isValid());
    ASSERT_TRUE(QDir(root_.path()).mkpath(QStringLiteral("app/sub")));
    folder_ = QDir::toNativeSeparators(root_.path() + QStringLiteral("/app/"));
  }
  void Touch(const QString& relative) {
    QFile file(root_.path() + QLatin1Char('/') + relative);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  }
  QString Resolved(const QString& document) const {
    return ApplyIndexFile(LocalName(folder_, document));
  }
  QString Native(const QString& relative) const {
    return QDir::toNativeSeparators(root_.path() + QLatin1Char('/') + relative);
  }

  QTemporaryDir root_;
  QString folder_;
};

TEST_F(LocalNameTest, FolderWithIndexFileBecomesTheResolvedIndexFile) {
  EXPECT_EQ(Resolved(QStringLiteral("/../x")), folder_ + QStringLiteral("/../x"));
  EXPECT_EQ(Resolved(QStringLiteral("/sub")), folder_ + QStringLiteral("/sub"));
  Touch(QStringLiteral("app/sub/index.htm"));
  EXPECT_EQ(Resolved(QStringLiteral("/sub")), Native(QStringLiteral("app/sub/index.htm")));
  EXPECT_EQ(Resolved(QStringLiteral("/./sub/../sub/")),
            Native(QStringLiteral("app/sub/index.htm")));
  // A file of the name wins over the rule, and an index folder is no index file.
  Touch(QStringLiteral("app/file"));
  EXPECT_EQ(Resolved(QStringLiteral("/file")), folder_ + QStringLiteral("/file"));
  ASSERT_TRUE(QDir(root_.path()).mkpath(QStringLiteral("app/dir/index.htm")));
  EXPECT_EQ(Resolved(QStringLiteral("/dir")), folder_ + QStringLiteral("/dir"));
}

TEST_F(LocalNameTest, NameWithNulNeverNamesAnEntry) {
  Touch(QStringLiteral("index.htm"));
  const QString document = QStringLiteral("/..") + QChar(u'\0') + QStringLiteral("/x");
  EXPECT_EQ(Resolved(document), folder_ + document);
}

TEST_F(LocalNameTest, ConfinementComparesTheFolderPrefixWithoutCase) {
  EXPECT_TRUE(InsideProgramFolder(folder_ + QStringLiteral("/x"), folder_));
  EXPECT_TRUE(InsideProgramFolder(folder_.toUpper() + QStringLiteral("x"), folder_));
  EXPECT_TRUE(InsideProgramFolder(folder_, folder_));
  EXPECT_FALSE(InsideProgramFolder(folder_.chopped(1), folder_));
  Touch(QStringLiteral("index.htm"));
  EXPECT_FALSE(InsideProgramFolder(Resolved(QStringLiteral("/..")), folder_));
  EXPECT_FALSE(InsideProgramFolder(Native(QStringLiteral("apple/x")), folder_));
}

}  // namespace
}  // namespace zephra::install
