#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

namespace zephra::install {

// The address a phone on the hotspot's network reaches the PC at: the first of `addresses`
// (dotted IPv4 texts, sorted) whose last two characters are ".1" (so 10.0.0.11 does not
// qualify); nullopt when none does.
std::optional<QString> HotspotAddress(const QStringList& addresses);

// The download address for the QR symbol: "http://" + `address` + ":" + `port` + "/Zephra.apk",
// in the system's 8-bit encoding.
QByteArray DownloadAddress(const QString& address, std::uint16_t port);

}  // namespace zephra::install
