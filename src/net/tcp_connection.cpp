#include "net/tcp_connection.h"

#include <boost/asio/buffer.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>
#include <utility>

namespace zephra::net {

namespace asio = boost::asio;

TcpConnection::TcpConnection(asio::ip::tcp::socket socket, std::string peerAddress)
    : socket_(std::move(socket)), peerAddress_(std::move(peerAddress)) {}

TcpConnection::~TcpConnection() = default;

bool TcpConnection::ReadExact(void* buffer, std::size_t count) {
  if (closed_.load()) return false;
  boost::system::error_code error;
  asio::read(socket_, asio::buffer(buffer, count), error);
  if (error) {
    Close();
    return false;
  }
  return true;
}

std::size_t TcpConnection::ReadSome(void* buffer, std::size_t capacity) {
  if (closed_.load() || capacity == 0) return 0;
  boost::system::error_code error;
  const std::size_t count = socket_.read_some(asio::buffer(buffer, capacity), error);
  if (error) {
    Close();
    return 0;
  }
  return count;
}

bool TcpConnection::Write(const void* data, std::size_t count) {
  std::lock_guard lock(writeMutex_);
  if (closed_.load()) return false;
  boost::system::error_code error;
  asio::write(socket_, asio::buffer(data, count), error);
  return !error;
}

void TcpConnection::Close() {
  if (closed_.exchange(true)) return;
  // Shutting down (not closing) the socket wakes a read or write blocked in another thread;
  // the descriptor itself is released with this object, after its thread has ended.
  boost::system::error_code ignored;
  socket_.shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
}

void TcpConnection::SetUserData(std::shared_ptr<void> data) {
  std::lock_guard lock(dataMutex_);
  userData_ = std::move(data);
}

std::shared_ptr<void> TcpConnection::LoadUserData() const {
  std::lock_guard lock(dataMutex_);
  return userData_;
}

}  // namespace zephra::net
