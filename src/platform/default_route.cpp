#include "platform/default_route.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/udp.hpp>

namespace zephra::platform {

QString DefaultRouteAddress() {
  namespace asio = boost::asio;
  // Connecting a UDP socket sends nothing: it only makes the system choose the route, and with
  // it the source address, for that destination. Any address outside the local networks does.
  asio::io_context io;
  asio::ip::udp::socket socket(io);
  boost::system::error_code error;
  socket.open(asio::ip::udp::v4(), error);
  if (error) return {};
  socket.connect({asio::ip::make_address_v4("192.0.2.1"), 9}, error);
  if (error) return {};
  const auto local = socket.local_endpoint(error);
  if (error || local.address().is_unspecified() || local.address().is_loopback()) return {};
  return QString::fromStdString(local.address().to_string());
}

}  // namespace zephra::platform
