#include "scripted_page.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <atomic>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/beast/core/buffers_to_string.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/span_body.hpp>
#include <boost/beast/http/string_body.hpp>
#include <boost/beast/http/write.hpp>
#include <boost/beast/websocket/stream.hpp>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <utility>

#include "browser/browser_constants.h"

namespace zephra::bench {

namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;
using ErrorCode = boost::system::error_code;

constexpr char ClientId[] = "bench";
constexpr std::chrono::seconds ConnectWait{5};

}  // namespace

// Everything but the constructor's handshake runs on the page's thread.
struct TScriptedPage::TState {
  TState(TPageAddress pageAddress, QByteArray bytes)
      : address(std::move(pageAddress)), picture(std::move(bytes)) {}

  std::string Host() const { return "127.0.0.1:" + std::to_string(address.serverPort); }
  tcp::endpoint Target() const { return {asio::ip::address_v4::loopback(), address.connectPort}; }

  // The page's WebSocket, with the subprotocols and the Origin the page's script gives it.
  bool Open() {
    ErrorCode error;
    ws.next_layer().connect(Target(), error);
    if (error) return false;
    ws.next_layer().set_option(tcp::no_delay(true), error);
    const std::string host = Host();
    const std::string offer = std::string(browser::PageSubprotocol) + ", " +
                              browser::TokenProtocolPrefix + address.token + ", " +
                              browser::ClientProtocolPrefix + ClientId;
    ws.set_option(websocket::stream_base::decorator([host, offer](websocket::request_type& r) {
      r.set(http::field::origin, "http://" + host);
      r.set(http::field::sec_websocket_protocol, offer);
    }));
    websocket::response_type response;
    ws.handshake(response, host, "/ws", error);
    ws.text(true);
    return !error && response[http::field::sec_websocket_protocol] == browser::PageSubprotocol;
  }

  void ReadNext() {
    ws.async_read(inbox, [this](const ErrorCode& error, std::size_t) {
      if (error) return;  // the socket closed: the page's thread ends
      const QJsonObject message =
          QJsonDocument::fromJson(QByteArray::fromStdString(beast::buffers_to_string(inbox.data())))
              .object();
      inbox.clear();
      OnMessage(message);
      ReadNext();
    });
  }

  void OnMessage(const QJsonObject& message) {
    const QString type = message.value(QLatin1String("type")).toString();
    if (type == QLatin1String("state") &&
        message.value(QLatin1String("state")).toString() == QLatin1String("connected")) {
      std::lock_guard lock(mutex);
      connected = true;
      changed.notify_all();
    } else if (type == QLatin1String("need")) {
      Upload(message.value(QLatin1String("id")).toInt());
    }
  }

  // One PUT of the picture's bytes on a connection of its own, as the page's fetch does it.
  void Upload(int id) {
    lastStatus = 0;
    ErrorCode error;
    tcp::socket socket(io);
    socket.connect(Target(), error);
    if (error) return;
    socket.set_option(tcp::no_delay(true), error);
    http::request<http::span_body<const char>> request{http::verb::put,
                                                       "/api/upload/" + std::to_string(id), 11};
    request.set(http::field::host, Host());
    request.set(browser::TokenHeader, address.token);
    request.set(http::field::content_type, "image/jpeg");
    request.body() = {picture.constData(), static_cast<std::size_t>(picture.size())};
    request.prepare_payload();
    http::write(socket, request, error);
    if (error) return;
    beast::flat_buffer buffer;
    http::response<http::string_body> response;
    http::read(socket, buffer, response, error);
    if (!error) lastStatus = response.result_int();
  }

  void Send(std::string text) {
    outbox.push_back(std::move(text));
    if (outbox.size() == 1) WriteNext();
  }

  void WriteNext() {
    ws.async_write(asio::buffer(outbox.front()), [this](const ErrorCode& error, std::size_t) {
      if (error) return;
      outbox.pop_front();
      if (!outbox.empty()) WriteNext();
    });
  }

  const TPageAddress address;
  const QByteArray picture;
  asio::io_context io;
  websocket::stream<tcp::socket> ws{io};
  beast::flat_buffer inbox;
  std::deque<std::string> outbox;  // the front one is being written
  std::atomic<unsigned> lastStatus{0};
  std::mutex mutex;
  std::condition_variable changed;
  bool connected = false;
};

TScriptedPage::TScriptedPage(TPageAddress address, QByteArray picture)
    : state_(std::make_unique<TState>(std::move(address), std::move(picture))) {
  if (!state_->Open()) return;
  thread_ = std::thread([state = state_.get()] {
    state->ReadNext();
    state->io.run();
  });
  std::unique_lock lock(state_->mutex);
  connected_ = state_->changed.wait_for(lock, ConnectWait, [this] { return state_->connected; });
}

TScriptedPage::~TScriptedPage() {
  if (!thread_.joinable()) return;
  // The read ends with an error, and the thread's run returns once nothing is left.
  asio::post(state_->io, [state = state_.get()] {
    ErrorCode ignored;
    state->ws.next_layer().shutdown(tcp::socket::shutdown_both, ignored);
    state->ws.next_layer().close(ignored);
  });
  thread_.join();
}

void TScriptedPage::Show(const QString& name) {
  const QJsonObject picture{{QLatin1String("name"), name},
                            {QLatin1String("size"), static_cast<qint64>(state_->picture.size())}};
  const QJsonObject show{{QLatin1String("type"), QLatin1String("show")},
                         {QLatin1String("index"), 0},
                         {QLatin1String("pictures"), QJsonArray{picture}}};
  std::string text = QJsonDocument(show).toJson(QJsonDocument::Compact).toStdString();
  asio::post(state_->io, [state = state_.get(), text = std::move(text)]() mutable {
    state->Send(std::move(text));
  });
}

unsigned TScriptedPage::LastUploadStatus() const { return state_->lastStatus.load(); }

}  // namespace zephra::bench
