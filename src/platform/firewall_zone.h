#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace zephra::platform {

// What firewalld holds for one zone.
struct TFirewallZone {
  QString name;
  QString target;         // "default", "ACCEPT", "DROP", "%%REJECT%%"
  QStringList services;   // e.g. "ssh", "zephra-wifi"
  QStringList ports;      // "22307/tcp", ranges as "22307-22309/tcp"
  QStringList richRules;  // as firewall-cmd writes them
};

// Asks firewalld on the system bus, without blocking, for the zone of `interfaceName` (the
// default zone when the interface is in none) and that zone's settings, and calls `done` on
// `context`'s thread with them; with nothing when firewalld doesn't run, doesn't answer in
// time or there is no system bus.
void QueryFirewallZone(const QString& interfaceName, QObject* context,
                       std::function<void(std::optional<TFirewallZone>)> done);

}  // namespace zephra::platform
