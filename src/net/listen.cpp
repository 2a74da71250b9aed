#include "net/listen.h"

namespace zephra::net {

void ListenOnEveryAddress(boost::asio::ip::tcp::acceptor& acceptor, std::uint16_t port,
                          int backlog) {
  using tcp = boost::asio::ip::tcp;
  const tcp::endpoint endpoint(tcp::v4(), port);
  acceptor.open(endpoint.protocol());
#if !defined(_WIN32)
  // Rebinding while old connections linger in TIME_WAIT. On Windows the same option would let
  // a second listener take a port in use, so a busy port would no longer fail the start.
  acceptor.set_option(tcp::acceptor::reuse_address(true));
#endif
  acceptor.bind(endpoint);
  acceptor.listen(backlog);
}

}  // namespace zephra::net
