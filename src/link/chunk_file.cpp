#include "link/chunk_file.h"

#include <QFileInfo>
#include <filesystem>
#include <system_error>

namespace zephra::link {

bool ReplaceFile(const QString& from, const QString& to) {
  std::error_code error;
  std::filesystem::rename(QFileInfo(from).filesystemFilePath(), QFileInfo(to).filesystemFilePath(),
                          error);
  return !error;
}

bool TChunkFile::Open(const QString& path) {
  std::lock_guard lock(mutex_);
  file_.setFileName(path);
  return file_.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered);
}

bool TChunkFile::WriteAt(std::uint64_t offset, const char* data, std::uint64_t count) {
  std::lock_guard lock(mutex_);
  if (!file_.isOpen() || failed_) return false;
  if (count == 0) return true;
  const bool written = file_.seek(static_cast<qint64>(offset)) &&
                       file_.write(data, static_cast<qint64>(count)) == static_cast<qint64>(count);
  failed_ = !written;
  return written;
}

bool TChunkFile::Finish() {
  std::lock_guard lock(mutex_);
  if (!file_.isOpen()) return false;
  file_.close();
  return !failed_ && file_.error() == QFileDevice::NoError;
}

void TChunkFile::Discard() {
  std::lock_guard lock(mutex_);
  if (file_.isOpen()) {
    file_.close();
    file_.remove();
  }
  failed_ = true;
}

}  // namespace zephra::link
