#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <cstddef>
#include <cstdint>

#include "link/link_constants.h"

namespace zephra::link {

// The 12-byte header of every link message, in host order once converted.
struct TLinkHeader {
  std::uint32_t Magic = 0;
  std::uint32_t Command = 0;
  std::uint32_t Length = 0;  // payload bytes that follow the header
};

// Converts a 32-bit value between wire (big-endian) and host order: on little-endian hosts it
// reverses the four bytes.
std::uint32_t Swap32(std::uint32_t value);
// The same for the first `count` UTF-16 units of a text, in place.
void SwapUtf16(char16_t* units, std::size_t count);

// Reads a big-endian u32 at `bytes`; writes one.
std::uint32_t ReadU32(const unsigned char* bytes);
void WriteU32(unsigned char* bytes, std::uint32_t value);

// Converts the 12 wire bytes at `bytes` into a header.
TLinkHeader DecodeHeader(const unsigned char* bytes);
// One whole message: the header (with Length = payload size) followed by the payload.
QByteArray MakeMessage(std::uint32_t magic, std::uint32_t command, const QByteArray& payload = {});

// Messages the PC sends.
QByteArray MakeHelloReply(std::uint32_t status);
QByteArray MakeViewStop(std::uint32_t value);
QByteArray MakeKeepAliveEcho();
// Chunk request for `name`, cut to its first MaxRequestNameUnits units.
QByteArray MakeChunkRequest(std::uint32_t requestId, std::uint32_t offset, QStringView name);

// The 16-byte head of a chunk (cmdChunkData), in host order once converted.
struct TChunkHead {
  std::uint32_t Status = 0;  // 0: bytes follow; anything else: the phone refuses the file
  std::uint32_t Id = 0;      // the request id, as in the request
  std::uint32_t Total = 0;   // size of the whole file in bytes
  std::uint32_t Offset = 0;  // where the chunk's bytes go in the file
};
// `bytes` holds ChunkHeadLength bytes.
TChunkHead DecodeChunkHead(const unsigned char* bytes);

// The hello payload: version and the 8-bit name up to its first zero byte (at most 20 bytes).
struct THello {
  std::uint32_t Version = 0;
  QByteArray Name;
};
// `payload` holds HelloLength bytes.
THello ParseHello(const unsigned char* payload);

// Splits a list line at its first comma and at the first comma of the rest. With no comma
// nothing is assigned; with one comma only `name` is assigned. Returns the number of fields
// assigned (0, 1 or 3).
int SplitListLine(QStringView line, QString& name, QString& size, QString& extra);

// A picture list as the viewer takes it: every name in double quotes (a double quote inside a
// name doubled), joined by commas; the size fields joined by commas.
struct TPictureList {
  std::int32_t StartIndex = 0;
  QString Names;
  QByteArray Sizes;
  int Count = 0;
};
// Parses a whole list payload (12-byte head, then UTF-16BE text; a trailing odd byte is
// ignored). Lines are ended by CR LF, a lone CR or a lone LF; lines with fewer than two commas
// are skipped.
TPictureList ParsePictureList(const QByteArray& payload);
// The list of `names` (quoted as above) and their `sizes`, one each, from `startIndex`.
TPictureList MakePictureList(std::int32_t startIndex, const QStringList& names,
                             const QList<QByteArray>& sizes);

}  // namespace zephra::link
