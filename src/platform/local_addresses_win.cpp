#include <winsock2.h>
#include <ws2tcpip.h>

#include "platform/local_addresses.h"

namespace zephra::platform {

namespace {

constexpr WORD SocketLibraryVersion = MAKEWORD(2, 0);
constexpr int HostNameBufferSize = 260;

// The addresses the host name resolves to; what was found before an error is kept.
QStringList ResolveHostAddresses() {
  QStringList addresses;
  char hostName[HostNameBufferSize] = {};
  if (gethostname(hostName, HostNameBufferSize - 1) != 0) {
    return addresses;
  }
  addrinfo hints{};
  hints.ai_family = AF_INET;
  addrinfo* found = nullptr;
  if (getaddrinfo(hostName, nullptr, &hints, &found) != 0) {
    return addresses;
  }
  for (const addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
    const auto* ip = reinterpret_cast<const sockaddr_in*>(entry->ai_addr);
    char text[INET_ADDRSTRLEN] = {};
    if (inet_ntop(AF_INET, &ip->sin_addr, text, sizeof text) != nullptr &&
        !addresses.contains(QLatin1String(text))) {
      addresses << QString::fromLatin1(text);
    }
  }
  freeaddrinfo(found);
  return addresses;
}

}  // namespace

QStringList LocalIpv4Addresses() {
  WSADATA data{};
  if (WSAStartup(SocketLibraryVersion, &data) != 0) {
    return {};
  }
  QStringList addresses = ResolveHostAddresses();
  WSACleanup();
  return addresses;
}

}  // namespace zephra::platform
