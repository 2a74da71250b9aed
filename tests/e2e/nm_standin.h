#pragma once

// A private D-Bus bus standing in for the system bus, with the NetworkManager stand-in
// (tools/nm-standin) on it, driven by its commands.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "child_process.h"

namespace zephra::e2e {

class NmStandin {
 public:
  // Starts the bus and the stand-in with `arguments`; false (with Error()) when either can't
  // come up, dbus-daemon or the stand-in's Python modules missing, say.
  bool Start(const QStringList& arguments = {});
  // The bus's address, for DBUS_SYSTEM_BUS_ADDRESS.
  const QString& Address() const { return address_; }
  // Sends one command ("up", "down", "restart", "address A") and returns its answer line, empty
  // when none came in time.
  QByteArray Command(const QByteArray& command);
  const QString& Error() const { return error_; }

 private:
  QByteArray ReadLine(QProcess& process, int ms);

  ChildProcess bus_;
  ChildProcess standin_;
  QString address_;
  QString error_;
};

}  // namespace zephra::e2e
