// The tray menu end to end: the install item, its window and download server, the close item,
// and the install window's address under NetworkManager's hotspot.

#include <QFile>
#include <QStandardPaths>
#include <QTcpSocket>
#include <algorithm>
#include <chrono>
#include <optional>

#include "app/app_constants.h"
#include "install/install_address.h"
#include "install/install_constants.h"
#include "link/link_constants.h"
#include "nm_standin.h"
#include "phone/phone_messages.h"
#include "shell/local_ip.h"
#include "shell/shell_constants.h"
#include "tray_fixture.h"

namespace zephra::e2e {
namespace {

constexpr quint16 HttpPort = install::HttpPort;
// Longest a download of the package may take.
constexpr int DownloadMs = 10000;
constexpr auto StalledChunk = 4 * std::chrono::milliseconds(StopMs);

// The address the install window offers, chosen from the local addresses as the program does.
std::optional<QString> HotspotAddress() {
  QStringList addresses;
  shell::LocalIpList(addresses);
  return install::HotspotAddress(addresses);
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

TEST_F(TrayE2eTest, InstallItemServesThePackageWhileItsQrWindowIsOpen) {
  const std::optional<QString> address = HotspotAddress();
  if (!address) {
    GTEST_SKIP() << "no local IPv4 address ends in .1, so the install item only shows a toast "
                    "(a veth pair holding 192.168.137.1 in a private network namespace gives one)";
  }
  if (Accepts(HttpPort)) {
    GTEST_SKIP() << "port " << HttpPort << " is in use here: the download isn't checked";
  }
  if (!ExecutableMayListenOn(ZEPHRA_WIFI_PATH, HttpPort)) {
    GTEST_SKIP() << "the program may not listen on port " << HttpPort
                 << " here: run the test as root, or give " ZEPHRA_WIFI_PATH
                    " the capability (setcap cap_net_bind_service=ep)";
  }
  QFile packageFile(QStringLiteral(ZEPHRA_PACKAGE_PATH));
  ASSERT_TRUE(packageFile.open(QIODevice::ReadOnly)) << ZEPHRA_PACKAGE_PATH;
  const QByteArray package = packageFile.readAll();
  ASSERT_FALSE(package.isEmpty());
  const std::optional<QPoint> closeButton = QrWindowCloseButton();
  ASSERT_TRUE(closeButton.has_value()) << "no glyph strip at " << install::CloseGlyphFile;

  std::optional<XClient::Window> window;
  ASSERT_NO_FATAL_FAILURE(OpenInstallWindow(window));
  EXPECT_EQ(window->rect.size(), install::InstallWindowSize);

  ExpectQrCodeNames(*window, install::DownloadAddress(*address, HttpPort));

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
  ASSERT_TRUE(ClickAt(window->rect.topLeft() + *closeButton, LeftButton));
  EXPECT_TRUE(Eventually([this] { return !x_->WindowMapped(install::InstallWindowCaption); }))
      << "the install window stayed open";
  EXPECT_TRUE(Eventually([] { return !Accepts(HttpPort); }))
      << "port " << HttpPort << " still listens";
}

TEST_F(TrayE2eTest, InstallItemWithoutAHotspotAddressOnlyShowsATip) {
  if (HotspotAddress()) GTEST_SKIP() << "a local IPv4 address ends in .1";
  // The start's toast may still be up: the tip replaces its text, and with it its size.
  const QList<QRect> before = ToastRects();
  ASSERT_NO_FATAL_FAILURE(PickFromTrayMenu(
      InstallKeys,
      [&] {
        const QList<QRect> now = ToastRects();
        return std::any_of(now.begin(), now.end(),
                           [&](const QRect& rect) { return !before.contains(rect); });
      },
      ShowMs))
      << "no tip came up";
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

  QProcess& app = app_.Process();
  ASSERT_NO_FATAL_FAILURE(PickFromTrayMenu(
      CloseKeys, [&] { return !app_.Running() || app.waitForFinished(PollMs); }, StopMs))
      << "the program did not end";
  EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(app.exitCode(), 0);
  EXPECT_TRUE(CacheEmpty()) << CachedFiles().join(QLatin1Char(' ')).toStdString();
}

// A desktop without a system tray (no window manager, then IceWM for a while): the menu is a
// window of its own until a tray comes, back when the tray goes, and its close button ends the
// program.
class NoTrayE2eTest : public TrayE2eTest {
 protected:
  void SetUp() override {
    if (QStandardPaths::findExecutable(QStringLiteral("icewm")).isEmpty()) {
      GTEST_SKIP() << "no icewm";
    }
    ProgramE2eTest::SetUp();
  }
  void StartDesktop() override {}
};

TEST_F(NoTrayE2eTest, MenuWindowStandsInForTheTrayAndItsCloseButtonEndsTheProgram) {
  const QByteArray title(app::AppTitle);
  ASSERT_TRUE(Eventually([&] { return x_->WindowMapped(title); }, StartMs))
      << "no menu window came up";
  ASSERT_NO_FATAL_FAILURE(TrayE2eTest::StartDesktop());
  EXPECT_TRUE(Eventually([this] { return TrayIcon().has_value(); }, StartMs))
      << "the icon did not take over";
  EXPECT_TRUE(Eventually([&] { return !x_->WindowMapped(title); })) << "the menu window stayed";

  ASSERT_TRUE(windowManager_.Stop());
  std::optional<XClient::Window> window;
  ASSERT_TRUE(Eventually([&] { return (window = x_->FindWindow(title)).has_value(); }))
      << "the menu window did not come back without the tray";
  ASSERT_TRUE(RequestClose(window->id));
  QProcess& app = app_.Process();
  ASSERT_TRUE(app.waitForFinished(StopMs)) << "the program did not end";
  EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(app.exitCode(), 0);
  EXPECT_TRUE(LinkPortsClosed());
}

// The program with no partner, on a private system bus where a NetworkManager stand-in runs a
// hotspot whose address is not one of this machine's, and firewalld keeps the hotspot's
// interface in a zone that turns phones away.
class NmHotspotE2eTest : public TrayE2eTest {
 protected:
  void StartHotspotSource() override {
    if (!nm_.Start({"--address", NmAddress, "--firewalld-zone", "nm-shared"})) {
      GTEST_SKIP() << nm_.Error().toStdString();
    }
    systemBus_ = nm_.Address();
  }
  bool ListensAtStart() const override { return false; }

  static constexpr char NmAddress[] = "10.42.0.1";
  static constexpr char SecondAddress[] = "10.42.1.1";
  NmStandin nm_;
};

// The hotspot switches the link at once, but never under a session; the hotspot watch's check
// then catches up.
constexpr int FollowMs = 1000;
constexpr int CheckMs =
    static_cast<int>(app::IpListInterval.count()) * static_cast<int>(shell::CheckEveryTicks) +
    static_cast<int>(link::LinkStopWait.count()) + 2000;

TEST_F(NmHotspotE2eTest, LinkFollowsNetworkManagersHotspotAndOffersItsAddress) {
  EXPECT_TRUE(LinkPortsClosed()) << "the link is on without a hotspot";
  // The start's toast, once it is up (it may be gone already on a slow machine).
  Eventually([this] { return !ToastRects().isEmpty(); }, 3000);
  const QList<QRect> toastsBefore = ToastRects();
  ASSERT_TRUE(nm_.Command("up").startsWith("up "));
  EXPECT_TRUE(Eventually(LinkPortsAccept, FollowMs)) << "not on within a second of the hotspot";
  ASSERT_TRUE(Eventually(LinkPortsAccept, CheckMs));
  // firewalld's zone turns phones away: a toast says what to run (it replaces the start's toast,
  // and its size with it).
  EXPECT_TRUE(Eventually([&] {
    const QList<QRect> now = ToastRects();
    return std::any_of(now.begin(), now.end(),
                       [&](const QRect& rect) { return !toastsBefore.contains(rect); });
  })) << "no firewall advice came up";

  // Under a session the hotspot's end changes nothing; once the phone has left, its viewer with
  // it, the watch's check switches the link off.
  StartPhone({AddPicture(QStringLiteral("a.jpg"), SolidJpeg(Palette[3]))});
  ASSERT_TRUE(WaitForColour(Centre, Palette[3]));
  ASSERT_EQ(nm_.Command("down"), "down");
  QThread::msleep(2 * FollowMs);
  EXPECT_TRUE(LinkPortsAccept()) << "switched off under a session";
  EXPECT_TRUE(phone_->Running());
  phone_->Stop();
  EXPECT_TRUE(Eventually([this] { return !ViewerMapped(); })) << "the viewer outlived the session";
  EXPECT_TRUE(Eventually(LinkPortsClosed, CheckMs)) << "the link stayed on";

  // NetworkManager restarts, and its next hotspot has another address: both are followed.
  ASSERT_EQ(nm_.Command("restart"), "restarted");
  ASSERT_EQ(nm_.Command(QByteArray("address ") + SecondAddress),
            QByteArray("address ") + SecondAddress);
  ASSERT_TRUE(nm_.Command("up").startsWith("up "));
  EXPECT_TRUE(Eventually(LinkPortsAccept, FollowMs)) << "the restart was not followed";

  // The install window offers the hotspot's own address.
  if (Accepts(HttpPort) || !ExecutableMayListenOn(ZEPHRA_WIFI_PATH, HttpPort)) {
    GTEST_SKIP() << "the program can't serve port " << HttpPort << " here";
  }
  std::optional<XClient::Window> window;
  ASSERT_NO_FATAL_FAILURE(OpenInstallWindow(window));
  ExpectQrCodeNames(*window,
                    install::DownloadAddress(QString::fromLatin1(SecondAddress), HttpPort));
  const std::optional<QPoint> closeButton = QrWindowCloseButton();
  ASSERT_TRUE(closeButton.has_value());
  ASSERT_TRUE(ClickAt(window->rect.topLeft() + *closeButton, LeftButton));
  EXPECT_TRUE(Eventually([this] { return !x_->WindowMapped(install::InstallWindowCaption); }));
}

}  // namespace
}  // namespace zephra::e2e
