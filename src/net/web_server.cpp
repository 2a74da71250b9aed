#include "net/web_server.h"

#include <boost/asio/post.hpp>
#include <boost/system/system_error.hpp>

#include "net/web_connections.h"

namespace zephra::net {

TWebServer::TWebServer(std::uint16_t port, IWebHandler& handler, TWebLimits limits)
    : port_(port), handler_(handler), limits_(limits) {}

TWebServer::~TWebServer() { SetActive(false); }

bool TWebServer::SetActive(bool active) {
  if (active == Active()) return true;
  if (active) {
    Start();
    return Active();
  }
  boost::asio::post(io_, [connections = connections_] { connections->Shutdown(); });
  // Once every connection has ended and the handler's timers are cancelled, nothing is left
  // for the thread to do and it ends.
  work_.reset();
  thread_.join();
  connections_.reset();
  boundPort_.store(0);
  return true;
}

void TWebServer::Start() {
  auto connections = std::make_shared<TWebConnections>(io_, handler_, limits_);
  try {
    connections->Listen(port_);
  } catch (const boost::system::system_error& failure) {
    errorText_ = failure.code().message();
    return;
  }
  errorText_.clear();
  boundPort_.store(connections->Port());
  connections_ = connections;
  io_.restart();
  work_.emplace(boost::asio::make_work_guard(io_));
  connections_->StartAccepting();
  thread_ = std::thread([this] {
    for (;;) {
      try {
        io_.run();
        return;
      } catch (...) {
        // A handler that threw ends its own piece of work only; the rest goes on.
      }
    }
  });
}

std::uint16_t TWebServer::Port() const {
  const std::uint16_t bound = boundPort_.load();
  return bound != 0 ? bound : port_;
}

std::size_t TWebServer::ConnectionCount() const {
  const auto connections = connections_;
  return connections ? connections->Count() : 0;
}

}  // namespace zephra::net
