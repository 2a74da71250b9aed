// The tray menu end to end: IceWM gives the virtual display a system tray, the program's icon
// is right-clicked with xdotool and an item is picked with the keys, as a user would.

#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QNetworkInterface>
#include <QStandardPaths>
#include <QTcpSocket>
#include <algorithm>
#include <chrono>
#include <optional>

#include "e2e_fixture.h"
#include "install/install_constants.h"
#include "phone/phone_messages.h"
#include "shell/shell_constants.h"

namespace zephra::e2e {
namespace {

constexpr char ProgramInstance[] = "zephra-wifi";
constexpr char TraySelection[] = "_NET_SYSTEM_TRAY_S0";
constexpr quint16 HttpPort = install::HttpPort;
constexpr int MenuMs = 5000;
// Longest a download of the package or the program's close may take.
constexpr int DownloadMs = 10000;
constexpr int CloseMs = 5000;
constexpr auto StalledChunk = 4 * std::chrono::milliseconds(CloseMs);
// Sides of a tray icon's window, in pixels.
constexpr int SmallestIcon = 8;
constexpr int LargestIcon = 64;
// The middle of the install window's close button, in the window.
const QPoint InstallCloseButton(258, 11);
// The QR symbol's square in the install window once the address is set.
const QRect InstallSymbol(install::QRCodePosition, QSize(245, 245));

// The tray menu: install, about, a separator, close. Up from no selection reaches the last item.
const QStringList InstallKeys{"Down", "Return"};
const QStringList CloseKeys{"Up", "Return"};

bool RunXdotool(const QStringList& arguments) {
  return QProcess::execute(QStringLiteral("xdotool"), arguments) == 0;
}

bool ClickAt(QPoint point, int button) {
  return RunXdotool({"mousemove", "--sync", QString::number(point.x()), QString::number(point.y()),
                     "click", QString::number(button)});
}

// The address the install window offers: the first local IPv4 address, in text order, whose
// last number is 1.
std::optional<QString> HotspotAddress() {
  QStringList addresses;
  for (const QHostAddress& address : QNetworkInterface::allAddresses()) {
    if (address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback()) {
      addresses << address.toString();
    }
  }
  addresses.sort();
  const auto found = std::find_if(addresses.begin(), addresses.end(), [](const QString& address) {
    return address.endsWith(QLatin1String(".1"));
  });
  if (found == addresses.end()) return std::nullopt;
  return *found;
}

struct HttpAnswer {
  QByteArray head;  // status line and header fields
  QByteArray body;
};

// One GET; the server closes the connection after its answer.
std::optional<HttpAnswer> Get(const QString& host, quint16 port, const QByteArray& target) {
  QTcpSocket socket;
  socket.connectToHost(host, port);
  if (!socket.waitForConnected(ConnectMs)) return std::nullopt;
  socket.write("GET " + target + " HTTP/1.1\r\nHost: " + host.toLatin1() + "\r\n\r\n");
  QByteArray answer;
  QDeadlineTimer deadline(DownloadMs);
  while (socket.state() == QAbstractSocket::ConnectedState && !deadline.hasExpired()) {
    socket.waitForReadyRead(PollMs);
    answer += socket.readAll();
  }
  answer += socket.readAll();
  const qsizetype end = answer.indexOf("\r\n\r\n");
  if (end < 0) return std::nullopt;
  return HttpAnswer{answer.left(end), answer.mid(end + 4)};
}

// True when the square of the QR symbol in the install window at `origin` shows dark modules on
// a light ground, neither colour taking much more than half of it.
bool SymbolPainted(const QImage& screen, QPoint origin) {
  const QImage symbol = screen.copy(InstallSymbol.translated(origin));
  if (symbol.isNull()) return false;
  qsizetype dark = 0;
  for (int y = 0; y < symbol.height(); ++y) {
    for (int x = 0; x < symbol.width(); ++x) dark += qGray(symbol.pixel(x, y)) < 64 ? 1 : 0;
  }
  const qsizetype all = static_cast<qsizetype>(symbol.width()) * symbol.height();
  return dark > all / 5 && dark < all * 4 / 5;
}

class TrayE2eTest : public ProgramE2eTest {
 protected:
  void SetUp() override {
    for (const char* tool : {"icewm", "xdotool"}) {
      if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
        GTEST_SKIP() << "no " << tool;
      }
    }
    ProgramE2eTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    ASSERT_TRUE(Eventually([this] { return TrayIcon().has_value(); }, StartMs))
        << "the program's icon did not come up in the tray";
  }

  void TearDown() override {
    ProgramE2eTest::TearDown();
    windowManager_.Stop();
  }

  // IceWM with its own empty settings folder, so that nothing of this machine's user changes
  // it; the program starts once its system tray is there.
  void StartDesktop() override {
    const QString settings = dir_.filePath(QStringLiteral("icewm"));
    ASSERT_TRUE(QDir().mkpath(settings));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ICEWM_PRIVCFG"), settings);
    QProcess& wm = windowManager_.Process();
    wm.setProcessEnvironment(environment);
    wm.setStandardOutputFile(QProcess::nullDevice());
    wm.setStandardErrorFile(QProcess::nullDevice());
    wm.start(QStringLiteral("icewm"), {});
    ASSERT_TRUE(wm.waitForStarted(StartMs));
    ASSERT_TRUE(Eventually([this] { return x_->SelectionOwned(TraySelection); }, StartMs))
        << "IceWM's system tray did not come up";
  }

  // The program's icon in the tray: a viewable window of its class no larger than an icon.
  std::optional<QRect> TrayIcon() {
    for (const XClient::Window& window : x_->ViewableWindows()) {
      const QRect& rect = window.rect;
      if (window.instance == ProgramInstance && rect.width() >= SmallestIcon &&
          rect.width() <= LargestIcon && rect.height() >= SmallestIcon &&
          rect.height() <= LargestIcon) {
        return rect;
      }
    }
    return std::nullopt;
  }

  // Right-clicks the icon, waits for the menu (a new window of the program) and types `keys`.
  void PickFromTrayMenu(const QStringList& keys) {
    const std::optional<QRect> icon = TrayIcon();
    ASSERT_TRUE(icon.has_value());
    QList<unsigned> before;
    for (const XClient::Window& window : x_->ViewableWindows()) before << window.id;
    ASSERT_TRUE(ClickAt(icon->center(), 3));
    ASSERT_TRUE(Eventually(
        [&] {
          const QList<XClient::Window> windows = x_->ViewableWindows();
          return std::any_of(windows.begin(), windows.end(), [&](const XClient::Window& window) {
            return window.instance == ProgramInstance && !before.contains(window.id);
          });
        },
        MenuMs))
        << "the tray menu did not open";
    ASSERT_TRUE(RunXdotool(QStringList{"key"} + keys));
  }

  // The rectangles of the program's windows placed where its toast goes, at the bottom right.
  QList<QRect> ToastRects() {
    QList<QRect> rects;
    for (const XClient::Window& window : x_->ViewableWindows()) {
      const QRect& rect = window.rect;
      if (window.instance == ProgramInstance &&
          rect.x() + rect.width() == ScreenWidth - shell::TipRightGap &&
          rect.y() + rect.height() == ScreenHeight - shell::TipBottomGap) {
        rects << rect;
      }
    }
    return rects;
  }

  bool CacheEmpty() const {
    return QDir(CacheRoot()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
  }

  ChildProcess windowManager_;
};

TEST_F(TrayE2eTest, InstallItemServesThePackageWhileItsQrWindowIsOpen) {
  const std::optional<QString> address = HotspotAddress();
  if (!address) {
    GTEST_SKIP() << "no local IPv4 address ends in .1, so the install item only shows a toast "
                    "(a veth pair holding 192.168.137.1 in a private network namespace gives one)";
  }
  if (!PortFree(HttpPort)) {
    GTEST_SKIP() << "port " << HttpPort
                 << " can't be bound here (it needs root or cap_net_bind_service, and a free "
                    "port): the download isn't checked";
  }
  QFile packageFile(QStringLiteral(ZEPHRA_PACKAGE_PATH));
  ASSERT_TRUE(packageFile.open(QIODevice::ReadOnly)) << ZEPHRA_PACKAGE_PATH;
  const QByteArray package = packageFile.readAll();
  ASSERT_FALSE(package.isEmpty());

  ASSERT_NO_FATAL_FAILURE(PickFromTrayMenu(InstallKeys));
  std::optional<XClient::Window> window;
  ASSERT_TRUE(Eventually([&] {
    return (window = x_->FindWindow(install::InstallWindowCaption)).has_value();
  })) << "the install window did not open";
  EXPECT_EQ(window->rect.size(), install::InstallWindowSize);
  EXPECT_TRUE(Eventually([&] { return SymbolPainted(x_->Grab(), window->rect.topLeft()); }))
      << "no QR symbol in the window";

  // The address in the QR code names the package; the server hands it out whole.
  const std::optional<HttpAnswer> answer =
      Get(*address, HttpPort, QByteArray("/") + install::PackageDocument);
  ASSERT_TRUE(answer.has_value()) << "no answer on " << address->toStdString() << ":" << HttpPort;
  EXPECT_TRUE(answer->head.startsWith("HTTP/1.1 200 ")) << answer->head.toStdString();
  EXPECT_TRUE(answer->head.contains("\r\nContent-Length: " + QByteArray::number(package.size())))
      << answer->head.toStdString();
  EXPECT_EQ(answer->body.size(), package.size());
  EXPECT_TRUE(answer->body == package) << "the download differs from the embedded package";

  // Its close button closes the window, and the server with it.
  ASSERT_TRUE(ClickAt(window->rect.topLeft() + InstallCloseButton, 1));
  EXPECT_TRUE(Eventually([this] { return !x_->WindowMapped(install::InstallWindowCaption); }))
      << "the install window stayed open";
  EXPECT_TRUE(Eventually([] { return !Accepts(HttpPort); })) << "port 86 still listens";
}

TEST_F(TrayE2eTest, InstallItemWithoutAHotspotAddressOnlyShowsATip) {
  if (HotspotAddress()) GTEST_SKIP() << "a local IPv4 address ends in .1";
  // The start's toast may still be up: the tip replaces its text, and with it its size.
  const QList<QRect> before = ToastRects();
  ASSERT_NO_FATAL_FAILURE(PickFromTrayMenu(InstallKeys));
  EXPECT_TRUE(Eventually([&] {
    const QList<QRect> now = ToastRects();
    return std::any_of(now.begin(), now.end(),
                       [&](const QRect& rect) { return !before.contains(rect); });
  })) << "no tip came up";
  EXPECT_FALSE(x_->WindowMapped(install::InstallWindowCaption));
  EXPECT_FALSE(Accepts(HttpPort)) << "the download server started";
}

TEST_F(TrayE2eTest, CloseItemEndsTheProgramAndEmptiesTheCacheDuringATransfer) {
  // A picture in the cache.
  StartPhone({AddPicture(QStringLiteral("small.jpg"), SolidJpeg(Palette[0]))});
  ASSERT_TRUE(WaitForColour(Centre, Palette[0]));
  // The full-screen viewer covers the tray: the phone closes it and leaves.
  ASSERT_TRUE(phone_->Send(phone::MakeCloseViewer()));
  ASSERT_TRUE(Eventually([this] { return !ViewerMapped(); }));
  phone_->Stop();
  // A phone that holds its first chunk back for longer than the close may take.
  const phone::PhonePicture held = AddPicture(QStringLiteral("held.jpg"), SolidJpeg(Palette[1]));
  phone::PhoneOptions options;
  options.chunkDelay = StalledChunk;
  StartPhone({held}, options);
  ASSERT_TRUE(Eventually([&] { return ChunkRequestsFor(held.phoneName) >= 1; }));
  ASSERT_FALSE(CacheEmpty());

  ASSERT_NO_FATAL_FAILURE(PickFromTrayMenu(CloseKeys));
  QProcess& app = app_.Process();
  ASSERT_TRUE(app.waitForFinished(CloseMs)) << "the program did not end";
  EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(app.exitCode(), 0);
  EXPECT_TRUE(CacheEmpty()) << CachedFiles().join(QLatin1Char(' ')).toStdString();
}

}  // namespace
}  // namespace zephra::e2e
