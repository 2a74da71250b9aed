#include "shell/partner_probe.h"

#include "platform/partner_window.h"
#include "platform/processes.h"
#include "shell/shell_constants.h"

namespace zephra::shell {

TPartnerSystem PlatformPartnerSystem() {
  TPartnerSystem system;
  system.findPartnerWindowProcess = [] {
    return platform::FindTopLevelWindowProcess(QString::fromUtf8(PartnerWindowClass),
                                               QString::fromUtf8(PartnerWindowTitle));
  };
  system.processExeName = platform::ProcessExeName;
  system.countProcesses = platform::CountProcesses;
  return system;
}

TPartnerProbe::TPartnerProbe(TPartnerSystem system) : system_(std::move(system)) {}

bool TPartnerProbe::PartnerHotspotRunning() {
  if (partnerExeName_.isEmpty()) {
    LearnPartnerExeName();
  }
  if (partnerExeName_.isEmpty()) {
    return false;
  }
  return system_.countProcesses(partnerExeName_, PartnerProcessCount);
}

void TPartnerProbe::LearnPartnerExeName() {
  if (const std::optional<std::int64_t> pid = system_.findPartnerWindowProcess()) {
    partnerExeName_ = system_.processExeName(*pid);
  }
}

}  // namespace zephra::shell
