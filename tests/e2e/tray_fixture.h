#pragma once

// The program with a system tray: IceWM gives the virtual display one, the program's icon is
// right-clicked with xdotool and an item is picked with the keys, as a user would. Its QR
// windows (the install window and the browser phone's) are read back with zbar.

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QStringList>
#include <functional>
#include <optional>
#include <string>

#include "e2e_fixture.h"

namespace zephra::e2e {

// Longest a menu takes to come up, to be painted, or to show a key's effect.
inline constexpr int MenuMs = 5000;
inline constexpr int LeftButton = 1;

// The tray menu: install, browser phone, about, a separator, close. Down from no selection
// reaches the first item, up the last.
inline const QStringList InstallKeys{"Down", "Return"};
inline const QStringList BrowserKeys{"Down", "Down", "Return"};
inline const QStringList CloseKeys{"Up", "Return"};

// The middle of a QR window's close button, in the window: the button takes the size of one
// glyph of its strip. Null when the strip can't be read.
std::optional<QPoint> QrWindowCloseButton();

// Asks the top-level `window` to close as a window manager's close button does
// (WM_DELETE_WINDOW); false when the request could not be sent.
bool RequestClose(unsigned window);

class TrayE2eTest : public ProgramE2eTest {
 protected:
  void SetUp() override;
  void TearDown() override;
  // IceWM with its own empty settings folder, so that nothing of this machine's user changes
  // it; the program starts once its system tray is there.
  void StartDesktop() override;

  // The program's icon in the tray: a viewable window of its class no larger than an icon.
  std::optional<QRect> TrayIcon();
  // Picks an item of the tray menu with `keys`, as a user would, until `effect` holds within
  // `ms`; under load a click or a key may get lost, so the whole pick is tried once more.
  void PickFromTrayMenu(const QStringList& keys, const std::function<bool()>& effect, int ms);
  // The item of `keys` picked from the tray menu, until the QR window titled `caption` is up.
  void OpenQrWindow(const QStringList& keys, const char* caption,
                    std::optional<XClient::Window>& window);
  void OpenInstallWindow(std::optional<XClient::Window>& window);
  // zbar reads `expected` in the symbol's square of a QR window.
  void ExpectQrCodeNames(const XClient::Window& window, const QByteArray& expected);
  // What zbar reads in the symbol's square of a QR window once it finds exactly one symbol;
  // empty when it finds none within ShowMs.
  QByteArray ReadQrCode(const XClient::Window& window);
  // Clicks the close button of the QR window `window` titled `caption` until it is gone.
  void CloseQrWindow(const XClient::Window& window, const char* caption);
  // The rectangles of the program's windows placed where its toast goes, at the bottom right.
  QList<QRect> ToastRects();

  ChildProcess windowManager_;

 private:
  std::optional<XClient::Window> TrayMenu(const QRect& icon, const QList<unsigned>& before);
  QList<unsigned> WindowIds();
  std::optional<QImage> SettledLook(const QRect& menu);
  std::string TryTrayMenu(const QStringList& keys, unsigned& shown);
  void CloseTrayMenu(unsigned menu);
};

}  // namespace zephra::e2e
