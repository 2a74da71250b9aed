#include "phone/chunk_source.h"

#include <QFile>
#include <algorithm>
#include <limits>

#include "link/link_constants.h"

namespace zephra::phone {

namespace {

const PhonePicture* FindPicture(const QList<PhonePicture>& pictures, const QString& name) {
  const auto it = std::find_if(pictures.begin(), pictures.end(),
                               [&](const PhonePicture& p) { return p.phoneName == name; });
  return it == pictures.end() ? nullptr : &*it;
}

}  // namespace

std::uint32_t ChunkLength(std::uint32_t total, std::uint32_t offset) {
  return offset >= total ? 0 : std::min(link::ChunkSize, total - offset);
}

namespace {

// The chunk at `offset` of the open `file`.
ChunkAnswer ReadOpenFile(QFile& file, std::uint32_t offset) {
  const qint64 size = file.size();
  if (size > std::numeric_limits<std::uint32_t>::max() || offset > size) return {};
  const auto total = static_cast<std::uint32_t>(size);
  const std::uint32_t length = ChunkLength(total, offset);
  if (!file.seek(offset)) return {};
  QByteArray bytes = file.read(length);
  if (bytes.size() != static_cast<qsizetype>(length)) return {};
  return {ChunkDelivered, total, bytes};
}

}  // namespace

ChunkAnswer ReadChunk(const QList<PhonePicture>& pictures, const QString& name,
                      std::uint32_t offset) {
  const PhonePicture* picture = FindPicture(pictures, name);
  if (!picture) return {};
  QFile file(picture->localPath);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return ReadOpenFile(file, offset);
}

ChunkAnswer ChunkSource::Read(const QString& name, std::uint32_t offset) {
  const PhonePicture* picture = FindPicture(pictures_, name);
  if (!picture) return {};
  if (!file_.isOpen() || file_.fileName() != picture->localPath) {
    file_.close();
    file_.setFileName(picture->localPath);
    if (!file_.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) return {};
  }
  return ReadOpenFile(file_, offset);
}

}  // namespace zephra::phone
