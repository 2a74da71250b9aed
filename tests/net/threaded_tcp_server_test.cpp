#include "net/threaded_tcp_server.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include <boost/asio/connect.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>
#include <gtest/gtest.h>

namespace zephra::net {
namespace {

namespace asio = boost::asio;
using tcp = asio::ip::tcp;
using namespace std::chrono_literals;

// A blocking test client; `local` binds it to another loopback address so that one test can
// play several hosts.
class Client {
 public:
  explicit Client(std::uint16_t port, const char* local = "127.0.0.1") : socket_(io_) {
    socket_.open(tcp::v4());
    socket_.bind(tcp::endpoint(asio::ip::make_address(local), 0));
    socket_.connect(tcp::endpoint(asio::ip::make_address("127.0.0.1"), port));
  }
  void Send(const std::string& text) { asio::write(socket_, asio::buffer(text)); }
  std::string Receive(std::size_t n) {
    std::string text(n, '\0');
    asio::read(socket_, asio::buffer(text));
    return text;
  }
  // True when the server closes the connection (a read ends with end-of-file or a reset).
  bool SeesClose() {
    char byte;
    boost::system::error_code error;
    socket_.read_some(asio::buffer(&byte, 1), error);
    return static_cast<bool>(error);
  }

 private:
  asio::io_context io_;
  tcp::socket socket_;
};

// Each message is one byte: the server echoes it back; 'q' makes the handler close.
void EchoOneByte(TcpConnection& connection) {
  char byte;
  if (!connection.ReadExact(&byte, 1)) return;
  if (byte == 'q') {
    connection.Close();
    return;
  }
  connection.MarkSpoken();
  connection.Write(&byte, 1);
}

template <class Predicate>
bool WaitFor(Predicate predicate, std::chrono::milliseconds timeout = 3s) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (!predicate()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(5ms);
  }
  return true;
}

class ServerTest : public ::testing::Test {
 protected:
  void Start(ServerLimits limits = {}) {
    server_ = std::make_unique<ThreadedTcpServer>(0, 1000ms, limits);
    server_->SetConnectHandler([this](TcpConnection&) { ++connects_; });
    server_->SetExecuteHandler(EchoOneByte);
    server_->SetDisconnectHandler([this](TcpConnection&) { ++disconnects_; });
    ASSERT_TRUE(server_->SetActive(true)) << server_->ErrorText();
    ASSERT_NE(server_->Port(), 0);
  }

  std::unique_ptr<ThreadedTcpServer> server_;
  std::atomic<int> connects_{0};
  std::atomic<int> disconnects_{0};
};

TEST_F(ServerTest, CallsConnectExecuteAndDisconnectPerConnection) {
  Start();
  {
    Client a(server_->Port());
    Client b(server_->Port());
    a.Send("x");
    b.Send("y");
    EXPECT_EQ(a.Receive(1), "x");
    EXPECT_EQ(b.Receive(1), "y");
    a.Send("z");
    EXPECT_EQ(a.Receive(1), "z");
    EXPECT_EQ(connects_.load(), 2);
    EXPECT_EQ(server_->ConnectionCount(), 2u);
  }
  EXPECT_TRUE(WaitFor([&] { return disconnects_.load() == 2; }));
  EXPECT_EQ(server_->ConnectionCount(), 0u);
}

TEST_F(ServerTest, HandlerThatClosesEndsOnlyItsConnection) {
  Start();
  Client a(server_->Port());
  Client b(server_->Port());
  a.Send("q");
  EXPECT_TRUE(a.SeesClose());
  b.Send("k");
  EXPECT_EQ(b.Receive(1), "k");
}

TEST_F(ServerTest, ExceptionInHandlerEndsOnlyThatConnection) {
  server_ = std::make_unique<ThreadedTcpServer>(0, 1000ms);
  server_->SetExecuteHandler([](TcpConnection& connection) {
    char byte;
    if (!connection.ReadExact(&byte, 1)) return;
    if (byte == '!') throw std::runtime_error("handler failure");
    connection.Write(&byte, 1);
  });
  ASSERT_TRUE(server_->SetActive(true));
  Client a(server_->Port());
  Client b(server_->Port());
  a.Send("!");
  EXPECT_TRUE(a.SeesClose());
  b.Send("k");
  EXPECT_EQ(b.Receive(1), "k");
}

TEST_F(ServerTest, DeactivationEndsBlockedReadsAndThePortCanBeReused) {
  Start();
  Client a(server_->Port());
  Client b(server_->Port());
  a.Send("x");
  ASSERT_EQ(a.Receive(1), "x");
  ASSERT_TRUE(WaitFor([&] { return server_->ConnectionCount() == 2; }));

  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(server_->SetActive(false));
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1000ms);  // no thread hit the stop wait
  EXPECT_FALSE(server_->Active());
  EXPECT_EQ(disconnects_.load(), 2);
  EXPECT_TRUE(a.SeesClose());
  EXPECT_TRUE(b.SeesClose());

  EXPECT_TRUE(server_->SetActive(true)) << server_->ErrorText();
  Client c(server_->Port());
  c.Send("c");
  EXPECT_EQ(c.Receive(1), "c");
}

TEST_F(ServerTest, BusyPortReportsAnError) {
  Start();
  ThreadedTcpServer second(server_->Port(), 100ms);
  EXPECT_FALSE(second.SetActive(true));
  EXPECT_FALSE(second.ErrorText().empty());
  EXPECT_FALSE(second.Active());
}

TEST_F(ServerTest, DetachedDisconnectHandlerIsNotCalled) {
  Start();
  Client a(server_->Port());
  a.Send("x");
  ASSERT_EQ(a.Receive(1), "x");
  server_->SetDisconnectHandler({});
  server_->CloseAll();
  EXPECT_TRUE(a.SeesClose());
  EXPECT_TRUE(WaitFor([&] { return server_->ConnectionCount() == 0; }));
  EXPECT_EQ(disconnects_.load(), 0);
}

TEST_F(ServerTest, BoundsRefuseConnectionsPerPeerAndPerPortButNotExemptPeers) {
  ServerLimits limits;
  limits.maxPerPeer = 2;
  limits.maxTotal = 3;
  Start(limits);
  server_->SetActive(false);
  server_->SetExemptPredicate([](const std::string& peer) { return peer == "127.0.0.9"; });
  ASSERT_TRUE(server_->SetActive(true));
  const auto port = server_->Port();

  Client a1(port, "127.0.0.2"), a2(port, "127.0.0.2");
  ASSERT_TRUE(WaitFor([&] { return server_->ConnectionCount() == 2; }));
  Client a3(port, "127.0.0.2");
  EXPECT_TRUE(a3.SeesClose()) << "third connection from one peer";

  Client b1(port, "127.0.0.3");
  ASSERT_TRUE(WaitFor([&] { return server_->ConnectionCount() == 3; }));
  Client b2(port, "127.0.0.3");
  EXPECT_TRUE(b2.SeesClose()) << "fourth connection on the port";

  Client exempt(port, "127.0.0.9");
  exempt.Send("e");
  EXPECT_EQ(exempt.Receive(1), "e");

  a1.Send("1");
  EXPECT_EQ(a1.Receive(1), "1");
}

TEST_F(ServerTest, SilentConnectionIsClosedAtTheFirstMessageDeadline) {
  ServerLimits limits;
  limits.firstMessageDeadline = 800ms;
  Start(limits);
  Client silent(server_->Port());
  Client talker(server_->Port());
  talker.Send("t");
  ASSERT_EQ(talker.Receive(1), "t");

  EXPECT_TRUE(silent.SeesClose());
  std::this_thread::sleep_for(900ms);
  talker.Send("u");
  EXPECT_EQ(talker.Receive(1), "u") << "a connection that has spoken is never timed out";
}

TEST(ServerStopWait, ThreadOutlivingTheStopWaitIsReportedAndJoinedLater) {
  std::mutex mutex;
  std::condition_variable released;
  bool release = false;
  std::atomic<bool> entered{false};
  auto server = std::make_unique<ThreadedTcpServer>(0, 100ms);
  server->SetExecuteHandler([&](TcpConnection& connection) {
    entered = true;
    std::unique_lock lock(mutex);
    released.wait(lock, [&] { return release; });
    connection.Close();
  });
  ASSERT_TRUE(server->SetActive(true));
  Client client(server->Port());
  ASSERT_TRUE(WaitFor([&] { return entered.load(); }));

  EXPECT_FALSE(server->SetActive(false));
  {
    std::lock_guard lock(mutex);
    release = true;
  }
  released.notify_all();
  server.reset();  // joins the late thread
}

}  // namespace
}  // namespace zephra::net
