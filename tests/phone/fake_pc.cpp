#include "fake_pc.h"

#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>

namespace zephra::phone::test {

namespace asio = boost::asio;
using asio::ip::tcp;
using boost::system::error_code;

namespace {

tcp::endpoint AnyLoopbackPort() { return {asio::ip::address_v4::loopback(), 0}; }

}  // namespace

FakePc::FakePc()
    : controlAcceptor_(io_, AnyLoopbackPort()), dataAcceptor_(io_, AnyLoopbackPort()) {}

bool FakePc::Finish(const bool& done) {
  io_.restart();
  io_.run_for(StepTimeout);
  if (done) return true;
  error_code ignored;
  controlAcceptor_.cancel(ignored);
  dataAcceptor_.cancel(ignored);
  if (control_) control_->cancel(ignored);
  if (data_) data_->cancel(ignored);
  io_.restart();
  io_.run();
  return false;
}

bool FakePc::Accept(tcp::acceptor& acceptor, std::optional<tcp::socket>& socket) {
  socket.emplace(io_);
  bool done = false;
  error_code result;
  acceptor.async_accept(*socket, [&](const error_code& ec) {
    done = true;
    result = ec;
  });
  return Finish(done) && !result;
}

std::optional<QByteArray> FakePc::ReadBytes(tcp::socket& socket, std::size_t n) {
  QByteArray bytes(static_cast<qsizetype>(n), Qt::Uninitialized);
  bool done = false;
  error_code result;
  asio::async_read(socket, asio::buffer(bytes.data(), n), [&](const error_code& ec, std::size_t) {
    done = true;
    result = ec;
  });
  if (!Finish(done) || result) return std::nullopt;
  return bytes;
}

std::optional<WireMessage> FakePc::ReadMessage(tcp::socket& socket) {
  const auto head = ReadBytes(socket, link::LinkHeaderSize);
  if (!head) return std::nullopt;
  WireMessage message{link::DecodeHeader(reinterpret_cast<const unsigned char*>(head->data())), {}};
  if (message.header.Length > link::MaxPayloadLength) return std::nullopt;
  auto payload = ReadBytes(socket, message.header.Length);
  if (!payload) return std::nullopt;
  message.payload = *payload;
  return message;
}

std::optional<WireMessage> FakePc::ReadDataAnswer() {
  for (;;) {
    auto message = ReadData();
    if (!message || message->header.Command != link::cmdKeepAlive) return message;
  }
}

bool FakePc::WriteControl(const QByteArray& bytes) {
  error_code ec;
  asio::write(*control_, asio::buffer(bytes.constData(), static_cast<std::size_t>(bytes.size())),
              ec);
  return !ec;
}

bool FakePc::ControlClosedByPhone() {
  char byte = 0;
  bool done = false;
  error_code result;
  control_->async_read_some(asio::buffer(&byte, 1), [&](const error_code& ec, std::size_t) {
    done = true;
    result = ec;
  });
  return Finish(done) && (result == asio::error::eof || result == asio::error::connection_reset);
}

void FakePc::CloseControl() {
  error_code ignored;
  control_->close(ignored);
}

}  // namespace zephra::phone::test
