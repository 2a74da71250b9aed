#include "shell/nm_hotspot.h"

namespace zephra::shell {
namespace {

constexpr char WifiType[] = "802-11-wireless";
constexpr unsigned ActivatedState = 2;
constexpr unsigned AccessPointMode = 3;

bool IsHotspot(const platform::TNmActiveConnection& connection) {
  if (connection.type != QLatin1String(WifiType) || connection.state != ActivatedState) {
    return false;
  }
  if (connection.wifiMode && connection.ipv4Method) {
    const bool sharing = *connection.wifiMode == QLatin1String("ap") ||
                         *connection.wifiMode == QLatin1String("adhoc");
    return sharing && *connection.ipv4Method == QLatin1String("shared");
  }
  return connection.deviceMode == AccessPointMode;
}

}  // namespace

std::optional<TNmHotspot> NmHotspotOf(const std::vector<platform::TNmActiveConnection>& list) {
  for (const platform::TNmActiveConnection& connection : list) {
    if (!IsHotspot(connection)) continue;
    return TNmHotspot{connection.addresses.value(0), connection.interfaceName};
  }
  return std::nullopt;
}

TNmHotspotSource::TNmHotspotSource(std::function<void()> onChange,
                                   std::chrono::milliseconds debounce)
    : onChange_(std::move(onChange)),
      watch_([this](const std::vector<platform::TNmActiveConnection>& list) { Take(list); },
             debounce) {}

void TNmHotspotSource::Take(const std::vector<platform::TNmActiveConnection>& list) {
  std::optional<TNmHotspot> hotspot = NmHotspotOf(list);
  if (hotspot == hotspot_) return;
  hotspot_ = std::move(hotspot);
  if (onChange_) onChange_();
}

}  // namespace zephra::shell
