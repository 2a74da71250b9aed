#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "install/install_constants.h"

namespace zephra::install {

// The answer to one request as the handler builds it. A new one is status 200 with content
// type "text/html", no length and no body.
struct THttpResponse {
  unsigned status = 200;
  std::string contentType = HtmlType;
  // The Content-Length to send; without it the body's length is sent.
  std::optional<std::uint64_t> contentLength;
  std::string body;
  // Set by a handler that wrote the header (and what follows it) onto the connection itself.
  bool headerSent = false;
};

// The status line ("HTTP/1.1 " + code + standard reason phrase) and the header fields of
// `response`: Content-Type, Content-Length, Connection: close and Date; ends with the empty line.
std::string ResponseHeader(const THttpResponse& response);

}  // namespace zephra::install
