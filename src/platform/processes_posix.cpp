#include <signal.h>
#include <sys/types.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "platform/processes.h"

namespace zephra::platform {

namespace {

const QString ProcFolder = QStringLiteral("/proc");
// What the kernel appends to the link of an executable that was replaced or removed.
const QString DeletedSuffix = QStringLiteral(" (deleted)");

QString ProcPath(std::int64_t pid, const char* entry) {
  return ProcFolder + QLatin1Char('/') + QString::number(pid) + QLatin1Char('/') +
         QLatin1String(entry);
}

// Base name of the target of /proc/PID/exe; empty when the link can't be read (no such process,
// a kernel thread, or another user's process).
QString ExeLinkName(std::int64_t pid) {
  QString target = QFile::symLinkTarget(ProcPath(pid, "exe"));
  if (target.isEmpty()) {
    return {};
  }
  if (target.endsWith(DeletedSuffix)) {
    target.chop(DeletedSuffix.size());
  }
  return QFileInfo(target).fileName();
}

// The command name in /proc/PID/stat: the text between the first "(" and the last ")".
QString StatCommName(std::int64_t pid) {
  QFile stat(ProcPath(pid, "stat"));
  if (!stat.open(QIODevice::ReadOnly)) {
    return {};
  }
  const QByteArray line = stat.readLine();
  const qsizetype open = line.indexOf('(');
  const qsizetype close = line.lastIndexOf(')');
  if (open < 0 || close <= open) {
    return {};
  }
  return QString::fromLocal8Bit(line.mid(open + 1, close - open - 1));
}

QList<std::int64_t> ProcessIds() {
  QList<std::int64_t> ids;
  const QStringList entries = QDir(ProcFolder).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
  for (const QString& entry : entries) {
    bool numeric = false;
    const qlonglong id = entry.toLongLong(&numeric);
    if (numeric && id > 0) {
      ids << id;
    }
  }
  return ids;
}

}  // namespace

QString ProcessExeName(std::int64_t pid) {
  if (pid <= 0) {
    return {};
  }
  QString name = ExeLinkName(pid);
  if (name.isEmpty()) {
    name = StatCommName(pid);
  }
  return name.left(MaxExeNameLength);
}

bool CountProcesses(const QString& exeName, int n) {
  if (n <= 0) {
    return true;
  }
  int found = 0;
  for (const std::int64_t pid : ProcessIds()) {
    if (ProcessExeName(pid).compare(exeName, Qt::CaseInsensitive) == 0 && ++found >= n) {
      return true;
    }
  }
  return false;
}

bool KillProcess(std::int64_t pid) {
  // A process id that doesn't fit pid_t names no process; 0 and negatives would address groups.
  if (pid <= 0 || static_cast<pid_t>(pid) != pid) {
    return false;
  }
  return ::kill(static_cast<pid_t>(pid), SIGKILL) == 0;
}

}  // namespace zephra::platform
