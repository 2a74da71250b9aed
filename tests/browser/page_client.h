#pragma once

#include <QJsonObject>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/websocket/stream.hpp>

namespace zephra::browser::test {

// The status and body of one plain HTTP exchange on its own connection; status 0 when the
// server closed without an answer.
struct THttpAnswer {
  unsigned status = 0;
  std::string body;
};
THttpAnswer HttpCall(std::uint16_t port, const std::string& request);

// What the page does on its WebSocket, as a test drives it.
class TPageSocket {
 public:
  // Opens ws://127.0.0.1:<port>/ws offering the page's subprotocols; false when refused.
  bool Open(std::uint16_t port, const std::string& token, const std::string& clientId,
            std::string origin = {});
  bool Send(const QJsonObject& message);
  // The next message, or nullopt after `wait` or when the socket closed.
  std::optional<QJsonObject> Next(std::chrono::milliseconds wait = std::chrono::seconds(3));
  // The next message of `type`, skipping others.
  std::optional<QJsonObject> NextOf(const QString& type,
                                    std::chrono::milliseconds wait = std::chrono::seconds(3));
  void Close();

 private:
  boost::asio::io_context io_;
  boost::beast::websocket::stream<boost::asio::ip::tcp::socket> ws_{io_};
  boost::beast::flat_buffer buffer_;
};

}  // namespace zephra::browser::test
