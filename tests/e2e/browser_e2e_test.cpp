// The browser phone end to end: the tray's browser item shows the page's address as a QR code,
// headless Chromium opens it as a phone's browser would, picks pictures and steers the viewer;
// the session rules between the page and an app phone; and the server's refusals, sent by hand.

#include <QDirIterator>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTcpSocket>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core/buffers_to_string.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http/field.hpp>
#include <boost/beast/websocket/stream.hpp>
#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "app/app_constants.h"
#include "browser/browser_constants.h"
#include "browser_phone.h"
#include "install/install_address.h"
#include "link/link_constants.h"
#include "platform/default_route.h"
#include "shell/local_ip.h"
#include "test_files.h"
#include "tray_fixture.h"

namespace zephra::e2e {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace websocket = beast::websocket;

constexpr quint16 PagePort = browser::BrowserPort;
// Longest the page takes to reach a state: its token check, its socket and a retry after
// "busy" (every 3 s).
constexpr int StateMs = 15000;
// Two steps of the slide show, which moves on 3 s after each picture appeared, with room for a
// loaded machine.
constexpr int SlideStepsMs = 2 * 3000 + 8000;
constexpr int SessionGraceMs = static_cast<int>(browser::SessionGrace.count());
// A hello tried this often while a session is about to end.
constexpr int HelloRetryMs = 250;
constexpr int HttpMs = 5000;

// The address the browser item offers, chosen as the program does with no NetworkManager
// hotspot and the partner running: the first local address ending in .1, else the default
// route's.
QString PageAddress() {
  QStringList addresses;
  shell::LocalIpList(addresses);
  if (const std::optional<QString> address = install::HotspotAddress(addresses)) return *address;
  return platform::DefaultRouteAddress();
}

// Every file below `folder`, hidden ones and those in subfolders included.
QStringList FilesBelow(const QString& folder) {
  QStringList files;
  QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
  while (it.hasNext()) files << it.next();
  return files;
}

// Sends `request` to the page's port and returns the answer's status (0 when none came).
// With `cut` the connection is closed right after the request went out, answer or not.
int HttpStatus(const QString& address, const QByteArray& request, bool cut = false) {
  QTcpSocket socket;
  socket.connectToHost(address, PagePort);
  if (!socket.waitForConnected(ConnectMs)) return 0;
  socket.write(request);
  if (!socket.waitForBytesWritten(HttpMs)) return 0;
  if (cut) {
    socket.abort();
    return 0;
  }
  QByteArray answer;
  QDeadlineTimer deadline(HttpMs);
  while (!answer.contains("\r\n") && socket.state() == QAbstractSocket::ConnectedState &&
         !deadline.hasExpired()) {
    socket.waitForReadyRead(PollMs);
    answer += socket.readAll();
  }
  answer += socket.readAll();
  // "HTTP/1.1 204 No Content"
  const QList<QByteArray> words = answer.left(answer.indexOf("\r\n")).split(' ');
  return words.size() >= 2 ? words[1].toInt() : 0;
}

QByteArray Request(const char* method, const QByteArray& target, const QByteArray& host,
                   const QByteArray& token, const QByteArray& body = {},
                   std::optional<qsizetype> length = std::nullopt) {
  QByteArray request = method + QByteArray(" ") + target + " HTTP/1.1\r\nHost: " + host + "\r\n";
  if (!token.isEmpty()) request += QByteArray(browser::TokenHeader) + ": " + token + "\r\n";
  if (length || !body.isEmpty()) {
    request += "Content-Length: " + QByteArray::number(length.value_or(body.size())) + "\r\n";
  }
  return request + "\r\n" + body;
}

// The page's WebSocket, opened by the test itself: it holds the session and sends a list of
// its own, so that the PC asks it for an upload that the test then makes by hand.
class PageSocket {
 public:
  // "" once the upgrade went through; otherwise what failed.
  std::string Open(const std::string& address, const std::string& token) {
    const std::string host = address + ":" + std::to_string(PagePort);
    ws_.set_option(websocket::stream_base::decorator([=](websocket::request_type& request) {
      request.set(beast::http::field::origin, "http://" + host);
      request.set(beast::http::field::sec_websocket_protocol,
                  std::string(browser::PageSubprotocol) + ", token-" + token + ", client-e2e");
    }));
    const asio::ip::tcp::endpoint endpoint(asio::ip::make_address(address), PagePort);
    beast::error_code error =
        Run([&](auto done) { beast::get_lowest_layer(ws_).async_connect(endpoint, done); }, HttpMs);
    if (!error) {
      error = Run([&](auto done) { ws_.async_handshake(host, "/ws", done); }, HttpMs);
    }
    return error ? error.message() : std::string();
  }

  bool Send(const QByteArray& text) {
    ws_.text(true);
    return !Run([&](auto done) { ws_.async_write(asio::buffer(text.data(), text.size()), done); },
                HttpMs);
  }

  // The upload target of the next "need" for `name`, skipping other messages; empty when none
  // came within `ms`.
  QByteArray NeedFor(const char* name, int ms) {
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
      const QJsonObject need = Next("need", static_cast<int>(deadline.remainingTime()));
      if (need.isEmpty()) break;
      if (need.value(QStringLiteral("name")).toString() == QLatin1String(name)) {
        return "/api/upload/" + QByteArray::number(need.value(QStringLiteral("id")).toInt());
      }
    }
    return {};
  }

  // The next message of type `type`, skipping others; an empty object when none came in `ms`.
  QJsonObject Next(const char* type, int ms) {
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
      beast::flat_buffer buffer;
      if (Run([&](auto done) { ws_.async_read(buffer, done); },
              static_cast<int>(deadline.remainingTime()))) {
        break;
      }
      const QJsonObject message =
          QJsonDocument::fromJson(
              QByteArray::fromStdString(beast::buffers_to_string(buffer.data())))
              .object();
      if (message.value(QStringLiteral("type")).toString() == QLatin1String(type)) return message;
    }
    return {};
  }

 private:
  // Runs one asynchronous operation for at most `ms`; one that did not end by then is
  // cancelled and counts as timed out.
  template <typename Operation>
  beast::error_code Run(Operation operation, int ms) {
    std::optional<beast::error_code> result;
    operation([&](beast::error_code error, auto&&...) { result = error; });
    io_.restart();
    io_.run_for(std::chrono::milliseconds(ms));
    if (result) return *result;
    beast::get_lowest_layer(ws_).socket().cancel();
    io_.restart();
    io_.run();
    return asio::error::timed_out;
  }

  asio::io_context io_;
  websocket::stream<beast::tcp_stream> ws_{io_};
};

class BrowserE2eTest : public TrayE2eTest {
 protected:
  void SetUp() override {
    if (const std::string missing = BrowserPhone::Missing(); !missing.empty()) {
      GTEST_SKIP() << missing;
    }
    address_ = PageAddress();
    if (address_.isEmpty()) {
      GTEST_SKIP() << "no local address ends in .1 and no default route, so the browser item "
                      "only shows a toast (a veth pair holding 192.168.137.1 in a private "
                      "network namespace gives one)";
    }
    TrayE2eTest::SetUp();
  }

  // The browser item picked from the tray menu: its QR code names the page with a token, and
  // the window is closed again (the server stays on).
  void ReadPageAddress() {
    std::optional<XClient::Window> window;
    ASSERT_NO_FATAL_FAILURE(OpenQrWindow(BrowserKeys, app::MenuBrowserPhone, window));
    url_ = QString::fromLatin1(ReadQrCode(*window));
    const QRegularExpression form(QStringLiteral("^http://%1:%2/#([0-9a-f]{32})$")
                                      .arg(QRegularExpression::escape(address_))
                                      .arg(PagePort));
    const QRegularExpressionMatch match = form.match(url_);
    ASSERT_TRUE(match.hasMatch()) << "the QR code reads \"" << url_.toStdString() << "\"";
    token_ = match.captured(1).toLatin1();
    ASSERT_NO_FATAL_FAILURE(CloseQrWindow(*window, app::MenuBrowserPhone));
  }

  void StartBrowser(BrowserPhone& browser, const QString& url) {
    ASSERT_TRUE(browser.Start(url)) << browser.Error();
  }

  QByteArray Host() const {
    return (address_ + QLatin1Char(':')).toLatin1() + QByteArray::number(PagePort);
  }

  // An app phone's hello with a picture list; its reply's status.
  std::optional<std::uint32_t> TryHello() {
    phone::PhoneOptions options;
    options.host = "127.0.0.1";
    options.name = PhoneName;
    phone_ = std::make_unique<phone::PhoneSimulator>(
        options, QList<phone::PhonePicture>{appPicture_}, [](const std::string&) {});
    phone_->Start();
    return phone_->HelloStatus();
  }

  QString address_;
  QString url_;
  QByteArray token_;
  phone::PhonePicture appPicture_;
};

TEST_F(BrowserE2eTest, PagePicksPicturesAndSteersTheViewerOnThePc) {
  ASSERT_NO_FATAL_FAILURE(ReadPageAddress());
  QStringList files;
  for (int i = 0; i < 3; ++i) {
    files << viewer::testing::WriteFile(dir_, QStringLiteral("p%1.jpg").arg(i),
                                        SolidJpeg(Palette[i]));
  }
  BrowserPhone browser;
  ASSERT_NO_FATAL_FAILURE(StartBrowser(browser, url_));
  ASSERT_EQ(browser.Wait("status", "data-state", "connected", StateMs), "ok");
  ASSERT_EQ(browser.Pick(files), "ok");

  // A tap on the second thumbnail brings its picture up on the PC; the page follows.
  ASSERT_EQ(browser.Command("tap 1"), "ok");
  EXPECT_TRUE(WaitForColour(Centre, Palette[1])) << "the tapped picture did not come up";
  EXPECT_EQ(browser.Wait("index", "data-index", "1", ShowMs), "ok");
  EXPECT_EQ(browser.Command("attr index data-count"), "3");

  ASSERT_EQ(browser.Command("click next"), "ok");
  EXPECT_TRUE(WaitForColour(Centre, Palette[2]));
  EXPECT_EQ(browser.Wait("index", "data-index", "2", ShowMs), "ok");

  // The slide show moves on by itself (round to the first and on to the second), and its stop
  // brings back the picture it started from.
  ASSERT_EQ(browser.Command("click play"), "ok");
  EXPECT_EQ(browser.Wait("index", "data-index", "1", SlideStepsMs), "ok");
  EXPECT_TRUE(WaitForColour(Centre, Palette[1]));
  ASSERT_EQ(browser.Command("click stop"), "ok");
  EXPECT_EQ(browser.Wait("index", "data-index", "2", ShowMs), "ok");
  EXPECT_TRUE(WaitForColour(Centre, Palette[2])) << "the start picture did not come back";

  ASSERT_EQ(browser.Command("click close"), "ok");
  EXPECT_EQ(browser.Wait("status", "data-state", "closed", StateMs), "ok");
  EXPECT_TRUE(Eventually([this] { return !ViewerMapped(); })) << "the viewer stayed up";
  EXPECT_TRUE(browser.Quit());
}

TEST_F(BrowserE2eTest, OnePhoneAtATimeWhetherAppOrBrowser) {
  ASSERT_NO_FATAL_FAILURE(ReadPageAddress());
  appPicture_ = AddPicture(QStringLiteral("app.jpg"), SolidJpeg(Palette[3]));
  BrowserPhone first;
  ASSERT_NO_FATAL_FAILURE(StartBrowser(first, url_));
  ASSERT_EQ(first.Wait("status", "data-state", "connected", StateMs), "ok");
  EXPECT_EQ(TryHello(), std::optional<std::uint32_t>(link::stBusy));

  // A reload resumes the page's session instead of losing it.
  ASSERT_EQ(first.Command("reload"), "ok");
  EXPECT_EQ(first.Wait("status", "data-state", "connected", StateMs), "ok");
  EXPECT_EQ(TryHello(), std::optional<std::uint32_t>(link::stBusy));

  // The page goes away: its session is kept for the grace time, then the app phone gets it.
  QElapsedTimer sinceQuit;
  sinceQuit.start();
  ASSERT_TRUE(first.Quit());
  EXPECT_EQ(TryHello(), std::optional<std::uint32_t>(link::stBusy)) << "ended without grace";
  ASSERT_TRUE(Eventually(
      [this] {
        if (TryHello() == std::optional<std::uint32_t>(link::stOk)) return true;
        QThread::msleep(HelloRetryMs);
        return false;
      },
      SessionGraceMs + StateMs))
      << "the app phone never got the session";
  EXPECT_GE(sinceQuit.elapsed(), SessionGraceMs) << "the session ended before its grace time";
  ASSERT_TRUE(phone_->Running());
  EXPECT_TRUE(WaitForColour(Centre, Palette[3]));

  // While the app phone holds the session a page is told it is busy; once the phone has left,
  // the page's next try takes the session.
  BrowserPhone second;
  ASSERT_NO_FATAL_FAILURE(StartBrowser(second, url_));
  EXPECT_EQ(second.Wait("status", "data-state", "busy", StateMs), "ok");
  EXPECT_TRUE(phone_->Running());
  phone_->Stop();
  EXPECT_EQ(second.Wait("status", "data-state", "connected", BusySessionMs + StateMs), "ok");
  EXPECT_TRUE(second.Quit());
}

TEST_F(BrowserE2eTest, RefusedRequestsWriteNothing) {
  ASSERT_NO_FATAL_FAILURE(ReadPageAddress());
  QByteArray wrongToken = token_;
  wrongToken[0] = wrongToken[0] == '0' ? '1' : '0';
  const QByteArray otherHost = "zephra.example:" + QByteArray::number(PagePort);

  // Another site's name for this PC (DNS rebinding) gets nothing, not even the page.
  EXPECT_EQ(HttpStatus(address_, Request("GET", "/", otherHost, {})), 403);
  EXPECT_EQ(HttpStatus(address_, Request("GET", "/api/check", Host(), token_)), 204);
  EXPECT_EQ(HttpStatus(address_, Request("GET", "/api/check", Host(), wrongToken)), 403);

  // A QR code of an earlier run opens a page that says so.
  {
    BrowserPhone stale;
    ASSERT_NO_FATAL_FAILURE(StartBrowser(
        stale, url_.left(url_.size() - token_.size()) + QString::fromLatin1(wrongToken)));
    EXPECT_EQ(stale.Wait("status", "data-state", "denied", StateMs), "ok");
    EXPECT_TRUE(stale.Quit());
  }

  // The test's own page lists two pictures and shows the first: the PC asks for it.
  const QByteArray pictures[] = {SolidJpeg(Palette[4]), SolidJpeg(Palette[1])};
  const QByteArray list =
      R"("pictures":[{"name":"e2e-0.jpg","size":)" + QByteArray::number(pictures[0].size()) +
      R"(},{"name":"e2e-1.jpg","size":)" + QByteArray::number(pictures[1].size()) + "}]}";
  PageSocket page;
  ASSERT_EQ(page.Open(address_.toStdString(), token_.toStdString()), "");
  ASSERT_EQ(page.Next("state", StateMs).value(QStringLiteral("state")).toString(),
            QStringLiteral("connected"));
  ASSERT_TRUE(page.Send(R"({"type":"show","index":0,)" + list));
  const QByteArray first = page.NeedFor("e2e-0.jpg", ShowMs);
  ASSERT_FALSE(first.isEmpty()) << "the PC did not ask for the picture";

  // Refusals that leave the request open; then a body larger than the list said, which ends it:
  // the right one comes too late.
  EXPECT_EQ(HttpStatus(address_, Request("PUT", first, Host(), wrongToken, pictures[0])), 403);
  EXPECT_EQ(HttpStatus(address_, Request("PUT", first, otherHost, token_, pictures[0])), 403);
  EXPECT_EQ(HttpStatus(address_, Request("PUT", first, Host(), token_, pictures[0] + "more")), 413);
  EXPECT_EQ(HttpStatus(address_, Request("PUT", first, Host(), token_, pictures[0])), 404);
  EXPECT_TRUE(FilesBelow(CacheRoot()).isEmpty())
      << FilesBelow(CacheRoot()).join(QLatin1Char(' ')).toStdString();

  // An upload cut short leaves nothing behind either; the request stays open for the next.
  ASSERT_TRUE(page.Send(R"({"type":"show","index":1,)" + list));
  const QByteArray second = page.NeedFor("e2e-1.jpg", ShowMs);
  ASSERT_FALSE(second.isEmpty()) << "the PC did not ask for the second picture";
  HttpStatus(address_,
             Request("PUT", second, Host(), token_, pictures[1].left(pictures[1].size() / 2),
                     pictures[1].size()),
             true);
  EXPECT_TRUE(Eventually([this] { return FilesBelow(CacheRoot()).isEmpty(); }, 2000))
      << FilesBelow(CacheRoot()).join(QLatin1Char(' ')).toStdString();

  // The upload as announced is stored and shown, once the server has seen the cut one end.
  int status = 0;
  Eventually([&] {
    status = HttpStatus(address_, Request("PUT", second, Host(), token_, pictures[1]));
    return status != 409;
  });
  EXPECT_EQ(status, 204);
  EXPECT_TRUE(WaitForColour(Centre, Palette[1]));
}

}  // namespace
}  // namespace zephra::e2e
