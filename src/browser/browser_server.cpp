#include "browser/browser_server.h"

#include <boost/asio/post.hpp>
#include <boost/beast/http/field.hpp>
#include <charconv>
#include <string_view>
#include <utility>

#include "browser/browser_token.h"
#include "browser/request_checks.h"
#include "browser/upload_sink.h"

namespace zephra::browser {

namespace {

namespace http = boost::beast::http;

std::string_view View(boost::beast::string_view text) { return {text.data(), text.size()}; }

net::TWebRoute Answer(unsigned status, std::string body) {
  net::TWebRoute route;
  route.response = net::MakeWebResponse(status, std::move(body));
  return route;
}

// The announced body length; nullopt without one or for a chunked body.
std::optional<std::uint64_t> ContentLength(const net::TWebRequest& request) {
  if (request.chunked()) return std::nullopt;
  const std::string_view text = View(request[http::field::content_length]);
  std::uint64_t length = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), length);
  if (text.empty() || error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return length;
}

}  // namespace

TBrowserServer::TBrowserServer(link::TPhoneLink& link, TBrowserConfig config)
    : link_(link),
      token_(config.token.empty() ? NewToken() : config.token),
      server_(config.port, *this, config.limits),
      session_(link, server_.Context(), config.times, std::move(config.freeBytes)) {}

TBrowserServer::~TBrowserServer() { SetActive(false); }

bool TBrowserServer::SetActive(bool active) {
  if (active) return server_.SetActive(true);
  server_.SetActive(false);
  // What was posted after the thread's last work ran now, so that no request waits in vain.
  server_.Context().restart();
  server_.Context().poll();
  return true;
}

template <typename Work>
void TBrowserServer::Post(Work work) {
  boost::asio::post(server_.Context(), std::move(work));
}

void TBrowserServer::AddRequest(std::int32_t id, const QString& name, const QString& path) {
  Post([this, id, name, path] { session_.AddRequest(id, name, path); });
}

void TBrowserServer::CancelRequest(std::int32_t id) {
  Post([this, id] { session_.CancelRequest(id); });
}

void TBrowserServer::PictureShown(int index, int count) {
  Post([this, index, count] { session_.PictureShown(index, count); });
}

void TBrowserServer::ViewerClosed() {
  Post([this] { session_.ViewerClosed(); });
}

void TBrowserServer::OnStopping() { session_.Stop(); }

net::TWebRoute TBrowserServer::Route(const net::TWebRequest& request,
                                     const net::TWebEndpoints& endpoints) {
  if (!HostMatches(View(request[http::field::host]), endpoints)) return Answer(403, TextWrongHost);
  const std::string_view target = View(request.target());
  if (target == "/ws") return SocketRoute(request, endpoints);
  if (target.substr(0, 5) == "/api/") return ApiRoute(request);
  return AssetRoute(request);
}

net::TWebRoute TBrowserServer::SocketRoute(const net::TWebRequest& request,
                                           const net::TWebEndpoints& endpoints) {
  const TSocketOffer offer = ParseSocketOffer(View(request[http::field::sec_websocket_protocol]));
  if (!offer.page || !SameToken(offer.token, token_) || offer.clientId.empty() ||
      !OriginMatches(View(request[http::field::origin]), View(request[http::field::host]))) {
    return Answer(403, TextWrongToken);
  }
  net::TWebRoute route = Answer(426, "Upgrade required");
  route.subprotocol = PageSubprotocol;
  route.upgrade = [this, clientId = offer.clientId,
                   ip = endpoints.peerAddress](std::shared_ptr<net::IWebSocketPeer> peer) {
    return session_.Open(clientId, ip, std::move(peer));
  };
  return route;
}

net::TWebRoute TBrowserServer::ApiRoute(const net::TWebRequest& request) {
  if (!SameToken(View(request[TokenHeader]), token_)) return Answer(403, TextWrongToken);
  const std::string_view target = View(request.target());
  if (target == "/api/check" && request.method() == http::verb::get) return Answer(204, {});
  const std::optional<std::int32_t> id = UploadIdOf(target);
  if (!id || request.method() != http::verb::put) return Answer(404, "Not found");
  TUploadTicket ticket = session_.AdmitUpload(*id, ContentLength(request));
  if (ticket.status != 0) return Answer(ticket.status, std::move(ticket.text));
  net::TWebRoute route;
  route.bodyLimit = ticket.size;
  route.sink = std::make_unique<TUploadSink>(session_, std::move(ticket));
  return route;
}

net::TWebRoute TBrowserServer::AssetRoute(const net::TWebRequest& request) const {
  if (request.method() != http::verb::get) return Answer(405, "Method not allowed");
  const TPageAsset* asset = assets_.Find(View(request.target()));
  if (!asset) return Answer(404, "Not found");
  net::TWebRoute route = Answer(200, asset->bytes.toStdString());
  net::TWebResponse& response = *route.response;
  response.set(http::field::content_type, asset->contentType);
  response.set("X-Content-Type-Options", "nosniff");
  response.set("Referrer-Policy", "no-referrer");
  response.set("Content-Security-Policy",
               "default-src 'self'; img-src 'self' blob: data:; connect-src 'self' ws://" +
                   std::string(View(request[http::field::host])) +
                   "; object-src 'none'; base-uri 'none'; frame-ancestors 'none'");
  return route;
}

}  // namespace zephra::browser
