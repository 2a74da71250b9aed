#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include <boost/asio/io_context.hpp>

#include "net/tcp_connection.h"

namespace zephra::net {

// Bounds that keep one host, or many, from exhausting the process with connections.
struct ServerLimits {
  std::size_t maxPerPeer = 16;   // open connections from one peer address
  std::size_t maxTotal = 128;    // open connections on the port
  // A connection that has not marked its first message within this time is closed;
  // zero or less disables the deadline.
  std::chrono::milliseconds firstMessageDeadline{60000};
  std::size_t listenBacklog = 128;
};

// A TCP listener on every local IPv4 address with one thread per accepted connection. Each
// connection's thread calls the connect handler once, the execute handler over and over while
// the connection is open and not asked to stop, then the disconnect handler (if one is attached
// at that moment). An exception that escapes a handler ends that connection only.
class ThreadedTcpServer {
 public:
  using Handler = std::function<void(TcpConnection&)>;
  // Peers for which the bounds do not hold (the session's phone); called on the accept thread.
  using ExemptPredicate = std::function<bool(const std::string& peerAddress)>;

  // `port` 0 picks an ephemeral port (see Port()). `stopWait` is how long deactivation waits
  // for the connection threads to end.
  ThreadedTcpServer(std::uint16_t port, std::chrono::milliseconds stopWait,
                    ServerLimits limits = {});
  ~ThreadedTcpServer();
  ThreadedTcpServer(const ThreadedTcpServer&) = delete;
  ThreadedTcpServer& operator=(const ThreadedTcpServer&) = delete;

  // Set before activation.
  void SetConnectHandler(Handler handler);
  void SetExecuteHandler(Handler handler);
  void SetExemptPredicate(ExemptPredicate predicate);
  // May be changed at any time; a disconnect that runs after detaching calls nothing.
  void SetDisconnectHandler(Handler handler);

  // Switches listening on or off. On: binds and listens; false with ErrorText() when the port
  // can't be bound. Off: closes the listener and every connection and waits up to the stop wait
  // for the connection threads; false when some thread did not end in time (it is joined later,
  // at the latest by the destructor). Unchanged state: true.
  bool SetActive(bool active);
  bool Active() const;
  const std::string& ErrorText() const { return errorText_; }

  // The bound port while active (the ephemeral one when constructed with 0), else the given port.
  std::uint16_t Port() const;

  // Closes every open connection; their threads end and run the disconnect handler.
  void CloseAll();
  std::size_t ConnectionCount() const;

 private:
  struct Worker;
  class Acceptor;

  // Accept thread: takes a new connection or closes it at once when over the bounds.
  std::shared_ptr<TcpConnection> Admit(boost::asio::ip::tcp::socket socket);
  bool WithinBounds(const std::string& peer) const;  // workersMutex_ held
  void RunConnection(Worker& worker);
  static void CallHandler(const Handler& handler, TcpConnection& connection);
  Handler DisconnectHandler() const;
  void ReapFinished();  // workersMutex_ held
  bool WaitForWorkers(std::chrono::milliseconds wait);

  const std::uint16_t port_;
  const std::chrono::milliseconds stopWait_;
  const ServerLimits limits_;
  Handler onConnect_, onExecute_;
  ExemptPredicate exempt_;
  mutable std::mutex disconnectMutex_;
  Handler onDisconnect_;
  std::string errorText_;

  // Accepted sockets belong to this context, which outlives every connection; it is never run
  // because connections use blocking calls only.
  boost::asio::io_context socketContext_;
  std::unique_ptr<Acceptor> acceptor_;
  std::atomic<std::uint16_t> boundPort_{0};
  mutable std::mutex workersMutex_;
  std::condition_variable workerFinished_;
  std::list<std::unique_ptr<Worker>> workers_;
};

}  // namespace zephra::net
