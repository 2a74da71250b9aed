// Where there is no firewalld (Windows): no zone is ever reported.

#include "platform/firewall_zone.h"

namespace zephra::platform {

void QueryFirewallZone(const QString&, QObject*,
                       std::function<void(std::optional<TFirewallZone>)> done) {
  done(std::nullopt);
}

}  // namespace zephra::platform
