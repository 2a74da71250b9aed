#include "platform/single_instance.h"

#include <cassert>
#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "platform/platform_constants.h"

namespace zephra::platform {

namespace {

constexpr int NoFile = -1;

bool UsableFolder(const QString& folder) {
  const QFileInfo info(folder);
  return !folder.isEmpty() && info.isAbsolute() && info.isDir();
}

// Where the lock file may live, most preferred first: $XDG_RUNTIME_DIR is per user and per
// login. Only existing absolute folders count (QDir::tempPath() is empty when $TMPDIR names a
// missing folder, which would otherwise put the file in the working folder).
QStringList LockFolders() {
  QStringList folders;
  for (const QString& folder : {qEnvironmentVariable("XDG_RUNTIME_DIR"), QDir::tempPath()}) {
    if (UsableFolder(folder)) {
      folders << folder;
    }
  }
  return folders;
}

int OpenLockFile(const QString& path) {
  const QByteArray native = QFile::encodeName(path);
  int fd;
  do {
    fd = ::open(native.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, LockFileMode);
  } while (fd == NoFile && errno == EINTR);
  return fd;
}

}  // namespace

struct TSingleInstance::TImpl {
  int fd = NoFile;
};

TSingleInstance::TSingleInstance() : impl_(std::make_unique<TImpl>()) {}

TSingleInstance::~TSingleInstance() { Release(); }

bool TSingleInstance::Acquire(const QString& name) {
  assert(impl_->fd == NoFile);
  assert(!name.isEmpty() && !name.contains(QLatin1Char('/')));

  for (const QString& folder : LockFolders()) {
    const int fd = OpenLockFile(QDir(folder).filePath(name));
    if (fd == NoFile) {
      continue;
    }
    // flock locks belong to the open file description, so a second open of the same file in
    // this process conflicts just like another process does.
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      impl_->fd = fd;
      return true;
    }
    const bool heldElsewhere = (errno == EWOULDBLOCK);
    ::close(fd);
    if (heldElsewhere) {
      return false;
    }
  }
  // No folder allowed a lock file: run unguarded rather than not at all.
  return true;
}

void TSingleInstance::Release() {
  if (impl_->fd == NoFile) {
    return;
  }
  // The file stays: removing it could let two processes lock two different files of one name.
  ::close(impl_->fd);
  impl_->fd = NoFile;
}

}  // namespace zephra::platform
