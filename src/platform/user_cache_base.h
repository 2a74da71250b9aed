#pragma once

#include <QString>

namespace zephra::platform {

// The per-user folder under which the program keeps its picture cache: the roaming application
// data folder on Windows, $XDG_CACHE_HOME (by default ~/.cache) elsewhere. Empty when the system
// names none.
QString UserCacheBase();

}  // namespace zephra::platform
