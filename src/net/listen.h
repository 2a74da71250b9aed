#pragma once

#include <boost/asio/ip/tcp.hpp>
#include <cstdint>

namespace zephra::net {

// Opens `acceptor` on every local IPv4 address at `port` (0: an ephemeral one) and listens;
// throws boost::system::system_error when the port cannot be bound.
void ListenOnEveryAddress(boost::asio::ip::tcp::acceptor& acceptor, std::uint16_t port,
                          int backlog);

}  // namespace zephra::net
