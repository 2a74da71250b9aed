#include "plain_loop.h"

#include <QFile>
#include <algorithm>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>
#include <chrono>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "link/link_constants.h"
#include "wifi_like_relay.h"

namespace zephra::bench {
namespace {

namespace asio = boost::asio;
using tcp = asio::ip::tcp;

constexpr std::size_t RequestBytes = 60;
constexpr std::size_t AnswerBytes = link::LinkHeaderSize + link::ChunkHeadLength + link::ChunkSize;

void KeepFile(const QString& keepAt, const char* bytes, std::size_t count) {
  QFile::remove(keepAt);
  QFile temp(keepAt + QStringLiteral(".tmp"));
  temp.open(QIODevice::WriteOnly | QIODevice::Truncate);
  temp.write(bytes, static_cast<qint64>(count));
  temp.close();
  QFile::rename(temp.fileName(), keepAt);
}

}  // namespace

double PlainLoopSeconds(const TPlainLoop& loop) {
  asio::io_context io;
  tcp::acceptor acceptor(io, tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0));
  // Each answer ends with `payload` bytes of the file.
  const std::size_t payload = loop.stream ? loop.fileBytes : link::ChunkSize;
  const std::size_t answerBytes = loop.stream ? loop.fileBytes : AnswerBytes;
  const std::size_t rounds = (loop.fileBytes + payload - 1) / payload;
  std::thread server([&] {
    tcp::socket peer = acceptor.accept();
    peer.set_option(tcp::no_delay(true));
    std::vector<char> request(RequestBytes), answer(answerBytes, 'a');
    for (std::size_t i = 0; i < rounds; ++i) {
      asio::read(peer, asio::buffer(request));
      asio::write(peer, asio::buffer(answer));
    }
  });
  std::optional<TWifiLikeRelay> relay;
  if (loop.wifiLike) relay.emplace(acceptor.local_endpoint().port());
  tcp::socket socket(io);
  socket.connect(relay ? tcp::endpoint(asio::ip::make_address("127.0.0.1"), relay->Port())
                       : acceptor.local_endpoint());
  socket.set_option(tcp::no_delay(true));
  std::vector<char> request(RequestBytes, 'r'), answer(answerBytes);
  const auto start = std::chrono::steady_clock::now();
  std::unique_ptr<char[]> file(loop.keepAt.isEmpty() ? nullptr : new char[loop.fileBytes]);
  for (std::size_t i = 0; i < rounds; ++i) {
    asio::write(socket, asio::buffer(request));
    asio::read(socket, asio::buffer(answer));
    if (file) {
      const std::size_t offset = i * payload;
      const std::size_t count = std::min(payload, loop.fileBytes - offset);
      std::copy_n(answer.data() + answerBytes - payload, count, file.get() + offset);
    }
  }
  if (file) KeepFile(loop.keepAt, file.get(), loop.fileBytes);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  server.join();
  return seconds;
}

}  // namespace zephra::bench
