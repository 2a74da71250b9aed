#include "platform/processes.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "platform/local_addresses.h"

namespace zephra::platform {
namespace {

constexpr int StartMs = 5000;

TEST(ProcessesTest, NamesTheExecutableOfAProcess) {
  EXPECT_EQ(ProcessExeName(QCoreApplication::applicationPid()), QStringLiteral("platform_test"));
  EXPECT_TRUE(ProcessExeName(0).isEmpty());
  EXPECT_TRUE(ProcessExeName(0x7ffffff0).isEmpty());  // above any process id in use
}

TEST(ProcessesTest, CountsWithoutRegardToCaseAndStopsAtN) {
  EXPECT_TRUE(CountProcesses(QStringLiteral("PLATFORM_TEST"), 1));
  EXPECT_TRUE(CountProcesses(QStringLiteral("platform_test"), 0));
  EXPECT_FALSE(CountProcesses(QStringLiteral("no-such-program-xq"), 1));
  EXPECT_FALSE(CountProcesses(QStringLiteral("platform_tes"), 1));  // whole names only
}

// A program replaced or removed while it runs keeps its name (the kernel marks its link).
TEST(ProcessesTest, RemovedExecutableKeepsItsName) {
  const QString sleep = QStandardPaths::findExecutable(QStringLiteral("sleep"));
  if (sleep.isEmpty()) GTEST_SKIP() << "no sleep";
  QTemporaryDir folder;
  const QString copy = folder.filePath(QStringLiteral("zephra-sleeper"));
  ASSERT_TRUE(QFile::copy(sleep, copy));
  QProcess sleeper;
  sleeper.start(copy, {QStringLiteral("30")});
  ASSERT_TRUE(sleeper.waitForStarted(StartMs));
  ASSERT_TRUE(QFile::remove(copy));
  EXPECT_EQ(ProcessExeName(sleeper.processId()), QStringLiteral("zephra-sleeper"));
  EXPECT_TRUE(CountProcesses(QStringLiteral("zephra-sleeper"), 1));
  sleeper.kill();
  sleeper.waitForFinished(StartMs);
}

TEST(LocalAddressesTest, OnlyIpv4AddressesOtherThanLoopback) {
  for (const QString& address : LocalIpv4Addresses()) {
    EXPECT_EQ(address.count(QLatin1Char('.')), 3) << address.toStdString();
    EXPECT_FALSE(address.startsWith(QLatin1String("127."))) << address.toStdString();
  }
}

}  // namespace
}  // namespace zephra::platform
