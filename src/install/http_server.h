#pragma once

#include <QString>
#include <chrono>
#include <cstddef>
#include <cstdint>

#include "install/embedded_package.h"
#include "install/install_constants.h"
#include "install/mime_table.h"
#include "net/threaded_tcp_server.h"

namespace zephra::install {

struct THttpRequest;
struct THttpResponse;

// The download server's settings; the program keeps the defaults.
struct THttpConfig {
  std::uint16_t port = HttpPort;  // 0: an ephemeral port (tests)
  std::chrono::milliseconds stopWait = HttpStopWait;
  // At most MaxConnections at once (from one host or from several); a connection whose request
  // header has not arrived within HeaderDeadline is closed.
  net::ServerLimits limits{MaxConnections, MaxConnections, HeaderDeadline, HttpListenBacklog};
  std::size_t maxHeaderBytes = MaxHeaderBytes;
};

// HTTPServer: the phone app's download server. Every GET or POST inside the program folder is
// answered with the package, whatever the document; HEAD gives the package's length and the
// content type of the local name; other methods get no answer. One request per connection, one
// thread per connection. Switched on and off on the GUI thread; requests run on the connection
// threads and read only state fixed at construction.
class THttpServer {
 public:
  // `programFolder` ends with its separator; `mimeTable` must outlive the server.
  THttpServer(THttpConfig config, QString programFolder, const TMimeTable& mimeTable,
              TPackageSource package = OpenEmbeddedPackage);
  // Stops the server; every connection thread has ended when it returns.
  ~THttpServer();
  THttpServer(const THttpServer&) = delete;
  THttpServer& operator=(const THttpServer&) = delete;

  // On: binds the port on the wildcard address and accepts; false with ErrorText() when the
  // port cannot be bound. Off: closes the listener and every connection (downloads in progress
  // end short) and waits up to the stop wait for their threads; false with "Terminate Thread
  // Timeout" when some did not end. An unchanged state gives true.
  bool SetActive(bool active);
  bool Active() const { return server_.Active(); }
  const QString& ErrorText() const { return errorText_; }
  // The bound port while active (the ephemeral one when configured with 0).
  std::uint16_t Port() const { return server_.Port(); }
  std::size_t ConnectionCount() const { return server_.ConnectionCount(); }

 private:
  // One connection: one request read and answered, then the connection closes.
  void Execute(net::TcpConnection& connection) const;
  void Answer(const THttpRequest& request, net::TcpConnection& connection) const;
  // Fills `response`, or writes the header and the package itself for GET and POST.
  void HTTPServerCommandGet(const THttpRequest& request, THttpResponse& response,
                            net::TcpConnection& connection) const;
  static void SendResponse(const THttpResponse& response, bool head,
                           net::TcpConnection& connection);

  const THttpConfig config_;
  const QString programFolder_;
  const TMimeTable& mimeTable_;
  const TPackageSource package_;
  net::ThreadedTcpServer server_;
  QString errorText_;
};

}  // namespace zephra::install
