#pragma once

// What the tests learn about this machine's TCP ports: whether one is free or listens, which
// processes hold it, and whether a program may listen on a port below 1024.

#include <QList>
#include <QString>
#include <QtGlobal>

namespace zephra::e2e {

// Longest wait for a connection to a port on this machine.
inline constexpr int ConnectMs = 1000;

// True when this process could listen on `port` of every IPv4 address.
bool PortFree(quint16 port);
// True when a connection to `port` on 127.0.0.1 is accepted within ConnectMs.
bool Accepts(quint16 port);

// A process with a listening TCP socket (IPv4 or IPv6) on a port, in this network namespace.
struct PortHolder {
  qint64 pid = 0;
  QString name;    // its /proc comm: the executable's name, cut at 15 characters
  uint owner = 0;  // its effective user id
};
// The processes whose open files this process may read that listen on `port`.
QList<PortHolder> PortHolders(quint16 port);

// True when the executable at `path`, started by this process, may listen on `port`: a port at
// or above the first unprivileged one, a test run by root, or the file capability
// cap_net_bind_service (permitted and effective) on the executable.
bool ExecutableMayListenOn(const char* path, quint16 port);

}  // namespace zephra::e2e
