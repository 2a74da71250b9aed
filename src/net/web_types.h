#pragma once

#include <boost/beast/http/empty_body.hpp>
#include <boost/beast/http/message.hpp>
#include <boost/beast/http/string_body.hpp>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace zephra::net {

// An HTTP request as far as its header; the body, if any, is read only when the route asks.
using TWebRequest = boost::beast::http::request<boost::beast::http::empty_body>;
using TWebResponse = boost::beast::http::response<boost::beast::http::string_body>;

// Bounds of the web server: how many connections at once, how long and how big a request
// header may be, how big one WebSocket message may be, and how long a WebSocket may stay silent
// (the server pings it at half that time).
struct TWebLimits {
  std::size_t maxConnections = 32;
  std::chrono::milliseconds headerDeadline{10000};
  std::size_t maxHeaderBytes = 8 * 1024;
  std::size_t maxMessageBytes = 64 * 1024;
  std::chrono::milliseconds socketIdle{6000};
  // A request body that delivers nothing for this long ends its connection.
  std::chrono::milliseconds bodyIdle{10000};
};

// The two ends of the connection a request came on.
struct TWebEndpoints {
  std::string localAddress;  // the address the client reached, IPv4 dotted text
  std::uint16_t localPort = 0;
  std::string peerAddress;
};

// Takes a request body as it arrives. Runs on the server's thread.
class IBodySink {
 public:
  virtual ~IBodySink() = default;
  // Some more bytes; false stops the reading (Finish follows with `whole` false).
  virtual bool Take(const char* data, std::size_t count) = 0;
  // The body ended: `whole` when every announced byte arrived. Gives the answer.
  virtual TWebResponse Finish(bool whole) = 0;
};

// The server's side of one open WebSocket. Any thread; a closed socket drops what is sent.
class IWebSocketPeer {
 public:
  virtual ~IWebSocketPeer() = default;
  virtual void Send(std::string text) = 0;
  // Sends `text` (if not empty) and then closes the socket.
  virtual void SendAndClose(std::string text) = 0;
};

// What happens on one open WebSocket. Runs on the server's thread.
class IWebSocketHandler {
 public:
  virtual ~IWebSocketHandler() = default;
  virtual void OnMessage(std::string_view text) = 0;
  // A pong (an answer to the server's ping) came.
  virtual void OnPong() = 0;
  // The socket closed, for whatever reason. Called once; nothing else follows.
  virtual void OnClosed() = 0;
};

// The route's answer to a request header: exactly one of an answer, a body sink (the body is
// read into it), or a WebSocket handler made for the accepted socket.
struct TWebRoute {
  std::optional<TWebResponse> response;
  std::unique_ptr<IBodySink> sink;
  std::size_t bodyLimit = 0;  // with a sink: the most body bytes taken
  std::function<std::shared_ptr<IWebSocketHandler>(std::shared_ptr<IWebSocketPeer>)> upgrade;
  std::string subprotocol;  // with an upgrade: named in the handshake's answer
};

// The application behind the server. Runs on the server's thread.
class IWebHandler {
 public:
  virtual ~IWebHandler() = default;
  virtual TWebRoute Route(const TWebRequest& request, const TWebEndpoints& endpoints) = 0;
  // The server is stopping: every connection is being closed.
  virtual void OnStopping() {}
};

// A plain answer with a body; `Connection: close` is added when it is sent.
TWebResponse MakeWebResponse(unsigned status, std::string body,
                             std::string_view contentType = "text/plain; charset=utf-8");

}  // namespace zephra::net
