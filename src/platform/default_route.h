#pragma once

#include <QString>

namespace zephra::platform {

// The IPv4 address of the interface that carries the default route (the one a packet to the
// internet would leave from), in dotted form; empty when there is no such route.
QString DefaultRouteAddress();

}  // namespace zephra::platform
