#include "shell/hotspot_watch.h"

#include "shell/shell_constants.h"

namespace zephra::shell {

THotspotWatch::THotspotWatch(IServiceControl& service, TWatchSources sources)
    : service_(service), sources_(std::move(sources)) {}

void THotspotWatch::TakeAddresses() {
  QByteArray text;
  if (sources_.localIpText) {
    sources_.localIpText(text);
  }
  ipText_ = text;
}

void THotspotWatch::Tick() {
  ++tickCount_;
  if (service_.SessionPresent()) {
    // The service state doesn't change under a session.
    CloseQuietViewer();
    return;
  }
  if (tickCount_ % CheckEveryTicks == 0) {
    FollowPartner();
  }
}

void THotspotWatch::HotspotChanged() {
  if (!service_.SessionPresent()) FollowPartner();
}

void THotspotWatch::CloseQuietViewer() {
  if (service_.ViewerShowing() && sources_.now() - service_.LastActive() > ViewerQuietLimit) {
    service_.CloseViewerQuietly();
  }
}

void THotspotWatch::FollowPartner() {
  const bool partnerRunning = sources_.partnerHotspotRunning && sources_.partnerHotspotRunning();
  // A listener that failed to start (its port taken, say) is tried again on every check tick,
  // also when the other one is up.
  if (partnerRunning) {
    RestartOnAddressChange();
    if (!service_.ServerActive() || !service_.Server2Active()) {
      service_.SetServersActive(true);
    }
  } else if (service_.ServerActive() || service_.Server2Active()) {
    service_.SetServersActive(false);
    service_.CloseViewerQuietly();
  }
}

// Listeners bound before an address came or went are stopped (every connection dropped) so that
// the start that follows covers the new set. Finding no address is never a change.
void THotspotWatch::RestartOnAddressChange() {
  QByteArray text;
  const int count = sources_.localIpText ? sources_.localIpText(text) : 0;
  if (count <= 0 || text == ipText_) {
    return;
  }
  service_.CloseViewerQuietly();
  service_.DropAllConnections(true);
  service_.SetServersActive(false);
  ipText_ = text;
}

}  // namespace zephra::shell
