#pragma once

// Asynchronous D-Bus calls with a short time-out, for the watches on the system bus. Private to
// src/platform/.

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QString>
#include <QVariant>
#include <functional>

namespace zephra::platform {

inline constexpr char PropertiesIface[] = "org.freedesktop.DBus.Properties";
// No call on the system bus may hold anything up for longer.
inline constexpr int DBusCallTimeoutMs = 500;

// org.freedesktop.DBus.Properties.Get and GetAll of `interface` on `path` of `service`.
QDBusMessage PropertyGet(const char* service, const QString& path, const char* interface,
                         const char* property);
QDBusMessage PropertyGetAll(const char* service, const QString& path, const char* interface);

// The reply's first value, a variant unwrapped; invalid for an error or an empty reply.
QVariant ReplyValue(const QDBusMessage& reply);

// Sends `call` and hands the reply (or the error, a time-out among them) to `done` on
// `context`'s thread; nothing is called once `context` is gone.
void CallAsync(const QDBusConnection& bus, const QDBusMessage& call, QObject* context,
               std::function<void(const QDBusMessage&)> done);

}  // namespace zephra::platform
