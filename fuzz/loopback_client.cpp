#include "loopback_client.h"

#include <boost/asio/connect.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>

namespace zephra::fuzz {

namespace asio = boost::asio;
using asio::ip::tcp;

std::string Exchange(std::uint16_t port, const std::uint8_t* data, std::size_t size) {
  asio::io_context context;
  tcp::socket socket(context);
  boost::system::error_code error;
  socket.connect(tcp::endpoint(asio::ip::address_v4::loopback(), port), error);
  if (error) return {};
  // A server that stops reading early closes with our bytes unread; the write then fails,
  // and what it answered is still read below.
  asio::write(socket, asio::buffer(data, size), error);
  socket.shutdown(tcp::socket::shutdown_send, error);
  std::string answer;
  char block[4096];
  for (;;) {
    const std::size_t count = socket.read_some(asio::buffer(block), error);
    if (error) break;
    answer.append(block, count);
  }
  socket.set_option(asio::socket_base::linger(true, 0), error);
  socket.close(error);
  return answer;
}

}  // namespace zephra::fuzz
