#pragma once

#include <atomic>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>

#include "net/web_types.h"

// The web server's connections, as its own sources see them.
namespace zephra::net {

// A connection that the server can close when it stops.
class IShuttable {
 public:
  virtual ~IShuttable() = default;
  virtual void Shut() = 0;
};

// The listener and the open connections of one activation. Server thread only, except Count.
class TWebConnections : public std::enable_shared_from_this<TWebConnections> {
 public:
  TWebConnections(boost::asio::io_context& io, IWebHandler& handler, TWebLimits limits);

  // Binds and listens on every local IPv4 address; throws boost::system::system_error.
  void Listen(std::uint16_t port);
  std::uint16_t Port() const;
  void StartAccepting();
  // Closes the listener and every connection; the handler hears of it first.
  void Shutdown();

  void Add(const std::shared_ptr<IShuttable>& connection);
  void Remove(IShuttable* connection);
  std::size_t Count() const { return count_.load(); }
  bool Stopping() const { return stopping_; }

  IWebHandler& Handler() { return handler_; }
  const TWebLimits& Limits() const { return limits_; }
  boost::asio::io_context& Context() { return io_; }

 private:
  void AcceptNext();

  boost::asio::io_context& io_;
  IWebHandler& handler_;
  const TWebLimits limits_;
  boost::asio::ip::tcp::acceptor acceptor_;
  std::map<IShuttable*, std::weak_ptr<IShuttable>> open_;
  std::atomic<std::size_t> count_{0};
  bool stopping_ = false;
};

// Reads one request on `socket` and answers it, or hands the connection on as a WebSocket.
void StartHttpSession(const std::shared_ptr<TWebConnections>& owner,
                      boost::asio::ip::tcp::socket socket);
// Completes the handshake of `request` on `stream` and runs the WebSocket.
void StartWebSocketSession(const std::shared_ptr<TWebConnections>& owner,
                           boost::beast::tcp_stream stream, TWebRequest request, TWebRoute route);

}  // namespace zephra::net
