#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace zephra::platform {

// What NetworkManager tells of one of its active connections. The Wi-Fi details are read for
// Wi-Fi connections only.
struct TNmActiveConnection {
  QString path;        // the active connection's object path
  QString type;        // its connection type, e.g. "802-11-wireless"
  unsigned state = 0;  // NM_ACTIVE_CONNECTION_STATE_*: 2 is activated
  // The settings' 802-11-wireless.mode and ipv4.method; nothing when the settings can't be read
  // (a profile private to another user).
  std::optional<QString> wifiMode;
  std::optional<QString> ipv4Method;
  // The Wi-Fi device's Mode (NM_802_11_MODE_*: 3 is access point); nothing when unknown.
  std::optional<unsigned> deviceMode;
  QString interfaceName;  // the first device's interface
  QStringList addresses;  // the IPv4 addresses of its Ip4Config, in NetworkManager's order

  bool operator==(const TNmActiveConnection&) const = default;
};

// Follows NetworkManager on the system bus without ever blocking: every call is asynchronous
// with a short time-out. It reads the active connections anew a moment (`debounce`) after
// NetworkManager says that the list, one of them, its addresses or its device changed, and when
// NetworkManager comes onto the bus or leaves it (a restart is followed); `onChange` then gets
// the new list, if it differs from the last one. Without a system bus or without NetworkManager
// the list stays empty and `onChange` is never called. GUI thread.
class TNetworkManagerWatch : public QObject {
 public:
  using ChangeFn = std::function<void(const std::vector<TNmActiveConnection>&)>;

  TNetworkManagerWatch(ChangeFn onChange, std::chrono::milliseconds debounce,
                       QObject* parent = nullptr);
  ~TNetworkManagerWatch() override;

  // Subscribes and reads the list for the first time.
  void Start();
  // True once the first reading after Start has ended (at once where there is no system bus).
  bool HasRead() const;
  const std::vector<TNmActiveConnection>& Connections() const;

 private:
  class TImpl;
  std::unique_ptr<TImpl> impl_;
};

}  // namespace zephra::platform
