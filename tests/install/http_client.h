#pragma once

#include <QByteArray>
#include <QStringList>
#include <QTcpSocket>
#include <cstdint>

// Test clients of the download server: curl as an independent HTTP client, and a plain socket
// for what curl cannot send or observe.

// What curl received: its exit code (0 on success, 52 for an empty reply), the header block as
// sent (status line and fields) and the body.
struct TCurlAnswer {
  int exitCode = -1;
  QByteArray header;
  QByteArray body;
  // The value of header field `name` (case ignored), empty when absent.
  QByteArray Field(const QByteArray& name) const;
  QByteArray StatusLine() const;
};

// Runs curl against 127.0.0.1:`port` + `path` with `extraArgs` (for example "-I" or "-d x").
TCurlAnswer Curl(std::uint16_t port, const QString& path, const QStringList& extraArgs = {});

// A plain TCP client on 127.0.0.1 with blocking calls that give up after a few seconds.
class TRawClient {
 public:
  explicit TRawClient(std::uint16_t port);
  bool Connected() const { return socket_.state() == QAbstractSocket::ConnectedState; }
  void Send(const QByteArray& bytes);
  // Reads until the server closes the connection or `limit` bytes have arrived.
  QByteArray ReadToClose(qint64 limit = -1);
  // Reads at least `count` bytes (fewer only if the connection ends first).
  QByteArray Read(qint64 count);
  // True when the server closed the connection without sending anything more.
  bool ClosedSilently();

 private:
  QTcpSocket socket_;
};
