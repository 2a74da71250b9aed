#pragma once

#include <QStringList>

namespace zephra::platform {

// The PC's own IPv4 addresses in dotted form, in no particular order: those of the network
// interfaces that are up, loopback excluded (on Windows, those the host name resolves to).
// Empty when none can be found.
QStringList LocalIpv4Addresses();

}  // namespace zephra::platform
