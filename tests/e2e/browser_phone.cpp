#include "browser_phone.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcess>
#include <algorithm>
#include <optional>

namespace zephra::e2e {
namespace {

// Debian's Python, which has Selenium; the one first on PATH may not.
constexpr char Python[] = "/usr/bin/python3";
constexpr char Chromium[] = "/usr/bin/chromium";
constexpr char Chromedriver[] = "/usr/bin/chromedriver";
// Chromium's start on a loaded machine.
constexpr int StartMs = 60000;
constexpr int QuitMs = 15000;

// The next line `process` prints, trimmed; nullopt when none came within `ms`.
std::optional<std::string> ReadLine(QProcess& process, int ms) {
  QDeadlineTimer deadline(ms);
  while (!process.canReadLine()) {
    if (deadline.hasExpired() || process.state() == QProcess::NotRunning) return std::nullopt;
    process.waitForReadyRead(static_cast<int>(std::min<qint64>(deadline.remainingTime(), 100)));
  }
  return process.readLine().trimmed().toStdString();
}

}  // namespace

std::string BrowserPhone::Missing() {
  for (const char* file : {Python, Chromium, Chromedriver}) {
    if (!QFileInfo(QString::fromLatin1(file)).isExecutable()) {
      return std::string("no ") + file + " (packages chromium, chromium-driver)";
    }
  }
  QProcess probe;
  probe.start(QString::fromLatin1(Python), {"-c", "import selenium.webdriver"});
  if (!probe.waitForFinished(QuitMs) || probe.exitStatus() != QProcess::NormalExit ||
      probe.exitCode() != 0) {
    return std::string(Python) + " has no Selenium (package python3-selenium)";
  }
  return {};
}

bool BrowserPhone::Start(const QString& url) {
  QProcess& driver = driver_.Process();
  driver.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  driver.start(QString::fromLatin1(Python), {QStringLiteral(BROWSER_PHONE_PATH), url});
  const std::optional<std::string> line = ReadLine(driver, StartMs);
  if (line == "ready") return true;
  error_ = line ? *line : "the browser did not come up";
  return false;
}

std::string BrowserPhone::Command(const QByteArray& command, int ms) {
  QProcess& driver = driver_.Process();
  driver.write(command + '\n');
  driver.waitForBytesWritten(ms);
  const std::optional<std::string> line = ReadLine(driver, ms);
  if (line) return *line;
  return "no answer to \"" + command.toStdString() + "\" within " + std::to_string(ms) + " ms";
}

std::string BrowserPhone::Wait(const char* id, const char* name, const QByteArray& value, int ms) {
  const QByteArray seconds = QByteArray::number(ms / 1000.0);
  const QByteArray command = QByteArray("wait ") + id + ' ' + name + ' ' + value + ' ' + seconds;
  return Command(command, ms + AnswerMs);
}

std::string BrowserPhone::Pick(const QStringList& files) {
  return Command("pick " + files.join(QLatin1Char(' ')).toUtf8());
}

bool BrowserPhone::Quit() {
  QProcess& driver = driver_.Process();
  if (driver.state() == QProcess::NotRunning) return true;
  driver.write("quit\n");
  driver.closeWriteChannel();
  return driver.waitForFinished(QuitMs) && driver.exitCode() == 0;
}

}  // namespace zephra::e2e
