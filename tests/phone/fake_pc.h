#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>

#include <QByteArray>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>

#include "link/link_message.h"

namespace zephra::phone::test {

struct WireMessage {
  link::TLinkHeader header;
  QByteArray payload;
};

// The PC end of the link, played step by step by a test: listens on ephemeral loopback ports;
// every step gives up after StepTimeout.
class FakePc {
 public:
  static constexpr std::chrono::milliseconds StepTimeout{3000};

  FakePc();
  std::uint16_t ControlPort() const { return controlAcceptor_.local_endpoint().port(); }
  std::uint16_t DataPort() const { return dataAcceptor_.local_endpoint().port(); }

  bool AcceptControl() { return Accept(controlAcceptor_, control_); }
  bool AcceptData() { return Accept(dataAcceptor_, data_); }
  std::optional<QByteArray> ReadControlBytes(std::size_t n) { return ReadBytes(*control_, n); }
  std::optional<WireMessage> ReadControl() { return ReadMessage(*control_); }
  std::optional<WireMessage> ReadData() { return ReadMessage(*data_); }
  // The next data message that is not a keep-alive.
  std::optional<WireMessage> ReadDataAnswer();
  bool WriteControl(const QByteArray& bytes);
  // True when the phone closes the control connection within StepTimeout.
  bool ControlClosedByPhone();
  void CloseControl();

 private:
  bool Accept(boost::asio::ip::tcp::acceptor& acceptor,
              std::optional<boost::asio::ip::tcp::socket>& socket);
  std::optional<QByteArray> ReadBytes(boost::asio::ip::tcp::socket& socket, std::size_t n);
  std::optional<WireMessage> ReadMessage(boost::asio::ip::tcp::socket& socket);
  // Runs the pending operation until `done`; on time-out cancels it and returns false.
  bool Finish(const bool& done);

  boost::asio::io_context io_;
  boost::asio::ip::tcp::acceptor controlAcceptor_;
  boost::asio::ip::tcp::acceptor dataAcceptor_;
  std::optional<boost::asio::ip::tcp::socket> control_;
  std::optional<boost::asio::ip::tcp::socket> data_;
};

}  // namespace zephra::phone::test
