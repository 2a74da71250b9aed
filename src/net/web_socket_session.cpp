// One open WebSocket: the handshake with the route's subprotocol, text messages in and out
// (one write at a time, in order), pings while it is quiet, and one OnClosed at the end.
#include <boost/asio/post.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/websocket/stream.hpp>
#include <deque>
#include <string>
#include <utility>

#include "net/web_connections.h"

namespace zephra::net {

namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;

constexpr std::chrono::seconds HandshakeTimeout{10};

class TWebSocketSession final : public IShuttable,
                                public std::enable_shared_from_this<TWebSocketSession> {
 public:
  TWebSocketSession(std::shared_ptr<TWebConnections> owner, beast::tcp_stream stream,
                    TWebRequest request, TWebRoute route)
      : owner_(std::move(owner)),
        ws_(std::move(stream)),
        request_(std::move(request)),
        route_(std::move(route)) {}

  void Start() {
    const TWebLimits& limits = owner_->Limits();
    // Pings go out at half the idle time; a socket silent for the whole of it is closed.
    ws_.set_option(websocket::stream_base::timeout{
        HandshakeTimeout, std::chrono::duration_cast<std::chrono::seconds>(limits.socketIdle),
        true});
    ws_.set_option(websocket::stream_base::decorator(
        [subprotocol = route_.subprotocol](websocket::response_type& response) {
          if (!subprotocol.empty()) response.set(http::field::sec_websocket_protocol, subprotocol);
        }));
    ws_.read_message_max(limits.maxMessageBytes);
    ws_.control_callback([this](websocket::frame_type kind, beast::string_view) {
      if (kind == websocket::frame_type::pong && handler_) handler_->OnPong();
    });
    ws_.async_accept(request_, [self = shared_from_this()](beast::error_code error) {
      self->OnAccepted(error);
    });
  }

  void Shut() override {
    beast::error_code ignored;
    beast::get_lowest_layer(ws_).socket().close(ignored);
  }

  // Server thread.
  void Queue(std::string text, bool closeAfter) {
    if (closed_ || closing_) return;
    if (!text.empty()) outbox_.push_back(std::move(text));
    closing_ = closeAfter;
    if (!writing_) WriteNext();
  }

 private:
  class TPeer final : public IWebSocketPeer {
   public:
    TPeer(asio::io_context& io, std::weak_ptr<TWebSocketSession> session)
        : io_(io), session_(std::move(session)) {}
    void Send(std::string text) override { Post(std::move(text), false); }
    void SendAndClose(std::string text) override { Post(std::move(text), true); }

   private:
    void Post(std::string text, bool closeAfter) {
      asio::post(io_, [session = session_, text = std::move(text), closeAfter]() mutable {
        if (auto s = session.lock()) s->Queue(std::move(text), closeAfter);
      });
    }
    asio::io_context& io_;
    std::weak_ptr<TWebSocketSession> session_;
  };

  void OnAccepted(beast::error_code error) {
    if (error || owner_->Stopping()) return End();
    ws_.text(true);
    handler_ = route_.upgrade(std::make_shared<TPeer>(owner_->Context(), weak_from_this()));
    route_.upgrade = nullptr;
    if (!handler_) return End();
    ReadNext();
  }

  void ReadNext() {
    ws_.async_read(inbox_, [self = shared_from_this()](beast::error_code error, std::size_t) {
      self->OnRead(error);
    });
  }

  void OnRead(beast::error_code error) {
    if (error) return End();
    if (ws_.got_text()) {
      const auto data = inbox_.cdata();
      handler_->OnMessage(std::string_view(static_cast<const char*>(data.data()), data.size()));
    }
    inbox_.clear();
    ReadNext();
  }

  void WriteNext() {
    if (outbox_.empty()) {
      if (closing_) CloseNow();
      return;
    }
    writing_ = true;
    ws_.async_write(asio::buffer(outbox_.front()),
                    [self = shared_from_this()](beast::error_code error, std::size_t) {
                      self->writing_ = false;
                      if (error) return self->End();
                      self->outbox_.pop_front();
                      self->WriteNext();
                    });
  }

  void CloseNow() {
    ws_.async_close(websocket::close_code::normal,
                    [self = shared_from_this()](beast::error_code) { self->Shut(); });
  }

  void End() {
    if (closed_) return;
    closed_ = true;
    outbox_.clear();
    Shut();
    if (handler_) handler_->OnClosed();
    owner_->Remove(this);
  }

  std::shared_ptr<TWebConnections> owner_;
  websocket::stream<beast::tcp_stream> ws_;
  TWebRequest request_;
  TWebRoute route_;
  std::shared_ptr<IWebSocketHandler> handler_;
  beast::flat_buffer inbox_;
  std::deque<std::string> outbox_;
  bool writing_ = false;
  bool closing_ = false;
  bool closed_ = false;
};

}  // namespace

void StartWebSocketSession(const std::shared_ptr<TWebConnections>& owner, beast::tcp_stream stream,
                           TWebRequest request, TWebRoute route) {
  auto session = std::make_shared<TWebSocketSession>(owner, std::move(stream), std::move(request),
                                                     std::move(route));
  owner->Add(session);
  session->Start();
}

}  // namespace zephra::net
