#include "wayland_session.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include "virtual_display.h"

namespace zephra::e2e {

namespace {

constexpr int WestonStartMs = 20000;
constexpr int ScreenshotMs = 10000;
constexpr int LogPollMs = 50;
constexpr int LogTailBytes = 600;

bool Installed(const char* program) {
  return !QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty();
}

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

WestonSession::WestonSession(const QString& runtimeDir, const QString& logFile)
    : runtimeDir_(runtimeDir), logFile_(logFile) {
  if (!Installed("weston")) {
    problem_ = "no weston (package weston)";
    return;
  }
  // weston's XWayland module runs this program and gives up on X clients without it.
  if (!Installed("Xwayland")) {
    problem_ = "no Xwayland (package xwayland)";
    return;
  }
  QDir().mkpath(runtimeDir_);
  QFile::setPermissions(runtimeDir_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir_);
  // weston would take a Wayland or X display it finds for a window to run in.
  for (const char* variable : {"WAYLAND_DISPLAY", "WAYLAND_SOCKET", "DISPLAY"}) {
    environment.remove(QString::fromLatin1(variable));
  }
  QProcess& weston = weston_.Process();
  weston.setProcessEnvironment(environment);
  weston.setStandardOutputFile(QProcess::nullDevice());
  weston.setStandardErrorFile(logFile_ + QStringLiteral(".stderr"));
  // The pixman renderer draws the screen, which the headless backend would leave undrawn, so
  // that a screenshot shows it; --debug lets weston-screenshooter take one. No weston.ini of
  // this machine's user plays a part.
  weston.start(QStringLiteral("weston"),
               {QStringLiteral("--backend=headless-backend.so"), QStringLiteral("--use-pixman"),
                QStringLiteral("--width=%1").arg(ScreenWidth),
                QStringLiteral("--height=%1").arg(ScreenHeight), QStringLiteral("--xwayland"),
                QStringLiteral("--socket=%1").arg(QLatin1String(WaylandSocket)),
                QStringLiteral("--idle-time=0"), QStringLiteral("--no-config"),
                QStringLiteral("--debug"), QStringLiteral("--log=%1").arg(logFile_)});
  if (!weston.waitForStarted(WestonStartMs)) {
    problem_ = "weston did not start: " + weston.errorString().toStdString();
    return;
  }
  // Its X display is the first one free; the log names it once the X socket listens.
  const QRegularExpression listening(QStringLiteral("xserver listening on display (:\\d+)"));
  QDeadlineTimer deadline(WestonStartMs);
  while (xDisplay_.isEmpty() && weston_.Running() && !deadline.hasExpired()) {
    const QRegularExpressionMatch match = listening.match(QString::fromUtf8(ReadAll(logFile_)));
    if (match.hasMatch()) {
      xDisplay_ = match.captured(1).toLatin1();
    } else {
      QThread::msleep(LogPollMs);
    }
  }
  if (Up()) return;
  const QByteArray log = ReadAll(logFile_) + ReadAll(logFile_ + QStringLiteral(".stderr"));
  problem_ = std::string(weston_.Running() ? "weston opened no X display" : "weston ended") +
             "; the end of its log: " + log.right(LogTailBytes).toStdString();
}

QImage WestonSession::Screenshot() {
  QTemporaryDir folder;
  if (!Up() || !folder.isValid()) return {};
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir_);
  environment.insert(QStringLiteral("WAYLAND_DISPLAY"), QString::fromLatin1(WaylandSocket));
  ChildProcess shooter;
  QProcess& process = shooter.Process();
  process.setProcessEnvironment(environment);
  // It writes wayland-screenshot-<time>.png into its working folder.
  process.setWorkingDirectory(folder.path());
  process.setStandardOutputFile(QProcess::nullDevice());
  process.setStandardErrorFile(QProcess::nullDevice());
  process.start(QStringLiteral("weston-screenshooter"), {});
  if (!process.waitForFinished(ScreenshotMs) || process.exitStatus() != QProcess::NormalExit ||
      process.exitCode() != 0) {
    return {};
  }
  const QStringList shots = QDir(folder.path()).entryList({QStringLiteral("*.png")}, QDir::Files);
  return shots.size() == 1 ? QImage(folder.filePath(shots.front())) : QImage();
}

}  // namespace zephra::e2e
