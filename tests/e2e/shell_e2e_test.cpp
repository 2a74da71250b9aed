// The tray program's service end to end: the link follows the partner hotspot's stand-in, a
// second copy leaves the first alone, and without a display the program says so and ends.

#include <QProcess>
#include <QTcpSocket>
#include <string_view>

#include "app/app_constants.h"
#include "e2e_fixture.h"
#include "link/link_constants.h"
#include "shell/shell_constants.h"

namespace zephra::e2e {
namespace {

// The hotspot watch looks at the partner once per this period.
constexpr int CheckPeriodMs =
    static_cast<int>(app::IpListInterval.count()) * static_cast<int>(shell::CheckEveryTicks);
// The switch happens on a check and takes at most a listener's stop wait.
constexpr int SwitchMs = CheckPeriodMs + static_cast<int>(link::LinkStopWait.count()) + 2000;

// Between two looks at the control port while a copy starts: short, so that the SIGTERM follows
// the port's opening closely.
constexpr int PortLookMs = 1;

using ShellE2eTest = ProgramE2eTest;

TEST(NoDisplayE2eTest, EndsWithOneLineAndStatusOneInsteadOfAborting) {
  // None set, one nobody serves, and a Wayland session without XWayland.
  for (const char* display : {"", ":87", "wayland"}) {
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
      environment.remove(QString::fromLatin1(name));
    }
    if (display == std::string_view("wayland")) {
      environment.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wayland-0"));
    } else if (*display != '\0') {
      environment.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(display));
    }
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(ZEPHRA_WIFI_PATH), {});
    ASSERT_TRUE(program.waitForFinished(10000)) << display;
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << display;
    EXPECT_EQ(program.exitCode(), 1) << display;
    const QByteArray said = program.readAllStandardError();
    EXPECT_EQ(said.count('\n'), 1) << said.toStdString();
    EXPECT_TRUE(said.contains("no display could be opened") && said.contains("DISPLAY"))
        << said.toStdString();
  }
}

TEST_F(ShellE2eTest, LinkFollowsThePartnerExceptUnderASession) {
  StartPhone({AddPicture(QStringLiteral("a.jpg"), SolidJpeg(Palette[0]))});
  ASSERT_TRUE(WaitForColour(Centre, Palette[0]));
  ASSERT_NO_FATAL_FAILURE(StopStandin());

  // A session keeps the service as it is: a whole check period later the link still listens and
  // the phone is still connected.
  QThread::msleep(CheckPeriodMs + 1000);
  EXPECT_TRUE(LinkPortsAccept()) << "the service went off under a session";
  EXPECT_TRUE(phone_->Running()) << "the session's phone was dropped";

  // The phone leaves, and its viewer goes with it. Without a session the next check switches the
  // link off and drops what is still connected.
  phone_->Stop();
  EXPECT_TRUE(Eventually([this] { return !ViewerMapped(); })) << "the viewer outlived the session";
  QTcpSocket idle;
  idle.connectToHost(QHostAddress::LocalHost, link::ControlPort);
  ASSERT_TRUE(idle.waitForConnected(ConnectMs));
  ASSERT_TRUE(Eventually(LinkPortsClosed, SwitchMs)) << "the service stayed on";
  EXPECT_TRUE(idle.state() == QAbstractSocket::UnconnectedState ||
              idle.waitForDisconnected(ConnectMs))
      << "a connection outlived the service";

  // The partner is back: so is the link, and a phone joins again.
  ASSERT_NO_FATAL_FAILURE(StartStandin());
  ASSERT_TRUE(Eventually(LinkPortsAccept, SwitchMs)) << "the service did not come back";
  StartPhone({AddPicture(QStringLiteral("b.jpg"), SolidJpeg(Palette[1]))});
  EXPECT_TRUE(WaitForColour(Centre, Palette[1]));
}

TEST_F(ShellE2eTest, SecondCopyEndsSilentlyWhileTheFirstServes) {
  x_->WatchMappings();
  ChildProcess second;
  ASSERT_NO_FATAL_FAILURE(LaunchProgram(second, ProgramOutput::Captured));
  QProcess& process = second.Process();
  const qint64 secondPid = process.processId();
  // A message box would wait for the user: the copy must end by itself.
  ASSERT_TRUE(process.waitForFinished(StartMs)) << "the second copy did not end";
  EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(process.exitCode(), 0);
  EXPECT_EQ(process.readAll(), QByteArray());
  // Whatever was mapped meanwhile belongs to the first copy (its toast, say); a window of the
  // second one would be gone by now and read as 0.
  for (const qint64 pid : x_->MappedWindowPids()) {
    EXPECT_EQ(pid, app_.Process().processId())
        << "a window of the second copy (" << secondPid << ") or of nobody came up";
  }

  ASSERT_TRUE(app_.Running());
  StartPhone({AddPicture(QStringLiteral("a.jpg"), SolidJpeg(Palette[2]))});
  EXPECT_TRUE(WaitForColour(Centre, Palette[2]));
}

// Regression: a close request that came while the service started (SIGTERM as the ports opened)
// was served while the start-up toast let pending events run, before the event loop; the loop
// then ran on with everything shut down, and the program never ended.
TEST_F(ShellE2eTest, SigtermAsTheLinkOpensEndsTheProgram) {
  ASSERT_TRUE(app_.Stop());
  // The request lands in that window more often than not: a few starts catch the fault.
  constexpr int Starts = 5;
  for (int start = 0; start < Starts; ++start) {
    ChildProcess program;
    ASSERT_NO_FATAL_FAILURE(LaunchProgram(program));
    QProcess& process = program.Process();
    QDeadlineTimer deadline(StartMs);
    while (!Accepts(link::ControlPort)) {
      // Waiting for the end doubles as the pause, and notices a copy that ended by itself.
      process.waitForFinished(PortLookMs);
      ASSERT_TRUE(program.Running()) << "start " << start << ": the program ended with code "
                                     << process.exitCode() << " before it opened its ports";
      ASSERT_FALSE(deadline.hasExpired()) << "the program did not open its ports";
    }
    process.terminate();
    ASSERT_TRUE(process.waitForFinished(StopMs)) << "start " << start << ": SIGTERM was lost";
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);
  }
}

}  // namespace
}  // namespace zephra::e2e
