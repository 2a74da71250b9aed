#pragma once

#include <QMenu>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QSystemTrayIcon>
#include <QTimer>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "app/app_constants.h"
#include "app/tfm_menu_window.h"
#include "base/stop_flag.h"
#include "browser/browser_server.h"
#include "install/http_server.h"
#include "install/install_constants.h"
#include "install/mime_table.h"
#include "link/download_thread.h"
#include "link/phone_link.h"
#include "link/request_counter.h"
#include "platform/program_folder.h"
#include "shell/hotspot_watch.h"
#include "viewer/cache_folder.h"
#include "viewer/picture_requests.h"
#include "viewer/tfm_view.h"
#include "viewer/viewer_port.h"

namespace zephra::app {

// The hidden tray form. It is never shown: it holds the tray icon with its menu, the timer of
// the hotspot watch and the phone link, starts the link service and tears everything down in a
// fixed order when the user closes the program. GUI thread only.
class TfmZephraWifi : public QObject, private shell::IServiceControl {
  Q_OBJECT

 public:
  // What the form needs from the rest of the program. An empty function does nothing; an
  // empty partner probe reads as "not running", an empty address source finds no address.
  struct THooks {
    std::function<bool()> partnerHotspotRunning;                         // PartnerHotspotRunning
    std::function<int(QByteArray& text)> localIpText;                    // LocalIpText
    std::function<void(const QString& text, int milliseconds)> showTip;  // ShowTip
    std::function<void()> closeTip;                                      // CloseTip
    std::function<void(const QString& text)> showMessage;                // ShowMessageBox
    std::function<bool()> notInGameMode;  // NotInGameMode; empty reads as "not in game mode"
    QString cacheFolder;  // the picture cache folder; empty: the user's own (see TCacheFolder)
    std::function<int(QStringList& list)> localIpList;  // LocalIpList
    std::uint16_t httpPort = install::HttpPort;  // the download server's; 0: ephemeral (tests)
    viewer::TViewerConfig viewer;                // the viewer's intervals and screen
    std::chrono::milliseconds ipListInterval = IpListInterval;  // the hotspot watch's period
    // The hotspot watch's clock; empty: the real one.
    std::function<shell::IServiceControl::Clock::time_point()> now;
    // The address of the PC's own hotspot where one is known (NetworkManager's), else empty:
    // the install window offers it before any local address ending in ".1".
    std::function<QString()> hotspotAddress;
    // Called each time both link listeners have switched on (the firewall check).
    std::function<void()> linkSwitchedOn;
    // The address of the interface with the default route, offered by the browser window when
    // there is no hotspot; empty function or text: none.
    std::function<QString()> defaultRouteAddress;
    // The browser phone's server (its port 0: ephemeral, in tests).
    browser::TBrowserConfig browser;
    // Whether the desktop has a system tray now; empty reads as "it has". Without one the
    // menu shows as a window (see FollowTray).
    std::function<bool()> systemTrayAvailable;
  };

  // FormCreate: the tray icon (visible at once; it appears when a system tray exists), the
  // menu (as a window while there is no tray), TimerIpList (disabled), the phone link with
  // `config` (servers off) and the transfer engine (waiting for requests).
  TfmZephraWifi(link::TLinkConfig config, THooks hooks, QObject* parent = nullptr);
  // Runs the shutdown steps of FormClose unless FormClose already ran.
  ~TfmZephraWifi() override;

  // Starts the phone-link service: both servers when the partner hotspot runs, the toast that
  // says which, the hotspot watch timer, and the viewer. False (after the message box) when the
  // servers could not start; both are off then and the program must end.
  bool StartService();
  // Server and then Server2 on or off; a failure of one doesn't stop the other.
  void SetServersActive(bool active) override;
  // A hotspot source changed (NetworkManager's hotspot came or went): the hotspot watch follows
  // it at once. Nothing once closing began.
  void HotspotChanged();
  // Closes and frees the viewer, empties the picture cache and clears the request service;
  // true when there was no viewer.
  bool DestroyViewer();
  // The viewer's closed-callback: tells the session's phone that the user closed the viewer.
  void ViewerClosed();
  // ViewerRequest, the viewer's request service (see link::TRequestService). Any thread.
  std::int32_t ViewerRequest(std::int32_t kind, std::int32_t& id, const QString& name,
                             const QString& path);
  // The shutdown: icon off, timer off, viewer gone, every connection dropped, servers off,
  // toast removed; then FormClosed. Later calls do nothing.
  void FormClose();
  // True once the shutdown ran, which may happen before the event loop runs: StartService lets
  // pending events (a close request among them) run while it shows its toast.
  bool Closed() const { return closed_; }

  QSystemTrayIcon& TrayIcon() { return trayIcon_; }
  QMenu& PopMenu() { return popMenu_; }
  QTimer& TimerIpList() { return timerIpList_; }
  // The menu's window; nullptr until the first time there was no tray.
  TfmMenuWindow* MenuWindow() { return menuWindow_.get(); }
  link::TPhoneLink& Link() { return link_; }
  link::TDownloadThread& DownloadThread() { return downloadThread_; }
  link::TRequestCounter& RequestCounter() { return requestCounter_; }
  // The viewer's stop flag (AbortLoad).
  base::TStopFlag& AbortLoad() { return abortLoad_; }
  viewer::TCacheFolder& Cache() { return cache_; }
  viewer::TPictureRequests& Requests() { return requests_; }
  // The viewer window; nullptr before StartService and after DestroyViewer.
  viewer::TfmView* View() { return view_.get(); }
  const shell::THotspotWatch& Watch() const { return watch_; }
  // The phone app's download server; on only while the install window is open.
  install::THttpServer& HTTPServer() { return httpServer_; }
  browser::TBrowserServer& BrowserServer() { return browser_; }
  // The browser window's address: the hotspot's, else the default route's; empty for none.
  QString BrowserAddress() const;

 public slots:
  // The install item: the download server on, the install window with the download address as
  // a QR symbol until the user closes it, the server off. A toast instead when no local address
  // ends in ".1"; the server's error text in the message box when it cannot start or stop.
  void N1Click();
  void N2Click();
  // The browser item: the browser phone's server on from now on, and its window with the
  // page's address and token as a QR symbol until the user closes it.
  void NBrowserClick();
  void NCloseClick();

 signals:
  // FormClose has finished: the program's event loop should end.
  void FormClosed();

 public slots:
  // The hotspot watch's tick; the timer is off while it runs and stays off once closing began.
  void TimerIpListTimer();
  // Without a system tray the menu's window shows; once a tray is there the icon (which Qt
  // puts into it by itself) takes over and the window goes. Runs every TrayCheckInterval
  // until closing begins.
  void FollowTray();

 private:
  void CreatePopMenu();
  // A browser, not an app phone, holds the session.
  bool BrowserHolds() const;
  void FollowLink(bool linkOn);
  void CreateTrayIcon();
  void CreateViewer();
  void TearDown();
  bool PartnerHotspotRunning() const;
  bool NotInGameMode() const;
  void ShowTip(const char* text, int milliseconds) const;
  void CloseTip() const;
  void ShowMessage(const QString& text) const;

  // The link service as the hotspot watch sees it.
  bool SessionPresent() const override;
  bool ViewerShowing() const override;
  Clock::time_point LastActive() const override;
  void CloseViewerQuietly() override;
  void DropAllConnections(bool reattach) override;
  bool ServerActive() const override;
  bool Server2Active() const override;

  const THooks hooks_;
  viewer::TCacheFolder cache_;
  viewer::TPictureRequests requests_;  // holds RequestService while the viewer exists
  base::TStopFlag abortLoad_;
  link::TPhoneLink link_;
  link::TRequestCounter requestCounter_;
  link::TDownloadThread downloadThread_;
  std::unique_ptr<viewer::TfmView> view_;        // the viewer window, while the service exists
  std::shared_ptr<viewer::TViewerPort> viewer_;  // the link's way to it
  QMenu popMenu_;
  QSystemTrayIcon trayIcon_;  // after popMenu_: it refers to the menu until destroyed
  std::unique_ptr<TfmMenuWindow> menuWindow_;  // after popMenu_: its buttons trigger its items
  QTimer timerTray_;
  QTimer timerIpList_;
  shell::THotspotWatch watch_;
  browser::TBrowserServer browser_;
  bool browserPinned_ = false;  // the user opened the browser window once
  bool browserWindowOpen_ = false;
  bool closed_ = false;
  bool serviceStarted_ = false;    // StartService has run to its end
  install::TMimeTable mimeTable_;  // FMimeTable
  // After the table it reads; stopped first as the form goes.
  install::THttpServer httpServer_{install::THttpConfig{hooks_.httpPort}, platform::ProgramFolder(),
                                   mimeTable_};
};

}  // namespace zephra::app
