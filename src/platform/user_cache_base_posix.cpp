#include <QStandardPaths>

#include "platform/user_cache_base.h"

namespace zephra::platform {

QString UserCacheBase() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
}

}  // namespace zephra::platform
