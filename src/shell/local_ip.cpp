#include "shell/local_ip.h"

#include "platform/local_addresses.h"

namespace zephra::shell {

namespace {

constexpr char LineEnd[] = "\r\n";

}  // namespace

QByteArray IpText(QStringList addresses) {
  addresses.sort();
  QByteArray text;
  for (const QString& address : addresses) {
    text += address.toLatin1() + LineEnd;
  }
  return text;
}

int LocalIpText(QByteArray& text) {
  const QStringList addresses = platform::LocalIpv4Addresses();
  text = IpText(addresses);
  return static_cast<int>(addresses.size());
}

int LocalIpList(QStringList& list) {
  list = platform::LocalIpv4Addresses();
  list.sort();
  return static_cast<int>(list.size());
}

}  // namespace zephra::shell
