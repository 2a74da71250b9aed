#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "net/web_types.h"

namespace zephra::browser {

// True when `host` (a request's Host header) is exactly the address and port the connection
// reached, so that a page from another site that resolves its own name to this PC (DNS
// rebinding) is turned away.
bool HostMatches(std::string_view host, const net::TWebEndpoints& endpoints);
// True when a WebSocket's `origin` is the page's own: "http://" followed by `host`.
bool OriginMatches(std::string_view origin, std::string_view host);

// What the page offers in Sec-WebSocket-Protocol: our subprotocol, its token and its client id.
struct TSocketOffer {
  bool page = false;  // the offer names the page's subprotocol
  std::string token;
  std::string clientId;  // empty when missing or not made of letters, digits, '-' and '_'
};
TSocketOffer ParseSocketOffer(std::string_view protocols);

// The request id of an upload target "/api/upload/<id>" (decimal, no sign, no query).
std::optional<std::int32_t> UploadIdOf(std::string_view target);

}  // namespace zephra::browser
