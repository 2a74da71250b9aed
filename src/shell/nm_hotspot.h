#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

#include "platform/network_manager.h"

namespace zephra::shell {

// A Wi-Fi hotspot that NetworkManager runs on this PC.
struct TNmHotspot {
  QString address;        // its own IPv4 address (NetworkManager's first); may be empty
  QString interfaceName;  // the Wi-Fi interface it runs on
  bool operator==(const TNmHotspot&) const = default;
};

// The first of NetworkManager's active connections that is a hotspot: a Wi-Fi connection in
// the activated state whose settings have the mode "ap" (or "adhoc", which nmcli falls back to)
// and the IPv4 method "shared", or, where the settings can't be read, whose device is an access
// point. Nothing when none is.
std::optional<TNmHotspot> NmHotspotOf(const std::vector<platform::TNmActiveConnection>& list);

// NetworkManager's hotspot as the hotspot watch sees it: follows NetworkManager (see
// platform::TNetworkManagerWatch) and calls `onChange` whenever a hotspot comes, goes or
// changes its address or interface. GUI thread.
class TNmHotspotSource {
 public:
  explicit TNmHotspotSource(std::function<void()> onChange,
                            std::chrono::milliseconds debounce = std::chrono::milliseconds(100));

  void Start() { watch_.Start(); }
  // True once NetworkManager has been asked for the first time (or can't be).
  bool Ready() const { return watch_.HasRead(); }
  const std::optional<TNmHotspot>& Hotspot() const { return hotspot_; }

 private:
  void Take(const std::vector<platform::TNmActiveConnection>& list);

  const std::function<void()> onChange_;
  std::optional<TNmHotspot> hotspot_;
  platform::TNetworkManagerWatch watch_;
};

}  // namespace zephra::shell
