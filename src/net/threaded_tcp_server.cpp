#include "net/threaded_tcp_server.h"

#include <algorithm>
#include <boost/asio/steady_timer.hpp>
#include <utility>

#include "net/listen.h"

namespace zephra::net {

namespace asio = boost::asio;
using tcp = asio::ip::tcp;

struct ThreadedTcpServer::Worker {
  std::shared_ptr<TcpConnection> connection;
  std::thread thread;
  std::atomic<bool> finished{false};
};

// The listening socket and its own thread, which runs the accepts and the first-message
// deadlines on one io_context.
class ThreadedTcpServer::Acceptor {
 public:
  Acceptor(ThreadedTcpServer& owner, std::uint16_t port) : owner_(owner), acceptor_(io_) {
    ListenOnEveryAddress(acceptor_, port, static_cast<int>(owner.limits_.listenBacklog));
  }

  ~Acceptor() {
    io_.stop();
    if (thread_.joinable()) thread_.join();
  }

  std::uint16_t Port() const { return acceptor_.local_endpoint().port(); }

  void Start() {
    AcceptNext();
    thread_ = std::thread([this] {
      try {
        io_.run();
      } catch (...) {
        // An accept thread that fails stops accepting; open connections are unaffected.
      }
    });
  }

 private:
  void AcceptNext() {
    acceptor_.async_accept(owner_.socketContext_,
                           [this](const boost::system::error_code& error, tcp::socket socket) {
                             if (error == asio::error::operation_aborted) return;
                             if (!error) {
                               if (auto connection = owner_.Admit(std::move(socket)))
                                 WatchFirstMessage(connection);
                             }
                             AcceptNext();
                           });
  }

  // Closes the connection if it has not marked its first message by the deadline.
  void WatchFirstMessage(const std::shared_ptr<TcpConnection>& connection) {
    const auto deadline = owner_.limits_.firstMessageDeadline;
    if (deadline.count() <= 0) return;
    auto timer = std::make_shared<asio::steady_timer>(io_, deadline);
    std::weak_ptr<TcpConnection> weak = connection;
    timer->async_wait([timer, weak](const boost::system::error_code& error) {
      if (error) return;
      if (auto c = weak.lock(); c && !c->Spoken()) c->Close();
    });
  }

  ThreadedTcpServer& owner_;
  asio::io_context io_;
  tcp::acceptor acceptor_;
  std::thread thread_;
};

ThreadedTcpServer::ThreadedTcpServer(std::uint16_t port, std::chrono::milliseconds stopWait,
                                     ServerLimits limits)
    : port_(port), stopWait_(stopWait), limits_(limits) {}

ThreadedTcpServer::~ThreadedTcpServer() {
  SetActive(false);
  // Threads that outlived the stop wait are joined here; nothing is left running. They are
  // joined outside the lock, which a thread takes once more as it ends.
  std::list<std::unique_ptr<Worker>> remaining;
  {
    std::lock_guard lock(workersMutex_);
    for (auto& worker : workers_) worker->connection->Close();
    remaining.swap(workers_);
  }
  for (auto& worker : remaining) {
    if (worker->thread.joinable()) worker->thread.join();
  }
}

void ThreadedTcpServer::SetConnectHandler(Handler handler) { onConnect_ = std::move(handler); }
void ThreadedTcpServer::SetExecuteHandler(Handler handler) { onExecute_ = std::move(handler); }
void ThreadedTcpServer::SetExemptPredicate(ExemptPredicate predicate) {
  exempt_ = std::move(predicate);
}

void ThreadedTcpServer::SetDisconnectHandler(Handler handler) {
  std::lock_guard lock(disconnectMutex_);
  onDisconnect_ = std::move(handler);
}

ThreadedTcpServer::Handler ThreadedTcpServer::DisconnectHandler() const {
  std::lock_guard lock(disconnectMutex_);
  return onDisconnect_;
}

bool ThreadedTcpServer::Active() const { return acceptor_ != nullptr; }

std::uint16_t ThreadedTcpServer::Port() const {
  const auto bound = boundPort_.load();
  return bound != 0 ? bound : port_;
}

bool ThreadedTcpServer::SetActive(bool active) {
  if (active == Active()) return true;
  if (active) {
    try {
      acceptor_ = std::make_unique<Acceptor>(*this, port_);
      boundPort_.store(acceptor_->Port());
      acceptor_->Start();
      errorText_.clear();
      return true;
    } catch (const std::exception& e) {
      acceptor_.reset();
      errorText_ = e.what();
      return false;
    }
  }
  acceptor_.reset();  // no new connections from here on
  boundPort_.store(0);
  {
    std::lock_guard lock(workersMutex_);
    for (auto& worker : workers_) {
      worker->connection->RequestStop();
      worker->connection->Close();
    }
  }
  return WaitForWorkers(stopWait_);
}

bool ThreadedTcpServer::WaitForWorkers(std::chrono::milliseconds wait) {
  std::unique_lock lock(workersMutex_);
  const bool allEnded = workerFinished_.wait_for(lock, wait, [this] {
    return std::all_of(workers_.begin(), workers_.end(),
                       [](const auto& worker) { return worker->finished.load(); });
  });
  ReapFinished();
  return allEnded;
}

void ThreadedTcpServer::CloseAll() {
  std::lock_guard lock(workersMutex_);
  for (auto& worker : workers_) worker->connection->Close();
}

std::size_t ThreadedTcpServer::ConnectionCount() const {
  std::lock_guard lock(workersMutex_);
  return static_cast<std::size_t>(
      std::count_if(workers_.begin(), workers_.end(),
                    [](const auto& worker) { return !worker->finished.load(); }));
}

std::shared_ptr<TcpConnection> ThreadedTcpServer::Admit(tcp::socket socket) {
  boost::system::error_code error;
  const auto remote = socket.remote_endpoint(error);
  if (error) return nullptr;
  std::string peer = remote.address().to_string();

  std::lock_guard lock(workersMutex_);
  ReapFinished();
  if (!WithinBounds(peer)) return nullptr;  // the socket closes as it goes out of scope
  socket.set_option(tcp::no_delay(true), error);

  auto worker = std::make_unique<Worker>();
  worker->connection = std::make_shared<TcpConnection>(std::move(socket), std::move(peer));
  Worker& started = *worker;
  workers_.push_back(std::move(worker));
  started.thread = std::thread([this, &started] { RunConnection(started); });
  return started.connection;
}

bool ThreadedTcpServer::WithinBounds(const std::string& peer) const {
  if (exempt_ && exempt_(peer)) return true;
  std::size_t total = 0;
  std::size_t fromPeer = 0;
  for (const auto& worker : workers_) {
    if (worker->finished.load()) continue;
    ++total;
    if (worker->connection->PeerAddress() == peer) ++fromPeer;
  }
  return total < limits_.maxTotal && fromPeer < limits_.maxPerPeer;
}

void ThreadedTcpServer::RunConnection(Worker& worker) {
  TcpConnection& connection = *worker.connection;
  try {
    CallHandler(onConnect_, connection);
    while (!connection.StopRequested() && connection.Connected()) {
      onExecute_(connection);
    }
  } catch (...) {
    // A failed handler ends this connection only.
  }
  connection.Close();
  CallHandler(DisconnectHandler(), connection);
  {
    std::lock_guard lock(workersMutex_);
    worker.finished.store(true);
  }
  workerFinished_.notify_all();
}

void ThreadedTcpServer::CallHandler(const Handler& handler, TcpConnection& connection) {
  if (!handler) return;
  try {
    handler(connection);
  } catch (...) {
    connection.Close();
  }
}

void ThreadedTcpServer::ReapFinished() {
  for (auto it = workers_.begin(); it != workers_.end();) {
    if ((*it)->finished.load()) {
      if ((*it)->thread.joinable()) (*it)->thread.join();
      it = workers_.erase(it);
    } else {
      ++it;
    }
  }
}

}  // namespace zephra::net
