// zephra-wifi: the tray-resident companion that shows a phone's pictures on this PC.

#include <QApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>

#include "app/app_constants.h"
#include "app/app_version.h"
#include "app/message_box.h"
#include "app/tfm_zephra_wifi.h"
#include "platform/default_route.h"
#include "platform/display_check.h"
#include "platform/file_version.h"
#include "platform/process_exit.h"
#include "platform/single_instance.h"
#include "platform/termination_watch.h"
#include "shell/firewall_check.h"
#include "shell/game_mode.h"
#include "shell/local_ip.h"
#include "shell/nm_hotspot.h"
#include "shell/partner_probe.h"
#include "shell/tfm_tips.h"

// The program file carries its version, as FileVersionText reads it.
ZEPHRA_FILE_VERSION_NOTE(zephra::app::VersionMajor, zephra::app::VersionMinor,
                         zephra::app::VersionRelease, zephra::app::VersionBuild);

namespace {

using zephra::app::TfmZephraWifi;

// How long the start waits for NetworkManager's first answer, so that a hotspot already on
// switches the link on at once; later changes arrive as they happen.
constexpr int FirstHotspotReadingMs = 600;

// The link is on while the partner program runs or NetworkManager runs a hotspot; the install
// window offers the hotspot's own address; once the link is on, the firewall is asked about the
// hotspot's interface.
TfmZephraWifi::THooks ProgramHooks(zephra::shell::TPartnerProbe& partner,
                                   const zephra::shell::TNmHotspotSource& hotspot,
                                   zephra::shell::TFirewallCheck& firewall) {
  TfmZephraWifi::THooks hooks;
  hooks.partnerHotspotRunning = [&partner, &hotspot] {
    return hotspot.Hotspot().has_value() || partner.PartnerHotspotRunning();
  };
  hooks.localIpText = zephra::shell::LocalIpText;
  hooks.localIpList = zephra::shell::LocalIpList;
  hooks.showTip = zephra::shell::ShowTip;
  hooks.closeTip = zephra::shell::CloseTip;
  hooks.showMessage = zephra::app::ShowMessageBox;
  hooks.notInGameMode = [] { return zephra::shell::NotInGameMode(); };
  hooks.hotspotAddress = [&hotspot] {
    return hotspot.Hotspot() ? hotspot.Hotspot()->address : QString();
  };
  hooks.defaultRouteAddress = zephra::platform::DefaultRouteAddress;
  hooks.systemTrayAvailable = QSystemTrayIcon::isSystemTrayAvailable;
  hooks.linkSwitchedOn = [&hotspot, &firewall] {
    if (hotspot.Hotspot()) firewall.LinkOn(hotspot.Hotspot()->interfaceName);
  };
  return hooks;
}

// Runs the event loop until NetworkManager has answered once, at most FirstHotspotReadingMs.
void WaitForFirstReading(const zephra::shell::TNmHotspotSource& hotspot) {
  if (hotspot.Ready()) return;
  QDeadlineTimer deadline(FirstHotspotReadingMs);
  QEventLoop loop;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (hotspot.Ready() || deadline.hasExpired()) loop.quit();
  });
  poll.start(10);
  loop.exec();
}

}  // namespace

int main(int argc, char* argv[]) {
  zephra::platform::PreferX11();
  // Without a display Qt would abort (and dump core) after its own lines about plugins.
  if (const QString problem = zephra::platform::DisplayProblem(); !problem.isEmpty()) {
    std::fprintf(stderr, "%s\n", problem.toLocal8Bit().constData());
    return 1;
  }
  QApplication app(argc, argv);
  // The form is never shown and message boxes come and go: only the menu's close item (or the
  // close button of the menu's window, without a tray) ends the program.
  app.setQuitOnLastWindowClosed(false);

  zephra::platform::TSingleInstance instance;
  if (!instance.Acquire(QString::fromLatin1(zephra::app::SingleInstanceName))) {
    return 0;  // another copy runs: leave silently
  }

  // SIGTERM/SIGINT (console events on Windows) close the program like the menu item does. The
  // watch goes up first so that a request during start-up isn't lost: it is served once the
  // event loop runs, when the form exists.
  TfmZephraWifi* running = nullptr;
  zephra::platform::TTerminationWatch termination([&running] {
    if (running) running->NCloseClick();
  });

  // The link listens on the fixed ports. Without a system tray the menu shows as a window
  // instead of the icon (which Qt shows once a tray appears).
  zephra::shell::TPartnerProbe partner;
  zephra::shell::TFirewallCheck firewall(zephra::shell::ShowTip);
  // A hotspot that comes while the link is on already (through the partner) is checked too.
  zephra::shell::TNmHotspotSource hotspot([&running, &firewall, &hotspot] {
    if (!running) return;
    running->HotspotChanged();
    if (hotspot.Hotspot() && running->Link().ServerActive()) {
      firewall.LinkOn(hotspot.Hotspot()->interfaceName);
    }
  });
  TfmZephraWifi form(zephra::link::TLinkConfig{}, ProgramHooks(partner, hotspot, firewall));
  // Message boxes carry the program icon too.
  app.setWindowIcon(form.TrayIcon().icon());
  QObject::connect(&form, &TfmZephraWifi::FormClosed, &app, &QCoreApplication::quit);
  running = &form;
  hotspot.Start();
  WaitForFirstReading(hotspot);

  // A close request served while the service started has ended everything already; the loop
  // would then never be told to quit.
  if (!form.Closed() && form.StartService() && !form.Closed()) {
    app.exec();
  }

  // A hard stop: threads that are still running end with the process.
  instance.Release();
  zephra::platform::TerminateOwnProcess(0);
}
