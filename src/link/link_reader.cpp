#include "link/link_reader.h"

#include <algorithm>

namespace zephra::link {

bool ReadHeader(net::TcpConnection& connection, TLinkHeader& header) {
  unsigned char bytes[LinkHeaderSize];
  if (!connection.ReadExact(bytes, sizeof bytes)) return false;
  header = DecodeHeader(bytes);
  return true;
}

bool ReadPhoneHeader(net::TcpConnection& connection, TLinkHeader& header) {
  if (connection.StopRequested() || !connection.Connected()) return false;
  if (!ReadHeader(connection, header)) return false;
  if (header.Magic != LinkMagicPhone) return false;
  if (header.Length > MaxPayloadLength) {
    connection.Close();
    return false;
  }
  return true;
}

void Drain(net::TcpConnection& connection, std::uint32_t length) {
  char block[DrainBlock];
  while (length > 0) {
    const auto part = std::min<std::uint32_t>(length, DrainBlock);
    if (!connection.ReadExact(block, part)) return;
    length -= part;
  }
}

std::optional<QByteArray> ReadPayload(net::TcpConnection& connection, std::uint32_t length) {
  QByteArray payload(static_cast<qsizetype>(length), Qt::Uninitialized);
  if (!connection.ReadExact(payload.data(), length)) return std::nullopt;
  return payload;
}

}  // namespace zephra::link
