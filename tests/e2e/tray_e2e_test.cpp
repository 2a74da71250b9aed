// The tray menu end to end: IceWM gives the virtual display a system tray, the program's icon
// is right-clicked with xdotool and an item is picked with the keys, as a user would.

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QStandardPaths>
#include <QTcpSocket>
#include <algorithm>
#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "app/app_constants.h"
#include "e2e_fixture.h"
#include "install/install_address.h"
#include "install/install_constants.h"
#include "link/link_constants.h"
#include "nm_standin.h"
#include "phone/phone_messages.h"
#include "qrcode/qr_constants.h"
#include "qrcode/qr_version_table.h"
#include "shell/local_ip.h"
#include "shell/shell_constants.h"
#include "symbol_scan.h"

namespace zephra::e2e {
namespace {

constexpr char ProgramInstance[] = "zephra-wifi";
constexpr char TraySelection[] = "_NET_SYSTEM_TRAY_S0";
constexpr quint16 HttpPort = install::HttpPort;
// Longest a menu takes to come up, to be painted, or to show a key's effect.
constexpr int MenuMs = 5000;
// A painted menu is left this long before the first key, for its keyboard grab.
constexpr int MenuSettleMs = 200;
// A pick whose effect does not show is tried once more from the right-click on.
constexpr int MenuPicks = 2;
// Longest a download of the package may take.
constexpr int DownloadMs = 10000;
constexpr auto StalledChunk = 4 * std::chrono::milliseconds(StopMs);
// Sides of a tray icon's window, in pixels.
constexpr int SmallestIcon = 8;
constexpr int LargestIcon = 64;
// The right button, which opens a tray icon's menu.
constexpr int MenuButton = 3;
constexpr int LeftButton = 1;

// The tray menu: install, about, a separator, close. Up from no selection reaches the last item.
const QStringList InstallKeys{"Down", "Return"};
const QStringList CloseKeys{"Up", "Return"};

// The QR symbol's square in the install window once the address is set: its modules and the
// quiet zone around them, QRCodePxmag pixels each.
QRect InstallSymbol() {
  const int modules = qrcode::TQRVersionTable().Row(install::QRCodeVersion).Modules;
  const int side = (modules + 2 * qrcode::QuietModules) * install::QRCodePxmag;
  return QRect(install::QRCodePosition, QSize(side, side));
}

// The middle of the install window's close button, in the window: the button takes the size of
// one glyph of its strip. Null when the strip can't be read.
std::optional<QPoint> InstallCloseButton() {
  const QSize strip = QImageReader(QString::fromLatin1(install::CloseGlyphFile)).size();
  if (!strip.isValid()) return std::nullopt;
  return install::ClosePosition +
         QPoint(strip.width() / install::CloseGlyphCount / 2, strip.height() / 2);
}

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

class TrayE2eTest : public ProgramE2eTest {
 protected:
  void SetUp() override {
    if (QStandardPaths::findExecutable(QStringLiteral("icewm")).isEmpty()) {
      GTEST_SKIP() << "no icewm";
    }
    if (!XdotoolPresent()) GTEST_SKIP() << "no xdotool";
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

  // The program's popup menu next to the icon at `icon`: a window of its class that bypasses
  // the window manager, within LargestIcon pixels of the icon, and none of `before` (its toast
  // is such a window too). Qt types the menu as a normal window, so the type doesn't tell.
  std::optional<XClient::Window> TrayMenu(const QRect& icon, const QList<unsigned>& before) {
    const QRect near = icon.adjusted(-LargestIcon, -LargestIcon, LargestIcon, LargestIcon);
    for (const XClient::Window& window : x_->ViewableWindows()) {
      if (window.instance == ProgramInstance && window.overrideRedirect &&
          window.rect.intersects(near) && !before.contains(window.id)) {
        return window;
      }
    }
    return std::nullopt;
  }

  QList<unsigned> WindowIds() {
    QList<unsigned> ids;
    for (const XClient::Window& window : x_->ViewableWindows()) ids << window.id;
    return ids;
  }

  // The menu's pixels, once two grabs a poll apart agree (it is painted and still).
  std::optional<QImage> SettledLook(const QRect& menu) {
    QImage last = x_->Grab().copy(menu);
    std::optional<QImage> settled;
    Eventually(
        [&] {
          const QImage now = x_->Grab().copy(menu);
          if (!now.isNull() && now == last) settled = now;
          last = now;
          return settled.has_value();
        },
        MenuMs);
    return settled;
  }

  // One pick: right-clicks the icon, waits until the menu is up, painted and settled, and types
  // `keys`, each but the last only once the one before it has changed the menu (moved the
  // selection). An empty result when all keys went out; otherwise the step that failed. `shown`
  // is the menu's window once it came up.
  std::string TryTrayMenu(const QStringList& keys, unsigned& shown) {
    const std::optional<QRect> icon = TrayIcon();
    if (!icon) return "no tray icon";
    const QList<unsigned> before = WindowIds();
    if (!ClickAt(icon->center(), MenuButton)) return "xdotool could not click the icon";
    std::optional<XClient::Window> menu;
    if (!Eventually([&] { return (menu = TrayMenu(*icon, before)).has_value(); }, MenuMs)) {
      return "the tray menu did not open";
    }
    shown = menu->id;
    std::optional<QImage> look = SettledLook(menu->rect);
    if (!look) return "the tray menu was not painted";
    QThread::msleep(MenuSettleMs);
    for (qsizetype i = 0; i < keys.size(); ++i) {
      if (!PressKeys({keys[i]})) return "xdotool could not press " + keys[i].toStdString();
      if (i + 1 == keys.size()) break;
      const bool moved = Eventually(
          [&] {
            const QImage now = x_->Grab().copy(menu->rect);
            return !now.isNull() && now != *look;
          },
          MenuMs);
      if (!moved) return "the tray menu did not take " + keys[i].toStdString();
      look = SettledLook(menu->rect);
      if (!look) return "the tray menu did not settle after " + keys[i].toStdString();
    }
    return {};
  }

  // Closes a menu that a failed pick left open: the one of `menu`, if it still shows.
  void CloseTrayMenu(unsigned menu) {
    const auto shown = [&] { return WindowIds().contains(menu); };
    if (menu == 0 || !shown()) return;
    PressKeys({"Escape"});
    Eventually([&] { return !shown(); }, MenuMs);
  }

  // Picks an item of the tray menu with `keys`, as a user would, until `effect` holds within
  // `ms`; under load a click or a key may get lost, so the whole pick is tried once more.
  void PickFromTrayMenu(const QStringList& keys, const std::function<bool()>& effect, int ms) {
    std::string failure;
    for (int pick = 0; pick < MenuPicks; ++pick) {
      unsigned menu = 0;
      failure = TryTrayMenu(keys, menu);
      if (failure.empty() && Eventually(effect, ms)) return;
      if (failure.empty()) failure = "the pick had no effect";
      CloseTrayMenu(menu);
    }
    FAIL() << keys.join(QLatin1Char(' ')).toStdString() << " in the tray menu: " << failure;
  }

  // The install item picked from the tray menu, until its window is up.
  void OpenInstallWindow(std::optional<XClient::Window>& window) {
    ASSERT_NO_FATAL_FAILURE(PickFromTrayMenu(
        InstallKeys,
        [&] { return (window = x_->FindWindow(install::InstallWindowCaption)).has_value(); },
        ShowMs));
  }

  // zbar reads `expected` in the symbol's square of the install window.
  void ExpectQrCodeNames(const XClient::Window& window, const QByteArray& expected) {
    const QRect symbol = InstallSymbol().translated(window.rect.topLeft());
    QList<QByteArray> read;
    EXPECT_TRUE(Eventually([&] {
      read = ScanSymbols(x_->Grab().copy(symbol));
      return read == QList<QByteArray>{expected};
    })) << "expected "
        << expected.toStdString() << ", read "
        << (read.isEmpty() ? std::string("nothing") : read.join(' ').toStdString());
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

  ChildProcess windowManager_;
};

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
  const std::optional<QPoint> closeButton = InstallCloseButton();
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
  const std::optional<QPoint> closeButton = InstallCloseButton();
  ASSERT_TRUE(closeButton.has_value());
  ASSERT_TRUE(ClickAt(window->rect.topLeft() + *closeButton, LeftButton));
  EXPECT_TRUE(Eventually([this] { return !x_->WindowMapped(install::InstallWindowCaption); }));
}

}  // namespace
}  // namespace zephra::e2e
