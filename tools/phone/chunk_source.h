#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>
#include <cstdint>
#include <utility>

#include "phone/phone_constants.h"
#include "phone/phone_messages.h"

namespace zephra::phone {

// The phone's answer to one chunk request.
struct ChunkAnswer {
  std::uint32_t status = ChunkRefused;
  std::uint32_t total = 0;  // file size in bytes (0 when refused)
  QByteArray bytes;         // empty when refused
};

// Length of the chunk at `offset` in a file of `total` bytes: min(ChunkSize, total - offset),
// 0 at or past the end.
std::uint32_t ChunkLength(std::uint32_t total, std::uint32_t offset);

// Reads the chunk at `offset` of the picture listed under `name` from disk, now. Refused when
// the name is not listed, the file can't be read or doesn't fit a u32 size, or `offset` lies
// past its end.
ChunkAnswer ReadChunk(const QList<PhonePicture>& pictures, const QString& name,
                      std::uint32_t offset);

// ReadChunk for one reader thread that keeps the last file open: the PC asks for one file's
// chunks in a row.
class ChunkSource {
 public:
  explicit ChunkSource(QList<PhonePicture> pictures) : pictures_(std::move(pictures)) {}
  ChunkAnswer Read(const QString& name, std::uint32_t offset);

 private:
  const QList<PhonePicture> pictures_;
  QFile file_;
};

}  // namespace zephra::phone
