#pragma once

#include <cstdint>
#include <optional>

#include <QByteArray>
#include <QList>
#include <QString>

namespace zephra::phone {

// Whole messages the phone sends (header with the phone's magic, then the payload).

// Hello: version, then `name` cut to 20 bytes and zero padded (a 20-byte name has no zero).
QByteArray MakeHello(std::uint32_t version, const QByteArray& name);
// Show list or slide show (`command`): two zero words, the start index, then `text` as
// UTF-16 big-endian without byte-order mark or terminator.
QByteArray MakePictureList(std::uint32_t command, std::int32_t startIndex, const QString& text);
// Chunk answer: status, request id, total file size, offset, then `bytes` (empty when refused).
QByteArray MakeChunkData(std::uint32_t status, std::uint32_t id, std::uint32_t total,
                         std::uint32_t offset, const QByteArray& bytes);
QByteArray MakeKeepAlive();
QByteArray MakeViewStop(std::uint32_t value);
QByteArray MakeCloseViewer();

// What the PC asks for in a chunk request.
struct ChunkRequest {
  std::uint32_t id = 0;
  std::uint32_t offset = 0;  // bytes from the start of the file
  std::uint32_t size = 0;    // chunk size the PC expects
  QString name;              // the picture's phone name
};
// nullopt when the payload is shorter than its 12-byte head; a trailing odd byte is ignored.
std::optional<ChunkRequest> ParseChunkRequest(const QByteArray& payload);

// The PC's answer to the hello.
struct HelloReply {
  std::uint32_t pcVersion = 0;
  std::uint32_t status = 0;
};
// nullopt when the payload is shorter than 8 bytes.
std::optional<HelloReply> ParseHelloReply(const QByteArray& payload);
// The value of a view stop; nullopt when the payload is shorter than 4 bytes.
std::optional<std::uint32_t> ParseViewStop(const QByteArray& payload);

// A picture the phone offers: its name on the phone and the local file that holds it.
struct PhonePicture {
  QString phoneName;  // e.g. "/DCIM/a.jpg"
  QString localPath;
  qint64 size = 0;  // bytes, as listed
};
// List text: "name,size,\r\n" for every picture.
QString ListText(const QList<PhonePicture>& pictures);
// Phone name "/DCIM/" + file name, absolute local path, the file's size (0 when missing).
PhonePicture PictureFromFile(const QString& path);

}  // namespace zephra::phone
