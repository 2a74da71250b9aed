#include <QDir>

#include "platform/user_cache_base.h"

namespace zephra::platform {

QString UserCacheBase() {
  // The roaming application data folder, as the shell names it for the user.
  const QString appData = qEnvironmentVariable("APPDATA");
  return appData.isEmpty() ? QString() : QDir::fromNativeSeparators(appData);
}

}  // namespace zephra::platform
