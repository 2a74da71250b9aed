#include "install/http_server.h"

#include <exception>
#include <utility>

#include "install/http_request.h"
#include "install/http_response.h"
#include "install/local_name.h"
#include "net/tcp_connection.h"

namespace zephra::install {

namespace {

constexpr unsigned StatusForbidden = 403;
constexpr unsigned StatusServerError = 500;

std::string UpperCase(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

bool Served(const std::string& method) {
  const std::string upper = UpperCase(method);
  return upper == "GET" || upper == "POST" || upper == "HEAD";
}

bool IsHead(const std::string& method) { return UpperCase(method) == "HEAD"; }

}  // namespace

THttpServer::THttpServer(THttpConfig config, QString programFolder, const TMimeTable& mimeTable,
                         TPackageSource package)
    : config_(config),
      programFolder_(std::move(programFolder)),
      mimeTable_(mimeTable),
      package_(std::move(package)),
      server_(config.port, config.stopWait, config.limits) {
  server_.SetExecuteHandler([this](net::TcpConnection& connection) { Execute(connection); });
}

THttpServer::~THttpServer() { server_.SetActive(false); }

bool THttpServer::SetActive(bool active) {
  if (server_.SetActive(active)) {
    errorText_.clear();
    return true;
  }
  errorText_ =
      active ? QString::fromStdString(server_.ErrorText()) : QString::fromLatin1(StopTimeoutText);
  return false;
}

void THttpServer::Execute(net::TcpConnection& connection) const {
  const auto request = ReadRequestHeader(connection, config_.maxHeaderBytes);
  if (request && Served(request->method)) Answer(*request, connection);
  connection.Close();  // one request per connection
}

void THttpServer::Answer(const THttpRequest& request, net::TcpConnection& connection) const {
  THttpResponse response;
  try {
    HTTPServerCommandGet(request, response, connection);
  } catch (const std::exception& failure) {
    if (response.headerSent) return;
    response = THttpResponse{};
    response.status = StatusServerError;
    response.body = failure.what();
  }
  if (!response.headerSent) SendResponse(response, IsHead(request.method), connection);
}

void THttpServer::HTTPServerCommandGet(const THttpRequest& request, THttpResponse& response,
                                       net::TcpConnection& connection) const {
  const QString localName = ApplyIndexFile(LocalName(programFolder_, request.document));
  if (!InsideProgramFolder(localName, programFolder_)) {
    response.status = StatusForbidden;
    response.body = AccessDeniedPage;
    return;
  }

  // A package that cannot be opened is a server failure, not an empty download.
  const auto package = package_ ? package_() : std::nullopt;
  if (!package) {
    response.status = StatusServerError;
    response.body = PackageMissingText;
    return;
  }
  response.contentLength = package->size();
  if (IsHead(request.method)) {
    response.contentType = mimeTable_.Lookup(localName).toStdString();
    return;
  }

  // GET and POST: the header, then the package straight from where it lies. A write that fails
  // (the client left, or the server is stopping) ends the answer.
  response.headerSent = true;
  const std::string header = ResponseHeader(response);
  if (!connection.Write(header.data(), header.size())) return;
  connection.Write(package->data(), package->size());
}

void THttpServer::SendResponse(const THttpResponse& response, bool head,
                               net::TcpConnection& connection) {
  std::string message = ResponseHeader(response);
  if (!head) message += response.body;
  connection.Write(message.data(), message.size());
}

}  // namespace zephra::install
