// Round trips of small link messages on loopback. The baseline is a bare blocking echo of the
// same 12 bytes over a plain socket; each measured case reports its time per round trip as a
// ratio to that baseline ("x_baseline"), measured in the same run.
#include <benchmark/benchmark.h>

#include <atomic>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>
#include <chrono>
#include <thread>

#include "link/link_message.h"
#include "link/phone_link.h"
#include "net/threaded_tcp_server.h"

namespace {

namespace asio = boost::asio;
using tcp = asio::ip::tcp;
using namespace std::chrono_literals;
using namespace zephra;

constexpr int BaselineRounds = 3000;

tcp::socket ConnectLoopback(asio::io_context& io, std::uint16_t port) {
  tcp::socket socket(io);
  socket.connect(tcp::endpoint(asio::ip::make_address("127.0.0.1"), port));
  socket.set_option(tcp::no_delay(true));
  return socket;
}

// A plain blocking echo server for 12-byte messages on its own thread.
class RawEchoServer {
 public:
  RawEchoServer() : acceptor_(io_, tcp::endpoint(tcp::v4(), 0)) {
    thread_ = std::thread([this] {
      tcp::socket peer = acceptor_.accept();
      peer.set_option(tcp::no_delay(true));
      char buffer[link::LinkHeaderSize];
      boost::system::error_code error;
      while (!error) {
        asio::read(peer, asio::buffer(buffer), error);
        if (!error) asio::write(peer, asio::buffer(buffer), error);
      }
    });
  }
  ~RawEchoServer() { thread_.join(); }
  std::uint16_t Port() const { return acceptor_.local_endpoint().port(); }

 private:
  asio::io_context io_;
  tcp::acceptor acceptor_;
  std::thread thread_;
};

double SecondsPerRoundTrip(tcp::socket& out, tcp::socket& in, const QByteArray& message,
                           int rounds) {
  char reply[link::LinkHeaderSize];
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < rounds; ++i) {
    asio::write(out, asio::buffer(message.constData(), message.size()));
    asio::read(in, asio::buffer(reply));
  }
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / rounds;
}

double BaselineSeconds() {
  static const double seconds = [] {
    RawEchoServer server;
    asio::io_context io;
    tcp::socket socket = ConnectLoopback(io, server.Port());
    const QByteArray message(static_cast<qsizetype>(link::LinkHeaderSize), 'x');
    SecondsPerRoundTrip(socket, socket, message, 200);  // warm up
    const double s = SecondsPerRoundTrip(socket, socket, message, BaselineRounds);
    socket.close();
    return s;
  }();
  return seconds;
}

void ReportRatio(benchmark::State& state, double seconds) {
  state.counters["x_baseline"] = seconds / BaselineSeconds();
  state.counters["us_per_round_trip"] = seconds * 1e6;
}

void BM_RawEchoBaseline(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(BaselineSeconds());
  ReportRatio(state, BaselineSeconds());
}
BENCHMARK(BM_RawEchoBaseline)->Iterations(1);

// The threaded server with a handler that reads a header and writes it back in one write.
void BM_ThreadedServerEcho(benchmark::State& state) {
  net::ThreadedTcpServer server(0, 1000ms);
  server.SetExecuteHandler([](net::TcpConnection& connection) {
    char buffer[link::LinkHeaderSize];
    if (connection.ReadExact(buffer, sizeof buffer)) connection.Write(buffer, sizeof buffer);
  });
  server.SetActive(true);
  asio::io_context io;
  tcp::socket socket = ConnectLoopback(io, server.Port());
  const QByteArray message(static_cast<qsizetype>(link::LinkHeaderSize), 'x');
  double seconds = 0;
  for (auto _ : state) seconds = SecondsPerRoundTrip(socket, socket, message, BaselineRounds);
  ReportRatio(state, seconds);
  socket.close();
}
BENCHMARK(BM_ThreadedServerEcho)->Iterations(1);

class NoFolders : public link::IPhoneFolders {
 public:
  QString PhoneFolder() const override { return {}; }
  void SetPhoneFolder(const QString&) override {}
};

// A keep-alive on the data channel and its echo on the session's control connection: the
// whole path of a phone message through both listeners.
void BM_KeepAliveThroughLink(benchmark::State& state) {
  NoFolders folders;
  link::TLinkConfig config;
  config.controlPort = 0;
  config.dataPort = 0;
  link::TPhoneLink phoneLink(config, folders, [] { return std::optional<bool>(); });
  phoneLink.StartServers();
  asio::io_context io;
  tcp::socket control = ConnectLoopback(io, phoneLink.ControlPortInUse());
  QByteArray hello(static_cast<qsizetype>(link::HelloLength), '\0');
  link::WriteU32(reinterpret_cast<unsigned char*>(hello.data()), link::PcVersion);
  hello.replace(4, 5, "bench");
  const QByteArray helloMessage = link::MakeMessage(link::LinkMagicPhone, link::cmdHello, hello);
  asio::write(control, asio::buffer(helloMessage.constData(), helloMessage.size()));
  char reply[link::LinkHeaderSize + link::HelloReplyLength];
  asio::read(control, asio::buffer(reply));

  tcp::socket data = ConnectLoopback(io, phoneLink.DataPortInUse());
  const QByteArray keepAlive = link::MakeMessage(link::LinkMagicPhone, link::cmdKeepAlive);
  double seconds = 0;
  for (auto _ : state) seconds = SecondsPerRoundTrip(data, control, keepAlive, BaselineRounds);
  ReportRatio(state, seconds);
}
BENCHMARK(BM_KeepAliveThroughLink)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
