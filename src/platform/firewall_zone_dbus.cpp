#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <memory>

#include "platform/dbus_calls.h"
#include "platform/firewall_zone.h"

namespace zephra::platform {
namespace {

constexpr char FirewallService[] = "org.fedoraproject.FirewallD1";
constexpr char FirewallPath[] = "/org/fedoraproject/FirewallD1";
constexpr char FirewallInterface[] = "org.fedoraproject.FirewallD1";
constexpr char ZoneInterface[] = "org.fedoraproject.FirewallD1.zone";

QDBusMessage FirewallCall(const char* interface, const char* method) {
  return QDBusMessage::createMethodCall(
      QString::fromLatin1(FirewallService), QString::fromLatin1(FirewallPath),
      QString::fromLatin1(interface), QString::fromLatin1(method));
}

// The ports of a zone's settings, a(ss) of port and protocol, as "port/protocol".
QStringList PortTexts(const QVariant& value) {
  QStringList ports;
  if (value.metaType() != QMetaType::fromType<QDBusArgument>()) return ports;
  const QDBusArgument argument = value.value<QDBusArgument>();
  argument.beginArray();
  while (!argument.atEnd()) {
    QString port, protocol;
    argument.beginStructure();
    argument >> port >> protocol;
    argument.endStructure();
    ports << port + QLatin1Char('/') + protocol;
  }
  argument.endArray();
  return ports;
}

void QueryZoneSettings(const QDBusConnection& bus, const QString& zone, QObject* context,
                       std::function<void(std::optional<TFirewallZone>)> done) {
  QDBusMessage call = FirewallCall(ZoneInterface, "getZoneSettings2");
  call << zone;
  CallAsync(bus, call, context, [zone, done](const QDBusMessage& reply) {
    if (reply.type() != QDBusMessage::ReplyMessage) return done(std::nullopt);
    const QVariantMap settings = qdbus_cast<QVariantMap>(reply.arguments().value(0));
    TFirewallZone result;
    result.name = zone;
    result.target = settings.value(QStringLiteral("target")).toString();
    result.services = qdbus_cast<QStringList>(settings.value(QStringLiteral("services")));
    result.ports = PortTexts(settings.value(QStringLiteral("ports")));
    result.richRules = qdbus_cast<QStringList>(settings.value(QStringLiteral("rules_str")));
    done(result);
  });
}

}  // namespace

void QueryFirewallZone(const QString& interfaceName, QObject* context,
                       std::function<void(std::optional<TFirewallZone>)> done) {
  const QDBusConnection bus = QDBusConnection::systemBus();
  if (!bus.isConnected()) return done(std::nullopt);
  QDBusMessage call = FirewallCall(ZoneInterface, "getZoneOfInterface");
  call << interfaceName;
  CallAsync(bus, call, context, [bus, context, done](const QDBusMessage& reply) {
    if (reply.type() != QDBusMessage::ReplyMessage) return done(std::nullopt);
    const QString zone = ReplyValue(reply).toString();
    if (!zone.isEmpty()) return QueryZoneSettings(bus, zone, context, done);
    // An interface in no zone of its own is in the default zone.
    CallAsync(bus, FirewallCall(FirewallInterface, "getDefaultZone"), context,
              [bus, context, done](const QDBusMessage& answer) {
                const QString fallback = ReplyValue(answer).toString();
                if (fallback.isEmpty()) return done(std::nullopt);
                QueryZoneSettings(bus, fallback, context, done);
              });
  });
}

}  // namespace zephra::platform
