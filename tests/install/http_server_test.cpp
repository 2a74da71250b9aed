#include "install/http_server.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>
#include <atomic>
#include <chrono>
#include <memory>
#include <vector>

#include "http_client.h"
#include "install/install_constants.h"

namespace zephra::install {
namespace {

using namespace std::chrono_literals;

QByteArray PackageFile() {
  QFile file(QStringLiteral(ZEPHRA_PACKAGE_FILE));
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const TMimeTable& SharedMimeTable() {
  static const TMimeTable table;
  return table;
}

// A package far larger than the socket buffers, so that a download of it stays in progress
// while the client does not read.
TPackageView LargePackage() {
  static const std::vector<std::byte> bytes(64 << 20, std::byte{0x5A});
  return TPackageView(bytes.data(), bytes.size());
}

template <class Predicate>
bool WaitFor(Predicate predicate) {
  for (int i = 0; i < 500 && !predicate(); ++i) QThread::msleep(10);
  return predicate();
}

// The server on an ephemeral port with the program folder <temporary>/app/, so that the
// folder's parent is the temporary folder.
class HttpServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(root_.isValid());
    ASSERT_TRUE(QDir(root_.path()).mkpath(QStringLiteral("app/sub")));
    folder_ = QDir::toNativeSeparators(root_.path() + QStringLiteral("/app/"));
  }

  void Start(THttpConfig config = {}, TPackageSource package = OpenEmbeddedPackage) {
    config.port = 0;
    server_ = std::make_unique<THttpServer>(config, folder_, SharedMimeTable(), package);
    ASSERT_TRUE(server_->SetActive(true)) << server_->ErrorText().toStdString();
    port_ = server_->Port();
  }

  void WriteFile(const QString& relative) {
    QFile file(root_.path() + QLatin1Char('/') + relative);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("<html></html>");
  }

  QTemporaryDir root_;
  QString folder_;
  std::unique_ptr<THttpServer> server_;
  std::uint16_t port_ = 0;
};

TEST_F(HttpServerTest, GetAndPostOfAnyDocumentInsideTheFolderSendTheEmbeddedPackage) {
  const QByteArray package = PackageFile();
  ASSERT_FALSE(package.isEmpty());
  Start();
  for (const char* path : {"/Zephra.apk", "/", "/x", "/a/b.apk", "/sub", "/Zephra.apk?x=1"}) {
    SCOPED_TRACE(path);
    const TCurlAnswer answer = Curl(port_, QString::fromLatin1(path));
    ASSERT_EQ(answer.exitCode, 0);
    EXPECT_EQ(answer.StatusLine(), "HTTP/1.1 200 OK");
    EXPECT_EQ(answer.Field("Content-Type"), "text/html");
    EXPECT_EQ(answer.Field("Content-Length"), QByteArray::number(package.size()));
    EXPECT_EQ(answer.Field("Connection"), "close");
    EXPECT_TRUE(answer.body == package);
  }
  const TCurlAnswer posted = Curl(port_, QStringLiteral("/Zephra.apk"), {"-d", "name=value"});
  EXPECT_EQ(posted.StatusLine(), "HTTP/1.1 200 OK");
  EXPECT_TRUE(posted.body == package);
  // A body that comes after the header is read before the answer, so closing does not reset
  // the connection under the client.
  TRawClient client(port_);
  client.Send("POST /Zephra.apk HTTP/1.1\r\nContent-Length: 4\r\n\r\n");
  QThread::msleep(50);
  client.Send("body");
  EXPECT_TRUE(client.ReadToClose().endsWith(package));
}

TEST_F(HttpServerTest, HeadGivesLengthAndTheTypeOfTheLocalNameWithoutBody) {
  Start();
  const QByteArray length = QByteArray::number(PackageFile().size());
  struct Case {
    const char* path;
    QString type;
  };
  const std::vector<Case> cases{
      {"/Zephra.apk", SharedMimeTable().Lookup(QStringLiteral("Zephra.apk"))},
      {"/a.zip", QStringLiteral("application/x-zip-compressed")},
      {"/noextension", QStringLiteral("application/octet-stream")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const TCurlAnswer answer = Curl(port_, QString::fromLatin1(c.path), {"-I"});
    EXPECT_EQ(answer.StatusLine(), "HTTP/1.1 200 OK");
    EXPECT_EQ(answer.Field("Content-Type"), c.type.toLatin1());
    EXPECT_EQ(answer.Field("Content-Length"), length);
  }
  // Nothing follows the header, and the connection closes.
  TRawClient client(port_);
  client.Send("HEAD /Zephra.apk HTTP/1.1\r\nHost: x\r\n\r\n");
  const QByteArray received = client.ReadToClose();
  EXPECT_TRUE(received.endsWith("\r\n\r\n"));
  EXPECT_EQ(received.indexOf("\r\n\r\n"), received.size() - 4);
}

TEST_F(HttpServerTest, OtherMethodsAndRequestLinesWithoutSpaceGetNoAnswer) {
  Start();
  EXPECT_EQ(Curl(port_, QStringLiteral("/Zephra.apk"), {"-X", "PUT"}).exitCode, 52);
  EXPECT_EQ(Curl(port_, QStringLiteral("/Zephra.apk"), {"-X", "OPTIONS"}).exitCode, 52);
  for (const char* request :
       {"DELETE /x HTTP/1.1\r\n\r\n", "GET\r\n\r\n", "GET/HTTP/1.1\r\n\r\n"}) {
    SCOPED_TRACE(request);
    TRawClient client(port_);
    client.Send(request);
    EXPECT_TRUE(client.ClosedSilently());
  }
  // The method is matched without regard to case.
  TRawClient lower(port_);
  lower.Send("get /Zephra.apk HTTP/1.1\r\n\r\n");
  EXPECT_TRUE(lower.ReadToClose().startsWith("HTTP/1.1 200 OK\r\n"));
}

TEST_F(HttpServerTest, IndexFileRuleDecidesTheTypeInsideAndTheAccessOutside) {
  Start();
  // A folder without index file keeps its own name; with one, the name becomes the index file.
  EXPECT_EQ(Curl(port_, QStringLiteral("/sub"), {"-I"}).Field("Content-Type"),
            "application/octet-stream");
  WriteFile(QStringLiteral("app/sub/index.htm"));
  EXPECT_EQ(Curl(port_, QStringLiteral("/sub"), {"-I"}).Field("Content-Type"), "text/html");

  // The parent folder: the package until an index file there resolves outside.
  EXPECT_EQ(Curl(port_, QStringLiteral("/..")).body, PackageFile());
  WriteFile(QStringLiteral("index.htm"));
  const TCurlAnswer denied = Curl(port_, QStringLiteral("/.."));
  EXPECT_EQ(denied.StatusLine(), "HTTP/1.1 403 Forbidden");
  EXPECT_EQ(denied.Field("Content-Type"), "text/html");
  EXPECT_EQ(denied.Field("Content-Length"), "144");
  EXPECT_EQ(denied.body, QByteArray(AccessDeniedPage));
  EXPECT_EQ(Curl(port_, QStringLiteral("/sub/%2e%2e/..")).StatusLine(), "HTTP/1.1 403 Forbidden");
}

TEST_F(HttpServerTest, SecondRequestOnTheSameConnectionIsNotAnswered) {
  Start();
  const QByteArray request = "GET /Zephra.apk HTTP/1.1\r\nHost: x\r\n\r\n";
  TRawClient client(port_);
  client.Send(request + request);
  const QByteArray received = client.ReadToClose();
  const qsizetype headerEnd = received.indexOf("\r\n\r\n") + 4;
  EXPECT_EQ(received.size() - headerEnd, PackageFile().size());
  EXPECT_EQ(received.count("HTTP/1.1 200 OK"), 1);
}

TEST_F(HttpServerTest, StoppingCutsADownloadInProgressAndClosesThePort) {
  Start({}, [] { return std::optional(LargePackage()); });
  TRawClient client(port_);
  client.Send("GET /Zephra.apk HTTP/1.1\r\n\r\n");
  const QByteArray start = client.Read(1 << 20);
  ASSERT_TRUE(start.startsWith("HTTP/1.1 200 OK\r\n"));
  // The client reads no more: the server is blocked writing when it is stopped.
  EXPECT_TRUE(server_->SetActive(false));
  const qsizetype total = start.size() + client.ReadToClose().size();
  EXPECT_LT(total, static_cast<qsizetype>(LargePackage().size()));
  EXPECT_FALSE(TRawClient(port_).Connected());
}

TEST_F(HttpServerTest, SilentClientIsCutAtTheHeaderDeadlineWhileASlowHeaderIsAnswered) {
  THttpConfig config;
  config.limits.firstMessageDeadline = 400ms;
  Start(config);
  TRawClient silent(port_);
  TRawClient slow(port_);
  for (const char* piece : {"GET /Zephra.apk HT", "TP/1.1\r\nHost:", " x\r\n", "\r\n"}) {
    slow.Send(piece);
    QThread::msleep(20);
  }
  EXPECT_TRUE(slow.ReadToClose().startsWith("HTTP/1.1 200 OK\r\n"));
  EXPECT_TRUE(silent.ClosedSilently());
}

TEST_F(HttpServerTest, ConnectionsBeyondTheBoundAreClosedAtOnce) {
  Start();
  std::vector<std::unique_ptr<TRawClient>> idle;
  for (std::size_t i = 0; i < MaxConnections; ++i) {
    idle.push_back(std::make_unique<TRawClient>(port_));
  }
  ASSERT_TRUE(WaitFor([&] { return server_->ConnectionCount() == MaxConnections; }));
  TRawClient refused(port_);
  EXPECT_TRUE(refused.ClosedSilently());
  // Those within the bound are still served.
  idle.front()->Send("GET / HTTP/1.1\r\n\r\n");
  EXPECT_TRUE(idle.front()->ReadToClose().startsWith("HTTP/1.1 200 OK\r\n"));
}

TEST_F(HttpServerTest, HeaderBeyondEightKibibytesIsNotReadFurther) {
  Start();
  // Request line and field lines around the filler take 30 bytes with the closing empty line.
  const auto request = [](qsizetype total) {
    const QByteArray head = "GET / HTTP/1.1\r\nX-Fill: ";
    const QByteArray tail = "\r\n\r\n";
    return head + QByteArray(total - head.size() - tail.size(), 'a') + tail;
  };
  TRawClient fits(port_);
  fits.Send(request(MaxHeaderBytes));
  EXPECT_TRUE(fits.ReadToClose().startsWith("HTTP/1.1 200 OK\r\n"));
  TRawClient tooLong(port_);
  tooLong.Send(request(MaxHeaderBytes + 1));
  EXPECT_TRUE(tooLong.ClosedSilently());
}

TEST_F(HttpServerTest, PackageThatCannotBeOpenedIsAServerErrorNotAnEmptyDownload) {
  Start({}, [] { return std::optional<TPackageView>(); });
  const TCurlAnswer answer = Curl(port_, QStringLiteral("/Zephra.apk"));
  EXPECT_EQ(answer.StatusLine(), "HTTP/1.1 500 Internal Server Error");
  EXPECT_EQ(answer.body, QByteArray(PackageMissingText));
}

TEST_F(HttpServerTest, StartAndStopFailuresAreReported) {
  QTcpServer squatter;
  ASSERT_TRUE(squatter.listen(QHostAddress::AnyIPv4, 0));
  THttpConfig busy;
  busy.port = squatter.serverPort();
  THttpServer blocked(busy, folder_, SharedMimeTable());
  EXPECT_FALSE(blocked.SetActive(true));
  EXPECT_FALSE(blocked.Active());
  EXPECT_FALSE(blocked.ErrorText().isEmpty());

  // A request whose thread is still busy when the stop wait ends.
  std::atomic<bool> entered{false};
  THttpConfig config;
  config.stopWait = 50ms;
  Start(config, [&entered] {
    entered = true;
    QThread::msleep(500);
    return std::optional(LargePackage());
  });
  TRawClient client(port_);
  client.Send("GET / HTTP/1.1\r\n\r\n");
  ASSERT_TRUE(WaitFor([&] { return entered.load(); }));
  EXPECT_FALSE(server_->SetActive(false));
  EXPECT_EQ(server_->ErrorText(), QStringLiteral("Terminate Thread Timeout"));
  server_.reset();  // joins the thread before `entered` goes
}

}  // namespace
}  // namespace zephra::install
