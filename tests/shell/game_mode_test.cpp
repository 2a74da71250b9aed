#include "shell/game_mode.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

namespace zephra::shell {
namespace {

// System-wide settings redirected into a temporary folder, written as the partner would. Each
// write goes to a fresh folder: settings files are cached by path, and rewriting one within the
// same second need not be seen.
class GameModeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.isValid());
    UseFolder(folder_.path());
  }

  void UseFolder(const QString& path) {
    QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, path);
  }

  void WriteSettings(const QByteArray& contents) {
    const QString path = folder_.filePath(QString::number(++writes_));
    ASSERT_TRUE(QDir(path).mkpath(QStringLiteral("OrvexSafe")));
    QFile file(path + QStringLiteral("/OrvexSafe/mobilemgr.conf"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(contents);
    file.close();
    UseFolder(path);
  }

  QTemporaryDir folder_;
  int writes_ = 0;
};

TEST_F(GameModeTest, OnlyTheValueOneMeansGameMode) {
  WriteSettings("[General]\ngamemode=1\n");
  EXPECT_FALSE(NotInGameMode());
  WriteSettings("[General]\ngamemode=0\n");
  EXPECT_TRUE(NotInGameMode());
  WriteSettings("[General]\ngamemode=2\n");
  EXPECT_TRUE(NotInGameMode());
}

TEST_F(GameModeTest, MissingOrNonIntegerValuesAreNotGameMode) {
  EXPECT_TRUE(NotInGameMode());  // no settings at all, and none are created by asking
  EXPECT_FALSE(QDir(folder_.filePath(QStringLiteral("OrvexSafe"))).exists());
  WriteSettings("[General]\nother=1\n");
  EXPECT_TRUE(NotInGameMode());
  WriteSettings("[General]\ngamemode=on\n");
  EXPECT_TRUE(NotInGameMode());
}

}  // namespace
}  // namespace zephra::shell
