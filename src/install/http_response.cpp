#include "install/http_response.h"

#include <QDateTime>
#include <QLocale>
#include <boost/beast/http/empty_body.hpp>
#include <boost/beast/http/message.hpp>
#include <boost/beast/http/write.hpp>
#include <sstream>

namespace zephra::install {

namespace http = boost::beast::http;

namespace {

// The current time in the form HTTP dates take, e.g. "Sun, 06 Nov 1994 08:49:37 GMT".
std::string HttpDate() {
  return QLocale::c()
      .toString(QDateTime::currentDateTimeUtc(), QStringLiteral("ddd, dd MMM yyyy hh:mm:ss 'GMT'"))
      .toStdString();
}

}  // namespace

std::string ResponseHeader(const THttpResponse& response) {
  http::response<http::empty_body> message;
  message.version(11);
  message.result(response.status);
  message.set(http::field::content_type, response.contentType);
  message.content_length(response.contentLength.value_or(response.body.size()));
  message.keep_alive(false);
  message.set(http::field::date, HttpDate());
  std::ostringstream text;
  text << message.base();
  return text.str();
}

}  // namespace zephra::install
