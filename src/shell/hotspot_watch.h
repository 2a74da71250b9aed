#pragma once

#include <QByteArray>
#include <chrono>
#include <functional>

namespace zephra::shell {

// The phone-link service as the hotspot watch sees it.
class IServiceControl {
 public:
  using Clock = std::chrono::steady_clock;

  virtual ~IServiceControl() = default;
  virtual bool SessionPresent() const = 0;
  // True while the viewer window is on screen.
  virtual bool ViewerShowing() const = 0;
  // The session phone's last hello or keep-alive.
  virtual Clock::time_point LastActive() const = 0;
  virtual void CloseViewerQuietly() = 0;
  virtual void DropAllConnections(bool reattach) = 0;
  virtual void SetServersActive(bool active) = 0;
  // True while the control-channel (Server) or the data-channel (Server2) listener is active.
  virtual bool ServerActive() const = 0;
  virtual bool Server2Active() const = 0;
};

// Where the watch gets the partner's state, the address text and the time; tests give fakes.
struct TWatchSources {
  std::function<bool()> partnerHotspotRunning;
  // LocalIpText: fills the text, returns the number of addresses.
  std::function<int(QByteArray& text)> localIpText;
  std::function<IServiceControl::Clock::time_point()> now = IServiceControl::Clock::now;
};

// The hotspot watch, one Tick per TimerIpList period (the timer itself belongs to the tray
// form, which also stops ticking once the program closes). While a phone session is present it
// only closes a shown viewer whose phone has gone quiet for ViewerQuietLimit; otherwise, every
// third tick, it switches the link servers on and off with the partner hotspot and restarts them
// when the set of local addresses changes. GUI thread.
class THotspotWatch {
 public:
  THotspotWatch(IServiceControl& service, TWatchSources sources);

  // Takes the current address text as the one acted on (start of the service).
  void TakeAddresses();
  void Tick();
  // A hotspot source says something changed: the servers follow it at once, as on a check tick
  // (so nothing changes under a session; the next check ticks catch up once it ends).
  void HotspotChanged();

  unsigned TickCount() const { return tickCount_; }
  // FIpText: the address text last acted on.
  const QByteArray& IpText() const { return ipText_; }

 private:
  void CloseQuietViewer();
  void FollowPartner();
  void RestartOnAddressChange();

  IServiceControl& service_;
  const TWatchSources sources_;
  unsigned tickCount_ = 0;
  QByteArray ipText_;
};

}  // namespace zephra::shell
