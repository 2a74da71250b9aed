#include "platform/dbus_calls.h"

#include <QDBusPendingCallWatcher>
#include <QDBusVariant>

namespace zephra::platform {

QDBusMessage PropertyGet(const char* service, const QString& path, const char* interface,
                         const char* property) {
  QDBusMessage call =
      QDBusMessage::createMethodCall(QString::fromLatin1(service), path,
                                     QString::fromLatin1(PropertiesIface), QStringLiteral("Get"));
  call << QString::fromLatin1(interface) << QString::fromLatin1(property);
  return call;
}

QDBusMessage PropertyGetAll(const char* service, const QString& path, const char* interface) {
  QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(service), path,
                                                     QString::fromLatin1(PropertiesIface),
                                                     QStringLiteral("GetAll"));
  call << QString::fromLatin1(interface);
  return call;
}

QVariant ReplyValue(const QDBusMessage& reply) {
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return {};
  const QVariant value = reply.arguments().first();
  if (value.metaType() == QMetaType::fromType<QDBusVariant>()) {
    return value.value<QDBusVariant>().variant();
  }
  return value;
}

void CallAsync(const QDBusConnection& bus, const QDBusMessage& call, QObject* context,
               std::function<void(const QDBusMessage&)> done) {
  auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, DBusCallTimeoutMs), context);
  QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context,
                   [watcher, done = std::move(done)] {
                     done(watcher->reply());
                     watcher->deleteLater();
                   });
}

}  // namespace zephra::platform
