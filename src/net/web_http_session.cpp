// One plain HTTP request: its header within the size and time bounds, the route's decision,
// the body into a sink when asked for, the answer, and the end of the connection.
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http/buffer_body.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/write.hpp>
#include <boost/beast/websocket/rfc6455.hpp>
#include <exception>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include "net/web_connections.h"

namespace zephra::net {

namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

constexpr std::size_t BodyPiece = 64 * 1024;
// After an answer that leaves a body unread, this much more is read and dropped (for at most
// DrainTime) so that the client sees the answer instead of a reset connection.
constexpr std::size_t DrainLimit = 4 * 1024 * 1024;
constexpr std::chrono::milliseconds DrainTime{2000};

class THttpSession final : public IShuttable, public std::enable_shared_from_this<THttpSession> {
 public:
  THttpSession(std::shared_ptr<TWebConnections> owner, tcp::socket socket)
      : owner_(std::move(owner)), stream_(std::move(socket)) {}

  void Start() {
    boost::system::error_code error;
    const auto local = stream_.socket().local_endpoint(error);
    const auto remote = stream_.socket().remote_endpoint(error);
    if (error) return Finish();
    endpoints_ = {local.address().to_string(), local.port(), remote.address().to_string()};
    header_.emplace();
    header_->header_limit(static_cast<std::uint32_t>(owner_->Limits().maxHeaderBytes));
    // The route judges the announced length; the body's own bound comes with the route.
    header_->body_limit(std::numeric_limits<std::uint64_t>::max());
    stream_.expires_after(owner_->Limits().headerDeadline);
    http::async_read_header(
        stream_, buffer_, *header_,
        [self = shared_from_this()](beast::error_code e, std::size_t) { self->OnHeader(e); });
  }

  void Shut() override {
    beast::error_code ignored;
    stream_.socket().shutdown(tcp::socket::shutdown_both, ignored);
    stream_.close();
  }

 private:
  void OnHeader(beast::error_code error) {
    if (error == http::error::header_limit) {
      return Answer(MakeWebResponse(431, "Request header too large"));
    }
    if (error == beast::error::timeout || error == asio::error::operation_aborted) return Finish();
    if (error) return Answer(MakeWebResponse(400, "Bad request"));
    TWebRoute route;
    try {
      route = owner_->Handler().Route(header_->get(), endpoints_);
    } catch (const std::exception&) {
      // A route that failed answers for itself; the connection still ends as it should.
      return Answer(MakeWebResponse(500, "Internal error"));
    }
    if (route.upgrade && beast::websocket::is_upgrade(header_->get())) {
      stream_.expires_never();
      StartWebSocketSession(owner_, std::move(stream_), header_->release(), std::move(route));
      return Finish();
    }
    if (route.sink) return ReadBody(std::move(route));
    Answer(route.response ? std::move(*route.response) : MakeWebResponse(404, "Not found"));
  }

  void ReadBody(TWebRoute route) {
    sink_ = std::move(route.sink);
    body_.emplace(std::move(*header_));
    body_->body_limit(route.bodyLimit);
    piece_.resize(BodyPiece);
    if (body_->is_done()) return Answer(sink_->Finish(true));
    ReadPiece();
  }

  void ReadPiece() {
    body_->get().body().data = piece_.data();
    body_->get().body().size = piece_.size();
    stream_.expires_after(owner_->Limits().bodyIdle);
    http::async_read(
        stream_, buffer_, *body_,
        [self = shared_from_this()](beast::error_code e, std::size_t) { self->OnPiece(e); });
  }

  void OnPiece(beast::error_code error) {
    if (error == http::error::need_buffer) error = {};
    const std::size_t got = piece_.size() - body_->get().body().size;
    const bool taken = got == 0 || sink_->Take(piece_.data(), got);
    if (error == http::error::body_limit) return Answer(sink_->Finish(false));
    if (error) {
      sink_->Finish(false);  // the client is gone or silent: nothing to answer
      return Finish();
    }
    if (!taken) return Answer(sink_->Finish(false));
    if (body_->is_done()) return Answer(sink_->Finish(true));
    ReadPiece();
  }

  void Answer(TWebResponse response) {
    response_ = std::move(response);
    response_.keep_alive(false);
    response_.prepare_payload();
    stream_.expires_after(owner_->Limits().headerDeadline);
    http::async_write(
        stream_, response_,
        [self = shared_from_this()](beast::error_code e, std::size_t) { self->OnAnswered(e); });
  }

  void OnAnswered(beast::error_code error) {
    // A request whose body was not read whole (refused early, or a bad header) leaves bytes
    // on their way.
    const bool read = body_ ? body_->is_done() : header_->is_done();
    beast::error_code ignored;
    stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
    if (error || read) return Finish();
    Drain();
  }

  void Drain() {
    piece_.resize(BodyPiece);
    stream_.expires_after(DrainTime);
    stream_.async_read_some(asio::buffer(piece_),
                            [self = shared_from_this()](beast::error_code e, std::size_t n) {
                              self->drained_ += n;
                              if (e || self->drained_ >= DrainLimit) return self->Finish();
                              self->Drain();
                            });
  }

  void Finish() {
    beast::error_code ignored;
    if (stream_.socket().is_open()) stream_.socket().close(ignored);
    owner_->Remove(this);
  }

  std::shared_ptr<TWebConnections> owner_;
  beast::tcp_stream stream_;
  beast::flat_buffer buffer_;
  TWebEndpoints endpoints_;
  std::optional<http::request_parser<http::empty_body>> header_;
  std::optional<http::request_parser<http::buffer_body>> body_;
  std::unique_ptr<IBodySink> sink_;
  std::vector<char> piece_;
  std::size_t drained_ = 0;
  TWebResponse response_;
};

}  // namespace

void StartHttpSession(const std::shared_ptr<TWebConnections>& owner, tcp::socket socket) {
  auto session = std::make_shared<THttpSession>(owner, std::move(socket));
  owner->Add(session);
  session->Start();
}

}  // namespace zephra::net
