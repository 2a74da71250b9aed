#include "page_client.h"

#include <QJsonDocument>
#include <boost/asio/connect.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>

namespace zephra::browser::test {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;

THttpAnswer HttpCall(std::uint16_t port, const std::string& request) {
  asio::io_context io;
  tcp::socket socket(io);
  boost::system::error_code error;
  socket.connect({asio::ip::make_address_v4("127.0.0.1"), port}, error);
  if (error) return {};
  asio::write(socket, asio::buffer(request), error);
  std::string reply;
  asio::read(socket, asio::dynamic_buffer(reply), error);  // until the server closes
  THttpAnswer answer;
  if (reply.rfind("HTTP/1.1 ", 0) != 0 || reply.size() < 12) return answer;
  answer.status = static_cast<unsigned>(std::stoul(reply.substr(9, 3)));
  const std::size_t bodyAt = reply.find("\r\n\r\n");
  if (bodyAt != std::string::npos) answer.body = reply.substr(bodyAt + 4);
  return answer;
}

bool TPageSocket::Open(std::uint16_t port, const std::string& token, const std::string& clientId,
                       std::string origin) {
  const std::string host = "127.0.0.1:" + std::to_string(port);
  if (origin.empty()) origin = "http://" + host;
  boost::system::error_code error;
  ws_.next_layer().connect({asio::ip::make_address_v4("127.0.0.1"), port}, error);
  if (error) return false;
  ws_.set_option(websocket::stream_base::decorator([=](websocket::request_type& request) {
    request.set(beast::http::field::sec_websocket_protocol,
                "zephra, token-" + token + ", client-" + clientId);
    request.set(beast::http::field::origin, origin);
  }));
  ws_.handshake(host, "/ws", error);
  return !error;
}

bool TPageSocket::Send(const QJsonObject& message) {
  const QByteArray text = QJsonDocument(message).toJson(QJsonDocument::Compact);
  boost::system::error_code error;
  ws_.text(true);
  ws_.write(asio::buffer(text.constData(), static_cast<std::size_t>(text.size())), error);
  return !error;
}

std::optional<QJsonObject> TPageSocket::Next(std::chrono::milliseconds wait) {
  std::optional<QJsonObject> message;
  bool done = false;
  buffer_.clear();
  ws_.async_read(buffer_, [&](beast::error_code error, std::size_t) {
    done = true;
    if (error) return;
    const auto bytes = buffer_.cdata();
    message = QJsonDocument::fromJson(QByteArray(static_cast<const char*>(bytes.data()),
                                                 static_cast<qsizetype>(bytes.size())))
                  .object();
  });
  io_.restart();
  io_.run_for(wait);
  if (!done) {
    // A read that timed out cannot be resumed on a WebSocket: the socket is given up.
    boost::system::error_code ignored;
    ws_.next_layer().close(ignored);
    io_.restart();
    io_.run();
  }
  return message;
}

std::optional<QJsonObject> TPageSocket::NextOf(const QString& type,
                                               std::chrono::milliseconds wait) {
  const auto end = std::chrono::steady_clock::now() + wait;
  while (std::chrono::steady_clock::now() < end) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    std::optional<QJsonObject> message = Next(left);
    if (!message) return std::nullopt;
    if (message->value(QLatin1String("type")).toString() == type) return message;
  }
  return std::nullopt;
}

void TPageSocket::Close() {
  boost::system::error_code ignored;
  ws_.next_layer().close(ignored);
}

}  // namespace zephra::browser::test
