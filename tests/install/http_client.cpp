#include "http_client.h"

#include <QHostAddress>
#include <QProcess>

// curl runs as a child process, started while server threads exist; ThreadSanitizer refuses
// such a fork unless told otherwise.
#if defined(__SANITIZE_THREAD__)
extern "C" const char* __tsan_default_options() { return "die_after_fork=0"; }
#endif

namespace {

constexpr int WaitMs = 5000;
constexpr int CurlWaitMs = 20000;
const QByteArray HeaderEnd = "\r\n\r\n";

}  // namespace

QByteArray TCurlAnswer::Field(const QByteArray& name) const {
  for (const QByteArray& line : header.split('\n')) {
    const qsizetype colon = line.indexOf(':');
    if (colon > 0 && line.left(colon).trimmed().toLower() == name.toLower()) {
      return line.mid(colon + 1).trimmed();
    }
  }
  return {};
}

QByteArray TCurlAnswer::StatusLine() const { return header.left(header.indexOf("\r\n")); }

TCurlAnswer Curl(std::uint16_t port, const QString& path, const QStringList& extraArgs) {
  QProcess curl;
  QStringList args{QStringLiteral("-s"), QStringLiteral("-i"), QStringLiteral("--max-time"),
                   QStringLiteral("15"), QStringLiteral("--path-as-is")};
  args << extraArgs << QStringLiteral("http://127.0.0.1:%1%2").arg(port).arg(path);
  curl.start(QStringLiteral("curl"), args);
  TCurlAnswer answer;
  if (!curl.waitForFinished(CurlWaitMs)) return answer;
  answer.exitCode = curl.exitCode();
  const QByteArray output = curl.readAllStandardOutput();
  const qsizetype end = output.indexOf(HeaderEnd);
  answer.header = end < 0 ? output : output.left(end + HeaderEnd.size());
  answer.body = end < 0 ? QByteArray() : output.mid(end + HeaderEnd.size());
  return answer;
}

TRawClient::TRawClient(std::uint16_t port) {
  socket_.connectToHost(QHostAddress::LocalHost, port);
  socket_.waitForConnected(WaitMs);
}

void TRawClient::Send(const QByteArray& bytes) {
  socket_.write(bytes);
  while (socket_.bytesToWrite() > 0 && socket_.waitForBytesWritten(WaitMs)) {
  }
}

QByteArray TRawClient::ReadToClose(qint64 limit) {
  QByteArray bytes;
  while (limit < 0 || bytes.size() < limit) {
    bytes += socket_.readAll();
    if (socket_.state() != QAbstractSocket::ConnectedState) break;
    if (!socket_.waitForReadyRead(WaitMs)) {
      bytes += socket_.readAll();
      break;
    }
  }
  return bytes;
}

QByteArray TRawClient::Read(qint64 count) {
  QByteArray bytes;
  while (bytes.size() < count) {
    if (socket_.bytesAvailable() == 0 && !socket_.waitForReadyRead(WaitMs)) break;
    bytes += socket_.read(count - bytes.size());
  }
  return bytes;
}

bool TRawClient::ClosedSilently() {
  const QByteArray rest = ReadToClose();
  return rest.isEmpty() && socket_.state() != QAbstractSocket::ConnectedState;
}
