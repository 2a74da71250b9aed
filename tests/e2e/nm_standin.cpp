#include "nm_standin.h"

#include <QDeadlineTimer>
#include <QProcessEnvironment>

namespace zephra::e2e {
namespace {

constexpr int StartMs = 10000;
constexpr int AnswerMs = 5000;

}  // namespace

QByteArray NmStandin::ReadLine(QProcess& process, int ms) {
  QDeadlineTimer deadline(ms);
  while (!process.canReadLine()) {
    if (deadline.hasExpired() ||
        !process.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
      if (!process.canReadLine()) return {};
    }
  }
  return process.readLine().trimmed();
}

bool NmStandin::Start(const QStringList& arguments) {
  QProcess& bus = bus_.Process();
  bus.setStandardErrorFile(QProcess::nullDevice());
  bus.start(QStringLiteral("dbus-daemon"),
            {"--session", "--nofork", "--nopidfile", "--print-address=1"});
  address_ = QString::fromUtf8(ReadLine(bus, StartMs));
  if (address_.isEmpty()) {
    error_ = QStringLiteral("dbus-daemon did not start");
    return false;
  }
  QProcess& standin = standin_.Process();
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), address_);
  standin.setProcessEnvironment(environment);
  standin.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  standin.start(QStringLiteral(NM_STANDIN_PATH), arguments);
  if (ReadLine(standin, StartMs) != "ready") {
    error_ =
        QStringLiteral("the NetworkManager stand-in did not come up (python3-dbus, python3-gi?)");
    return false;
  }
  return true;
}

QByteArray NmStandin::Command(const QByteArray& command) {
  QProcess& standin = standin_.Process();
  standin.write(command + '\n');
  standin.waitForBytesWritten(AnswerMs);
  return ReadLine(standin, AnswerMs);
}

}  // namespace zephra::e2e
