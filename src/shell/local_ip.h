#pragma once

#include <QByteArray>
#include <QStringList>

namespace zephra::shell {

// The PC's IPv4 addresses as dotted text, sorted as text, each followed by CR LF; the result is
// the number of addresses (0 with an empty text when none are found).
int LocalIpText(QByteArray& text);
// The same addresses, sorted, into `list` (emptied first); the result is their number.
int LocalIpList(QStringList& list);

// The address text of `addresses` in the form LocalIpText gives (sorted here).
QByteArray IpText(QStringList addresses);

}  // namespace zephra::shell
