#include "viewer/cache_folder.h"

#include <QDir>
#include <QFileInfo>

#include "platform/program_folder.h"
#include "platform/user_cache_base.h"
#include "viewer/delete_tree.h"
#include "viewer/picture_names.h"
#include "viewer/viewer_constants.h"

namespace zephra::viewer {
namespace {

QString WithSlash(const QString& folder) { return folder.endsWith(u'/') ? folder : folder + u'/'; }

// The folder with its parents, or empty when it can't be made.
QString MadeFolder(const QString& folder) {
  if (folder.isEmpty() || !QDir().mkpath(folder)) return {};
  return WithSlash(QDir::cleanPath(folder));
}

QString DefaultCacheFolder() {
  const QString base = platform::UserCacheBase();
  if (!base.isEmpty()) {
    const QString made = MadeFolder(base + u'/' + QLatin1String(CacheSubFolder));
    if (!made.isEmpty()) return made;
  }
  // Beside the program, as a last resort (a portable install on a stick, a locked profile).
  const QString beside = QDir::fromNativeSeparators(platform::ProgramFolder());
  return WithSlash(QDir::cleanPath(beside + QLatin1String(FallbackCacheFolder)));
}

}  // namespace

TCacheFolder::TCacheFolder(QString root) : configuredRoot_(std::move(root)) {}

QString TCacheFolder::CacheFolder() const {
  std::lock_guard lock(mutex_);
  if (cacheFolder_.isEmpty()) {
    if (configuredRoot_.isEmpty()) {
      cacheFolder_ = DefaultCacheFolder();
    } else {
      cacheFolder_ = WithSlash(QDir::cleanPath(QDir::fromNativeSeparators(configuredRoot_)));
    }
    QDir().mkpath(cacheFolder_);
  }
  return cacheFolder_;
}

QString TCacheFolder::PhoneFolder() const {
  std::lock_guard lock(mutex_);
  return phoneName_;
}

void TCacheFolder::SetPhoneFolder(const QString& phoneName) {
  {
    std::lock_guard lock(mutex_);
    phoneName_ = phoneName;
  }
  QDir().mkpath(PhoneFolderPath());
}

QString TCacheFolder::PhoneFolderPath() const {
  const QString root = CacheFolder();
  const QString phone = PhoneFolder();
  // Before any phone said its name, pictures go straight into the cache folder.
  return phone.isEmpty() ? root : root + SafeFolderName(phone) + u'/';
}

QString TCacheFolder::LocalPathOf(const QString& name) const {
  if (name.isEmpty()) return {};
  return PhoneFolderPath() + CacheFileName(name);
}

TFetchNeed TCacheFolder::NeedsFetch(const QString& name, const QString& sizeText) const {
  const std::int64_t size = AnnouncedSize(sizeText);
  return TFetchNeed{!FileMatches(LocalPathOf(name), size), size > LargePictureBytes};
}

void TCacheFolder::Empty() {
  DeleteTree(CacheFolder());
  // The phone's folder went too: the next session's name makes it again.
  std::lock_guard lock(mutex_);
  phoneName_.clear();
}

std::int64_t AnnouncedSize(const QString& sizeText) {
  bool ok = false;
  const qlonglong size = sizeText.trimmed().toLongLong(&ok);
  return ok ? size : 0;
}

bool FileMatches(const QString& path, std::int64_t size) {
  if (path.isEmpty()) return false;
  const QFileInfo info(path);
  if (!info.isFile()) return false;
  return size <= 0 || info.size() == size;
}

}  // namespace zephra::viewer
