#include "install/install_address.h"

#include "install/install_constants.h"

namespace zephra::install {

std::optional<QString> HotspotAddress(const QStringList& addresses) {
  for (const QString& address : addresses) {
    if (address.endsWith(QLatin1String(".1"))) return address;
  }
  return std::nullopt;
}

QByteArray DownloadAddress(const QString& address, std::uint16_t port) {
  return (QStringLiteral("http://") + address + QLatin1Char(':') + QString::number(port) +
          QLatin1Char('/') + QLatin1String(PackageDocument))
      .toLocal8Bit();
}

}  // namespace zephra::install
