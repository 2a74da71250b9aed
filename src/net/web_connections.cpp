#include "net/web_connections.h"

#include <utility>
#include <vector>

#include "net/listen.h"

namespace zephra::net {

namespace asio = boost::asio;
using tcp = asio::ip::tcp;

TWebConnections::TWebConnections(asio::io_context& io, IWebHandler& handler, TWebLimits limits)
    : io_(io), handler_(handler), limits_(limits), acceptor_(io) {}

void TWebConnections::Listen(std::uint16_t port) {
  ListenOnEveryAddress(acceptor_, port, asio::socket_base::max_listen_connections);
}

std::uint16_t TWebConnections::Port() const {
  boost::system::error_code error;
  const tcp::endpoint endpoint = acceptor_.local_endpoint(error);
  return error ? 0 : endpoint.port();
}

void TWebConnections::StartAccepting() { AcceptNext(); }

void TWebConnections::AcceptNext() {
  acceptor_.async_accept(
      [self = shared_from_this()](const boost::system::error_code& error, tcp::socket socket) {
        if (self->stopping_ || error == asio::error::operation_aborted) return;
        // Over the bound the connection is closed at once, unanswered.
        if (!error && self->Count() < self->limits_.maxConnections) {
          // Messages are small and wanted at once (a WebSocket's commands and answers).
          boost::system::error_code ignored;
          socket.set_option(tcp::no_delay(true), ignored);
          StartHttpSession(self, std::move(socket));
        }
        self->AcceptNext();
      });
}

void TWebConnections::Shutdown() {
  if (stopping_) return;
  stopping_ = true;
  handler_.OnStopping();
  boost::system::error_code ignored;
  acceptor_.close(ignored);
  std::vector<std::shared_ptr<IShuttable>> open;
  for (const auto& [key, weak] : open_) {
    if (auto connection = weak.lock()) open.push_back(std::move(connection));
  }
  for (const auto& connection : open) connection->Shut();
}

void TWebConnections::Add(const std::shared_ptr<IShuttable>& connection) {
  open_[connection.get()] = connection;
  count_.store(open_.size());
}

void TWebConnections::Remove(IShuttable* connection) {
  open_.erase(connection);
  count_.store(open_.size());
}

TWebResponse MakeWebResponse(unsigned status, std::string body, std::string_view contentType) {
  namespace http = boost::beast::http;
  TWebResponse response{static_cast<http::status>(status), 11};
  response.set(http::field::content_type,
               boost::beast::string_view(contentType.data(), contentType.size()));
  response.set(http::field::cache_control, "no-store");
  response.body() = std::move(body);
  return response;
}

}  // namespace zephra::net
