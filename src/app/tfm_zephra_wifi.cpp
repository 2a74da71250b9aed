#include "app/tfm_zephra_wifi.h"

#include <QAction>
#include <QIcon>

#include "app/about_text.h"
#include "app/app_constants.h"
#include "install/install_address.h"
#include "install/tfm_qr_code.h"

// The icons are compiled into this static library, whose resource initialiser is linked in only
// when something refers to it. Q_INIT_RESOURCE must be used outside any namespace.
static void InitAppResources() { Q_INIT_RESOURCE(zephra_app); }

namespace zephra::app {

TfmZephraWifi::TfmZephraWifi(link::TLinkConfig config, THooks hooks, QObject* parent)
    : QObject(parent),
      hooks_(std::move(hooks)),
      cache_(hooks_.cacheFolder),
      // Until the viewer holds the request service nothing says whether it may pop up.
      link_(config, cache_, [this] { return requests_.MayPopUp(); }),
      downloadThread_(
          link_.Transfer(), [this](const QByteArray& message) { link_.SendToSession(message); },
          abortLoad_, config.chunkWait),
      watch_(*this, shell::TWatchSources{hooks_.partnerHotspotRunning, hooks_.localIpText,
                                         hooks_.now ? hooks_.now : Clock::now}),
      browser_(link_, hooks_.browser) {
  InitAppResources();
  CreatePopMenu();
  CreateTrayIcon();

  timerIpList_.setInterval(hooks_.ipListInterval);
  connect(&timerIpList_, &QTimer::timeout, this, &TfmZephraWifi::TimerIpListTimer);

  FollowTray();
  timerTray_.setInterval(TrayCheckInterval);
  connect(&timerTray_, &QTimer::timeout, this, &TfmZephraWifi::FollowTray);
  timerTray_.start();
}

TfmZephraWifi::~TfmZephraWifi() {
  if (!closed_) {
    TearDown();
  }
}

void TfmZephraWifi::CreatePopMenu() {
  QAction* install = popMenu_.addAction(QString::fromUtf8(MenuInstallPhoneApp));
  install->setObjectName(QStringLiteral("N1"));
  connect(install, &QAction::triggered, this, &TfmZephraWifi::N1Click);

  QAction* browser = popMenu_.addAction(QString::fromUtf8(MenuBrowserPhone));
  browser->setObjectName(QStringLiteral("NBrowser"));
  connect(browser, &QAction::triggered, this, &TfmZephraWifi::NBrowserClick);

  QAction* about = popMenu_.addAction(QString::fromUtf8(MenuAbout));
  about->setObjectName(QStringLiteral("N2"));
  connect(about, &QAction::triggered, this, &TfmZephraWifi::N2Click);

  popMenu_.addSeparator()->setObjectName(QStringLiteral("N3"));

  QAction* close = popMenu_.addAction(QString::fromUtf8(MenuClose));
  close->setObjectName(QStringLiteral("NClose"));
  connect(close, &QAction::triggered, this, &TfmZephraWifi::NCloseClick);
}

void TfmZephraWifi::CreateTrayIcon() {
  QIcon icon;
  for (const char* file : IconFiles) {
    icon.addFile(QString::fromLatin1(file));
  }
  trayIcon_.setIcon(icon);
  trayIcon_.setToolTip(QString::fromUtf8(AppTitle));
  // The right button opens the menu at the pointer.
  trayIcon_.setContextMenu(&popMenu_);
  trayIcon_.show();
}

void TfmZephraWifi::FollowTray() {
  if (closed_) return;
  if (!hooks_.systemTrayAvailable || hooks_.systemTrayAvailable()) {
    if (menuWindow_) menuWindow_->hide();
    return;
  }
  if (!menuWindow_) {
    // Its close button ends the program, as the menu's close item does.
    menuWindow_ = std::make_unique<TfmMenuWindow>(popMenu_, trayIcon_.toolTip(), trayIcon_.icon(),
                                                  [this] { NCloseClick(); });
  }
  if (menuWindow_->isHidden()) menuWindow_->ShowCentred();
}

bool TfmZephraWifi::StartService() {
  // The viewer exists before the servers listen, so that a list from a phone that joins at
  // once is not dropped.
  if (!viewer_) {
    CreateViewer();
  }
  if (PartnerHotspotRunning()) {
    if (!link_.StartServers()) {
      SetServersActive(false);
      ShowMessage(QString::fromUtf8(MessageServiceFailed));
      return false;
    }
    ShowTip(TipServiceStarted, TipMilliseconds);
    FollowLink(true);
    if (hooks_.linkSwitchedOn) hooks_.linkSwitchedOn();
  } else {
    // The servers stay off until the hotspot watch finds the partner.
    ShowTip(TipPartnerMissing, TipMilliseconds);
  }
  // The tip lets pending events run; a close request among them has shut everything down.
  if (closed_) {
    return true;
  }
  watch_.TakeAddresses();
  timerIpList_.start();
  // A hotspot that came or went while the toast went up is followed now.
  serviceStarted_ = true;
  watch_.HotspotChanged();
  return true;
}

void TfmZephraWifi::CreateViewer() {
  requests_.SetService([this](std::int32_t kind, std::int32_t& id, const QString& name,
                              const QString& path) { return ViewerRequest(kind, id, name, path); });
  view_ = std::make_unique<viewer::TfmView>(cache_, requests_, abortLoad_, hooks_.viewer);
  view_->InitViewer();
  view_->SetOnClosed([this] { ViewerClosed(); });
  view_->SetOnShown([this](int index, int count) {
    if (BrowserHolds()) browser_.PictureShown(index, count);
  });
  viewer_ = std::make_shared<viewer::TViewerPort>(*view_);
  const auto done = [this](std::int32_t id, std::int32_t code) { requests_.RequestDone(id, code); };
  downloadThread_.SetRequestDone(done);
  browser_.SetRequestDone(done);
  link_.SetViewer(viewer_);
}

void TfmZephraWifi::SetServersActive(bool active) {
  const bool wasOn = link_.ServerActive() && link_.Server2Active();
  link_.SetServersActive(active);
  const bool on = link_.ServerActive() && link_.Server2Active();
  FollowLink(on);
  if (on && !wasOn && hooks_.linkSwitchedOn) hooks_.linkSwitchedOn();
}

// The browser phone's server runs while the link does, and for good once its window opened.
// A failure to start it is not the link's: the link goes on without it.
void TfmZephraWifi::FollowLink(bool linkOn) {
  browser_.SetActive(linkOn || (browserPinned_ && !closed_));
}

bool TfmZephraWifi::BrowserHolds() const {
  return link_.Session().Name == QByteArray(browser::BrowserPhoneName);
}

void TfmZephraWifi::HotspotChanged() {
  if (!serviceStarted_ || closed_ || !trayIcon_.isVisible()) return;
  watch_.HotspotChanged();
}

bool TfmZephraWifi::DestroyViewer() {
  if (!view_) {
    return true;
  }
  // Commands from the phone that are still on their way are dropped from here on.
  link_.SetViewer(nullptr);
  viewer_->Detach();
  viewer_.reset();
  view_->Close();  // a session's phone is told that the viewer closed
  view_->FreeViewer();
  downloadThread_.SetRequestDone({});
  browser_.SetRequestDone({});
  view_.reset();
  cache_.Empty();
  requests_.CancelAllRequests();
  requests_.SetService({});
  return false;
}

void TfmZephraWifi::ViewerClosed() {
  if (BrowserHolds()) {
    browser_.ViewerClosed();
  } else {
    link_.SendViewStop(link::ViewStopClosedByUser);
  }
}

std::int32_t TfmZephraWifi::ViewerRequest(std::int32_t kind, std::int32_t& id, const QString& name,
                                          const QString& path) {
  switch (kind) {
    case link::rkRequestFile: {
      const std::int32_t next = requestCounter_.Take();
      // The session's own transport brings the file: the chunk engine for an app phone, the
      // page's uploads for a browser.
      if (BrowserHolds()) {
        browser_.AddRequest(next, name, path);
      } else {
        downloadThread_.AddRequest(next, name, path);
      }
      id = next;  // handed back also when the file was already there
      return 0;
    }
    case link::rkCancel:
      downloadThread_.CancelRequest(id);
      browser_.CancelRequest(id);
      return 0;
    case link::rkMayPopUp:
      return NotInGameMode() ? 1 : 0;
    default:
      return 0;
  }
}

void TfmZephraWifi::N1Click() {
  if (httpServer_.Active()) return;  // the install window is open already
  QStringList addresses;
  if (hooks_.localIpList) hooks_.localIpList(addresses);
  std::optional<QString> address = install::HotspotAddress(addresses);
  if (hooks_.hotspotAddress && !hooks_.hotspotAddress().isEmpty())
    address = hooks_.hotspotAddress();
  if (!address) {
    ShowTip(install::TipNoInstallAddress, install::TipMilliseconds);
    return;
  }
  if (!httpServer_.SetActive(true)) {
    ShowMessage(httpServer_.ErrorText());
    return;
  }
  install::ShowInstallWindow(install::DownloadAddress(*address, httpServer_.Port()));
  if (!httpServer_.SetActive(false)) ShowMessage(httpServer_.ErrorText());
}

void TfmZephraWifi::N2Click() { ShowMessage(AboutText(ProgramVersion())); }

QString TfmZephraWifi::BrowserAddress() const {
  if (hooks_.hotspotAddress && !hooks_.hotspotAddress().isEmpty()) return hooks_.hotspotAddress();
  if (PartnerHotspotRunning()) {
    QStringList addresses;
    if (hooks_.localIpList) hooks_.localIpList(addresses);
    if (const std::optional<QString> address = install::HotspotAddress(addresses)) return *address;
  }
  return hooks_.defaultRouteAddress ? hooks_.defaultRouteAddress() : QString();
}

void TfmZephraWifi::NBrowserClick() {
  if (browserWindowOpen_ || closed_) return;
  const QString address = BrowserAddress();
  if (address.isEmpty()) {
    ShowTip(TipNoBrowserAddress, TipMilliseconds);
    return;
  }
  browserPinned_ = true;
  if (!browser_.Active() && !browser_.SetActive(true)) {
    ShowMessage(QString::fromStdString(browser_.ErrorText()));
    return;
  }
  const QString page = QStringLiteral("http://%1:%2").arg(address).arg(browser_.Port());
  browserWindowOpen_ = true;
  install::ShowQrWindow(
      (page + QStringLiteral("/#") + QString::fromStdString(browser_.Token())).toLatin1(),
      QString::fromUtf8(MenuBrowserPhone), page);
  browserWindowOpen_ = false;
}

void TfmZephraWifi::NCloseClick() { FormClose(); }

void TfmZephraWifi::FormClose() {
  if (closed_) {
    return;
  }
  TearDown();
  CloseTip();
  emit FormClosed();
}

void TfmZephraWifi::TearDown() {
  closed_ = true;
  trayIcon_.hide();
  timerTray_.stop();
  if (menuWindow_) menuWindow_->hide();
  timerIpList_.stop();
  DestroyViewer();
  // The browser's session ends with its server; nothing of it may wait for the viewer.
  browser_.SetActive(false);
  // Connection threads that end from here on must not touch the session or the lists.
  link_.DetachDisconnectHandlers();
  // Closing every connection first frees an engine blocked writing to a phone that stopped
  // reading; the engine then stops with nothing left to send to.
  link_.DropAllConnections(false);
  downloadThread_.Stop();
  // A transfer that ended while the viewer went may have placed one more file.
  cache_.Empty();
  SetServersActive(false);
}

void TfmZephraWifi::TimerIpListTimer() {
  timerIpList_.stop();
  if (!trayIcon_.isVisible()) {
    return;  // the program is closing: no switching any more
  }
  watch_.Tick();
  timerIpList_.start();
}

bool TfmZephraWifi::SessionPresent() const { return link_.SessionPresent(); }

bool TfmZephraWifi::ViewerShowing() const { return view_ && !view_->ViewerHidden(); }

TfmZephraWifi::Clock::time_point TfmZephraWifi::LastActive() const { return link_.LastActive(); }

void TfmZephraWifi::CloseViewerQuietly() { link_.CloseViewerQuietly(); }

void TfmZephraWifi::DropAllConnections(bool reattach) { link_.DropAllConnections(reattach); }

bool TfmZephraWifi::ServerActive() const { return link_.ServerActive(); }

bool TfmZephraWifi::Server2Active() const { return link_.Server2Active(); }

bool TfmZephraWifi::PartnerHotspotRunning() const {
  return hooks_.partnerHotspotRunning && hooks_.partnerHotspotRunning();
}

bool TfmZephraWifi::NotInGameMode() const {
  return !hooks_.notInGameMode || hooks_.notInGameMode();
}

void TfmZephraWifi::ShowTip(const char* text, int milliseconds) const {
  if (hooks_.showTip) {
    hooks_.showTip(QString::fromUtf8(text), milliseconds);
  }
}

void TfmZephraWifi::CloseTip() const {
  if (hooks_.closeTip) {
    hooks_.closeTip();
  }
}

void TfmZephraWifi::ShowMessage(const QString& text) const {
  if (hooks_.showMessage) {
    hooks_.showMessage(text);
  }
}

}  // namespace zephra::app
