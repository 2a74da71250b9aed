#pragma once

#include <QString>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace zephra::net {
class TcpConnection;
}

namespace zephra::install {

// What the download server reads from a request: the method as sent and the document.
struct THttpRequest {
  std::string method;
  QString document;
};

// Reads one request header (request line and fields, up to the empty line) from `connection`,
// taking at most `maxBytes` bytes. nullopt when the connection ended first, when the header is
// malformed (a request line without a space in it, for one) or when it does not end within
// `maxBytes`; no answer is due then. A body of up to MaxDroppedBody bytes announced by
// Content-Length is read and dropped; a larger one is left unread. Marks the connection spoken
// once the request has been read, so that the header deadline covers the dropped body too.
std::optional<THttpRequest> ReadRequestHeader(net::TcpConnection& connection, std::size_t maxBytes);

// The document of a request target: the path without query and fragment, percent-decoded and
// read as UTF-8. An absolute-form target ("http://host/path") gives its path. A "%" that does
// not start two hexadecimal digits stays as it is.
QString DocumentOf(std::string_view target);

}  // namespace zephra::install
