#include "tray_fixture.h"

#include <xcb/xcb.h>

#include <QDir>
#include <QImageReader>
#include <QStandardPaths>
#include <cstdlib>
#include <cstring>

#include "install/install_constants.h"
#include "qrcode/qr_constants.h"
#include "qrcode/qr_version_table.h"
#include "shell/shell_constants.h"
#include "symbol_scan.h"

namespace zephra::e2e {
namespace {

constexpr char ProgramInstance[] = "zephra-wifi";
constexpr char TraySelection[] = "_NET_SYSTEM_TRAY_S0";
// A painted menu is left this long before the first key, for its keyboard grab.
constexpr int MenuSettleMs = 200;
// A pick whose effect does not show is tried once more from the right-click on.
constexpr int MenuPicks = 2;
// Sides of a tray icon's window, in pixels.
constexpr int SmallestIcon = 8;
constexpr int LargestIcon = 64;
// The right button, which opens a tray icon's menu.
constexpr int MenuButton = 3;

// The QR symbol's square in a QR window once its code is set: its modules and the quiet zone
// around them, QRCodePxmag pixels each.
QRect QrSymbol() {
  const int modules = qrcode::TQRVersionTable().Row(install::QRCodeVersion).Modules;
  const int side = (modules + 2 * qrcode::QuietModules) * install::QRCodePxmag;
  return QRect(install::QRCodePosition, QSize(side, side));
}

xcb_atom_t InternAtom(xcb_connection_t* connection, const char* name) {
  xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
      connection,
      xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
  const xcb_atom_t atom = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
  std::free(reply);
  return atom;
}

}  // namespace

bool RequestClose(unsigned window) {
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  bool sent = false;
  if (xcb_connection_has_error(connection) == 0) {
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = InternAtom(connection, "WM_PROTOCOLS");
    message.data.data32[0] = InternAtom(connection, "WM_DELETE_WINDOW");
    message.data.data32[1] = XCB_CURRENT_TIME;
    const xcb_void_cookie_t cookie = xcb_send_event_checked(
        connection, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&message));
    xcb_generic_error_t* error = xcb_request_check(connection, cookie);
    sent = error == nullptr && message.type != XCB_ATOM_NONE;
    std::free(error);
  }
  xcb_disconnect(connection);
  return sent;
}

std::optional<QPoint> QrWindowCloseButton() {
  const QSize strip = QImageReader(QString::fromLatin1(install::CloseGlyphFile)).size();
  if (!strip.isValid()) return std::nullopt;
  return install::ClosePosition +
         QPoint(strip.width() / install::CloseGlyphCount / 2, strip.height() / 2);
}

void TrayE2eTest::SetUp() {
  if (QStandardPaths::findExecutable(QStringLiteral("icewm")).isEmpty()) {
    GTEST_SKIP() << "no icewm";
  }
  if (!XdotoolPresent()) GTEST_SKIP() << "no xdotool";
  ProgramE2eTest::SetUp();
  if (IsSkipped() || HasFatalFailure()) return;
  ASSERT_TRUE(Eventually([this] { return TrayIcon().has_value(); }, StartMs))
      << "the program's icon did not come up in the tray";
}

void TrayE2eTest::TearDown() {
  ProgramE2eTest::TearDown();
  windowManager_.Stop();
}

void TrayE2eTest::StartDesktop() {
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

std::optional<QRect> TrayE2eTest::TrayIcon() {
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

// The program's popup menu next to the icon at `icon`: a window of its class that bypasses the
// window manager, within LargestIcon pixels of the icon, and none of `before` (its toast is such
// a window too). Qt types the menu as a normal window, so the type doesn't tell.
std::optional<XClient::Window> TrayE2eTest::TrayMenu(const QRect& icon,
                                                     const QList<unsigned>& before) {
  const QRect near = icon.adjusted(-LargestIcon, -LargestIcon, LargestIcon, LargestIcon);
  for (const XClient::Window& window : x_->ViewableWindows()) {
    if (window.instance == ProgramInstance && window.overrideRedirect &&
        window.rect.intersects(near) && !before.contains(window.id)) {
      return window;
    }
  }
  return std::nullopt;
}

QList<unsigned> TrayE2eTest::WindowIds() {
  QList<unsigned> ids;
  for (const XClient::Window& window : x_->ViewableWindows()) ids << window.id;
  return ids;
}

// The menu's pixels, once two grabs a poll apart agree (it is painted and still).
std::optional<QImage> TrayE2eTest::SettledLook(const QRect& menu) {
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
std::string TrayE2eTest::TryTrayMenu(const QStringList& keys, unsigned& shown) {
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
void TrayE2eTest::CloseTrayMenu(unsigned menu) {
  const auto shown = [&] { return WindowIds().contains(menu); };
  if (menu == 0 || !shown()) return;
  PressKeys({"Escape"});
  Eventually([&] { return !shown(); }, MenuMs);
}

void TrayE2eTest::PickFromTrayMenu(const QStringList& keys, const std::function<bool()>& effect,
                                   int ms) {
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

void TrayE2eTest::OpenQrWindow(const QStringList& keys, const char* caption,
                               std::optional<XClient::Window>& window) {
  ASSERT_NO_FATAL_FAILURE(PickFromTrayMenu(
      keys, [&] { return (window = x_->FindWindow(caption)).has_value(); }, ShowMs));
}

void TrayE2eTest::OpenInstallWindow(std::optional<XClient::Window>& window) {
  OpenQrWindow(InstallKeys, install::InstallWindowCaption, window);
}

void TrayE2eTest::ExpectQrCodeNames(const XClient::Window& window, const QByteArray& expected) {
  const QRect symbol = QrSymbol().translated(window.rect.topLeft());
  QList<QByteArray> read;
  EXPECT_TRUE(Eventually([&] {
    read = ScanSymbols(x_->Grab().copy(symbol));
    return read == QList<QByteArray>{expected};
  })) << "expected "
      << expected.toStdString() << ", read "
      << (read.isEmpty() ? std::string("nothing") : read.join(' ').toStdString());
}

QByteArray TrayE2eTest::ReadQrCode(const XClient::Window& window) {
  const QRect symbol = QrSymbol().translated(window.rect.topLeft());
  QList<QByteArray> read;
  // The window's designed placeholder code is never the one to read.
  Eventually([&] {
    read = ScanSymbols(x_->Grab().copy(symbol));
    return read.size() == 1 && read[0] != install::QRCodeDesignCode;
  });
  return read.size() == 1 && read[0] != install::QRCodeDesignCode ? read[0] : QByteArray();
}

void TrayE2eTest::CloseQrWindow(const XClient::Window& window, const char* caption) {
  const std::optional<QPoint> closeButton = QrWindowCloseButton();
  ASSERT_TRUE(closeButton.has_value()) << "no glyph strip at " << install::CloseGlyphFile;
  ASSERT_TRUE(ClickAt(window.rect.topLeft() + *closeButton, LeftButton));
  ASSERT_TRUE(Eventually([&] { return !x_->WindowMapped(caption); }))
      << "the window " << caption << " stayed open";
}

QList<QRect> TrayE2eTest::ToastRects() {
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

}  // namespace zephra::e2e
