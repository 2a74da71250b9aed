// The partner lookup for real: a virtual X display, the hotspot stand-in and the process walk.

#include <gtest/gtest.h>
#include <signal.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include "platform/partner_window.h"
#include "shell/partner_probe.h"
#include "shell/shell_constants.h"

namespace zephra::shell {
namespace {

constexpr int StartMs = 10000;
constexpr int PollMs = 50;

std::optional<std::int64_t> LookUpPartnerWindow() {
  return platform::FindTopLevelWindowProcess(QString::fromUtf8(PartnerWindowClass),
                                             QString::fromUtf8(PartnerWindowTitle));
}

// Waits until `condition` holds, at most StartMs.
template <typename Condition>
bool Eventually(Condition condition) {
  QDeadlineTimer deadline(StartMs);
  while (!condition()) {
    if (deadline.hasExpired()) return false;
    QThread::msleep(PollMs);
  }
  return true;
}

// One Xvfb for the test program, on a display number it picks itself; $DISPLAY points at it.
class XDisplay {
 public:
  static XDisplay& Instance() {
    static XDisplay display;
    return display;
  }
  bool Up() const { return up_; }

 private:
  XDisplay() {
    if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty()) return;
    server_.start(QStringLiteral("Xvfb"),
                  {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "800x600x24"});
    if (!server_.waitForReadyRead(StartMs)) return;
    const QByteArray number = server_.readLine().trimmed();
    qputenv("DISPLAY", ":" + number);
    up_ = !number.isEmpty();
  }
  ~XDisplay() {
    server_.terminate();
    server_.waitForFinished(StartMs);
  }

  QProcess server_;
  bool up_ = false;
};

class PartnerWindowX11Test : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!XDisplay::Instance().Up()) GTEST_SKIP() << "no Xvfb";
  }
  void TearDown() override {
    for (QProcess* process : {&standin_, &windowManager_}) {
      process->terminate();
      process->waitForFinished(StartMs);
    }
  }

  // Starts the stand-in under a name of its own, so that stand-ins of tests running at the same
  // time are not counted, and waits for its window.
  void StartStandin(const QStringList& arguments = {}) {
    ASSERT_TRUE(folder_.isValid());
    const QString copy = folder_.filePath(StandinName());
    ASSERT_TRUE(QFile::copy(QStringLiteral(HOTSPOT_STANDIN_PATH), copy));
    standin_.start(copy, arguments);
    ASSERT_TRUE(standin_.waitForReadyRead(StartMs)) << "the stand-in did not come up";
    ASSERT_TRUE(standin_.readLine().startsWith("ready"));
  }
  std::int64_t StandinPid() const { return standin_.processId(); }
  static QString StandinName() {
    return QStringLiteral("standin-%1").arg(QCoreApplication::applicationPid());
  }

  QTemporaryDir folder_;
  QProcess standin_;
  QProcess windowManager_;
};

TEST_F(PartnerWindowX11Test, StandinWithItsCompanionCountsAsRunning) {
  StartStandin();
  EXPECT_EQ(LookUpPartnerWindow(), StandinPid());
  TPartnerProbe probe;
  EXPECT_TRUE(Eventually([&probe] { return probe.PartnerHotspotRunning(); }));
  EXPECT_EQ(probe.PartnerExeName(), StandinName());
}

TEST_F(PartnerWindowX11Test, OneProcessOnlyCountsAsAbsent) {
  StartStandin({"--single"});
  TPartnerProbe probe;
  EXPECT_FALSE(probe.PartnerHotspotRunning());
  EXPECT_EQ(probe.PartnerExeName(), StandinName());
}

TEST_F(PartnerWindowX11Test, ClosedWindowWithProcessesLeftStillCountsAsRunning) {
  StartStandin();
  TPartnerProbe probe;
  ASSERT_TRUE(Eventually([&probe] { return probe.PartnerHotspotRunning(); }));

  ::kill(static_cast<pid_t>(StandinPid()), SIGUSR1);  // the stand-in closes its window
  ASSERT_TRUE(Eventually([] { return !LookUpPartnerWindow(); }));
  EXPECT_TRUE(probe.PartnerHotspotRunning());

  standin_.terminate();
  ASSERT_TRUE(standin_.waitForFinished(StartMs));
  EXPECT_TRUE(Eventually([&probe] { return !probe.PartnerHotspotRunning(); }));
}

TEST_F(PartnerWindowX11Test, OwnerWithoutWmPidIsFoundThroughXResource) {
  StartStandin({"--no-pid"});
  EXPECT_EQ(LookUpPartnerWindow(), StandinPid());
}

TEST_F(PartnerWindowX11Test, FoundUnderAReparentingWindowManager) {
  if (QStandardPaths::findExecutable(QStringLiteral("icewm")).isEmpty()) {
    GTEST_SKIP() << "no icewm";
  }
  windowManager_.start(QStringLiteral("icewm"), {});
  ASSERT_TRUE(windowManager_.waitForStarted(StartMs));
  StartStandin();
  // Found before, during and after the window manager takes the window into its frame.
  EXPECT_TRUE(Eventually([this] { return LookUpPartnerWindow() == StandinPid(); }));
  QThread::msleep(500);
  EXPECT_EQ(LookUpPartnerWindow(), StandinPid());
}

TEST(PartnerWindowTest, NoDisplayFindsNothing) {
  const QByteArray saved = qgetenv("DISPLAY");
  qputenv("DISPLAY", ":no-such-display");
  EXPECT_FALSE(LookUpPartnerWindow());
  qputenv("DISPLAY", saved);
}

}  // namespace
}  // namespace zephra::shell
