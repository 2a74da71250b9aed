#pragma once

#include <cstdint>
#include <optional>

#include <QByteArray>

#include "link/link_message.h"
#include "net/tcp_connection.h"

namespace zephra::link {

// Reads and converts one 12-byte header. False when the read failed; the connection is then
// closed.
bool ReadHeader(net::TcpConnection& connection, TLinkHeader& header);

// Skips a payload that isn't acted on: reads and discards it in blocks of DrainBlock bytes.
// A read failure ends the draining quietly (and leaves the connection closed).
void Drain(net::TcpConnection& connection, std::uint32_t length);

// Reads a whole payload. nullopt when the read failed.
std::optional<QByteArray> ReadPayload(net::TcpConnection& connection, std::uint32_t length);

// A peer-sent length the PC is willing to read or drain.
inline bool AcceptableLength(std::uint32_t length) { return length <= MaxPayloadLength; }

}  // namespace zephra::link
