#pragma once

#include <QByteArray>
#include <cstdint>
#include <optional>

#include "link/link_message.h"
#include "net/tcp_connection.h"

namespace zephra::link {

// Reads and converts one 12-byte header. False when the read failed; the connection is then
// closed.
bool ReadHeader(net::TcpConnection& connection, TLinkHeader& header);

// The start of each turn of a link connection's loop: reads the next header. False when there is
// no message to act on: the connection is stopping or closed, the read failed (closed), the
// message isn't from a phone (dropped, its payload unread), or its length is beyond what the PC
// reads (the connection is closed).
bool ReadPhoneHeader(net::TcpConnection& connection, TLinkHeader& header);

// Skips a payload that isn't acted on: reads and discards it in blocks of DrainBlock bytes.
// A read failure ends the draining quietly (and leaves the connection closed).
void Drain(net::TcpConnection& connection, std::uint32_t length);

// Reads a whole payload. nullopt when the read failed.
std::optional<QByteArray> ReadPayload(net::TcpConnection& connection, std::uint32_t length);

}  // namespace zephra::link
