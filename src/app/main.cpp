// zephra-wifi: the tray-resident companion that shows a phone's pictures on this PC.

#include <QApplication>

#include "app/app_constants.h"
#include "app/app_version.h"
#include "app/message_box.h"
#include "app/tfm_zephra_wifi.h"
#include "platform/file_version.h"
#include "platform/process_exit.h"
#include "platform/single_instance.h"
#include "platform/termination_watch.h"
#include "shell/game_mode.h"
#include "shell/local_ip.h"
#include "shell/partner_probe.h"
#include "shell/tfm_tips.h"

// The program file carries its version, as FileVersionText reads it.
ZEPHRA_FILE_VERSION_NOTE(zephra::app::VersionMajor, zephra::app::VersionMinor,
                         zephra::app::VersionRelease, zephra::app::VersionBuild);

namespace {

using zephra::app::TfmZephraWifi;

TfmZephraWifi::THooks ProgramHooks(zephra::shell::TPartnerProbe& partner) {
  TfmZephraWifi::THooks hooks;
  hooks.partnerHotspotRunning = [&partner] { return partner.PartnerHotspotRunning(); };
  hooks.localIpText = zephra::shell::LocalIpText;
  hooks.localIpList = zephra::shell::LocalIpList;
  hooks.showTip = zephra::shell::ShowTip;
  hooks.closeTip = zephra::shell::CloseTip;
  hooks.showMessage = zephra::app::ShowMessageBox;
  hooks.notInGameMode = [] { return zephra::shell::NotInGameMode(); };
  return hooks;
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  // The form is never shown and message boxes come and go: only the tray's close item ends
  // the program.
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

  // The link listens on the fixed ports. Without a system tray the icon simply isn't shown;
  // the program still serves the phone (and Qt shows the icon once a tray appears).
  zephra::shell::TPartnerProbe partner;
  TfmZephraWifi form(zephra::link::TLinkConfig{}, ProgramHooks(partner));
  // Message boxes carry the program icon too.
  app.setWindowIcon(form.TrayIcon().icon());
  QObject::connect(&form, &TfmZephraWifi::FormClosed, &app, &QCoreApplication::quit);
  running = &form;

  // A close request served while the service started has ended everything already; the loop
  // would then never be told to quit.
  if (form.StartService() && !form.Closed()) {
    app.exec();
  }

  // A hard stop: threads that are still running end with the process.
  instance.Release();
  zephra::platform::TerminateOwnProcess(0);
}
