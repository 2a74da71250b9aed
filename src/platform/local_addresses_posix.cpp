#include <QNetworkInterface>

#include "platform/local_addresses.h"

namespace zephra::platform {

QStringList LocalIpv4Addresses() {
  QStringList addresses;
  const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
  for (const QNetworkInterface& interface : interfaces) {
    const auto flags = interface.flags();
    if (!flags.testFlag(QNetworkInterface::IsUp) || flags.testFlag(QNetworkInterface::IsLoopBack)) {
      continue;
    }
    for (const QNetworkAddressEntry& entry : interface.addressEntries()) {
      const QHostAddress ip = entry.ip();
      if (ip.protocol() == QAbstractSocket::IPv4Protocol && !ip.isLoopback()) {
        addresses << ip.toString();
      }
    }
  }
  return addresses;
}

}  // namespace zephra::platform
