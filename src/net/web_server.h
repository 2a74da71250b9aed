#pragma once

#include <atomic>
#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "net/web_types.h"

namespace zephra::net {

class TWebConnections;

// An HTTP/1.1 and WebSocket server on every local IPv4 address, on Boost.Beast. One thread runs
// every connection asynchronously: the accepts, the request headers (bounded in size and time),
// the answers, the bodies handed to sinks and the open WebSockets. Each plain request gets its
// own connection (`Connection: close`). Switched on and off from one thread (the GUI thread);
// the handler runs on the server's thread.
class TWebServer {
 public:
  // `port` 0 picks an ephemeral port (see Port()). `handler` must outlive the server.
  TWebServer(std::uint16_t port, IWebHandler& handler, TWebLimits limits = {});
  ~TWebServer();
  TWebServer(const TWebServer&) = delete;
  TWebServer& operator=(const TWebServer&) = delete;

  // On: binds, listens and starts the server's thread; false with ErrorText() when the port
  // cannot be bound. Off: closes the listener and every connection (the handler's OnStopping
  // runs on the server's thread), lets what is under way end and joins the thread. An
  // unchanged state gives true.
  bool SetActive(bool active);
  bool Active() const { return thread_.joinable(); }
  const std::string& ErrorText() const { return errorText_; }
  // The bound port while active, else the configured one.
  std::uint16_t Port() const;
  std::size_t ConnectionCount() const;

  // The context the server's thread runs while active: timers of the handler belong here.
  boost::asio::io_context& Context() { return io_; }

 private:
  void Start();

  const std::uint16_t port_;
  IWebHandler& handler_;
  const TWebLimits limits_;
  std::string errorText_;
  boost::asio::io_context io_;
  std::optional<boost::asio::executor_work_guard<boost::asio::io_context::executor_type>> work_;
  std::shared_ptr<TWebConnections> connections_;
  std::atomic<std::uint16_t> boundPort_{0};
  std::thread thread_;
};

}  // namespace zephra::net
