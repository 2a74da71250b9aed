#include "install/http_request.h"

#include <QByteArray>
#include <algorithm>
#include <boost/asio/buffer.hpp>
#include <boost/beast/http/empty_body.hpp>
#include <boost/beast/http/error.hpp>
#include <boost/beast/http/parser.hpp>
#include <cstdint>
#include <limits>

#include "install/install_constants.h"
#include "net/tcp_connection.h"

namespace zephra::install {

namespace http = boost::beast::http;

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The path part of an origin-form or absolute-form target.
std::string_view PathOf(std::string_view target) {
  target = target.substr(0, target.find_first_of("?#"));
  const std::size_t scheme = target.find("://");
  if (target.empty() || target.front() == '/' || scheme == std::string_view::npos) return target;
  const std::size_t path = target.find('/', scheme + 3);
  return path == std::string_view::npos ? std::string_view("/") : target.substr(path);
}

QByteArray PercentDecoded(std::string_view text) {
  QByteArray bytes;
  bytes.reserve(static_cast<qsizetype>(text.size()));
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      const int high = HexValue(text[i + 1]);
      const int low = HexValue(text[i + 2]);
      if (high >= 0 && low >= 0) {
        bytes.append(static_cast<char>(high * 16 + low));
        i += 2;
        continue;
      }
    }
    bytes.append(text[i]);
  }
  return bytes;
}

// Reads and drops the rest of a body of `length` bytes of which `buffered` have arrived with the
// header, when it is small enough: a connection closed with unread bytes is reset, and the reset
// can destroy the answer before the client has read it. False when the connection ended first.
bool DropBody(net::TcpConnection& connection, boost::optional<std::uint64_t> length,
              std::size_t buffered) {
  if (!length || *length <= buffered || *length > MaxDroppedBody) return true;
  std::uint64_t left = *length - buffered;
  char scrap[4096];
  while (left > 0) {
    const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(left, sizeof scrap));
    if (!connection.ReadExact(scrap, count)) return false;
    left -= count;
  }
  return true;
}

}  // namespace

QString DocumentOf(std::string_view target) {
  return QString::fromUtf8(PercentDecoded(PathOf(target)));
}

std::optional<THttpRequest> ReadRequestHeader(net::TcpConnection& connection,
                                              std::size_t maxBytes) {
  http::request_parser<http::empty_body> parser;
  parser.header_limit(static_cast<std::uint32_t>(maxBytes));
  // The body is never parsed, so it has no limit. (Boost 1.74 compares the limit as an
  // optional in which "none" counts as the smallest value, so the largest number stands for it.)
  parser.body_limit(std::numeric_limits<std::uint64_t>::max());
  parser.eager(false);

  // Bytes arrive into one buffer of the header's greatest size; the parser is handed what it
  // has not consumed yet, so a header that does not end within the buffer is refused.
  std::string buffer(maxBytes, '\0');
  std::size_t received = 0;
  std::size_t consumed = 0;
  while (!parser.is_header_done()) {
    if (received == buffer.size()) return std::nullopt;
    const std::size_t count =
        connection.ReadSome(buffer.data() + received, buffer.size() - received);
    if (count == 0) return std::nullopt;
    received += count;
    boost::beast::error_code error;
    consumed +=
        parser.put(boost::asio::buffer(buffer.data() + consumed, received - consumed), error);
    if (error && error != http::error::need_more) return std::nullopt;
  }
  if (!DropBody(connection, parser.content_length(), received - consumed)) return std::nullopt;
  connection.MarkSpoken();

  const auto& header = parser.get();
  const auto method = header.method_string();
  const auto target = header.target();
  return THttpRequest{std::string(method.data(), method.size()),
                      DocumentOf(std::string_view(target.data(), target.size()))};
}

}  // namespace zephra::install
