#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusServiceWatcher>
#include <QSet>
#include <QTimer>

#include "platform/dbus_calls.h"
#include "platform/network_manager.h"

namespace zephra::platform {
namespace {

constexpr char NmService[] = "org.freedesktop.NetworkManager";
constexpr char NmPath[] = "/org/freedesktop/NetworkManager";
constexpr char NmInterface[] = "org.freedesktop.NetworkManager";
constexpr char ActiveInterface[] = "org.freedesktop.NetworkManager.Connection.Active";
constexpr char DeviceInterface[] = "org.freedesktop.NetworkManager.Device";
constexpr char WirelessInterface[] = "org.freedesktop.NetworkManager.Device.Wireless";
constexpr char Ip4Interface[] = "org.freedesktop.NetworkManager.IP4Config";
constexpr char SettingsInterface[] = "org.freedesktop.NetworkManager.Settings.Connection";
constexpr char WifiType[] = "802-11-wireless";
constexpr char NoObject[] = "/";

using TSettings = QMap<QString, QVariantMap>;

// One reading of the active connections: the list grows once, then each entry is filled by the
// replies that come for it; the reading ends when no call is outstanding.
struct TReading {
  std::vector<TNmActiveConnection> list;
  QSet<QString> paths;  // every object read, whose changes call for a new reading
  int pending = 0;
};

QStringList ObjectPaths(const QVariant& value) {
  QStringList paths;
  for (const QDBusObjectPath& path : qdbus_cast<QList<QDBusObjectPath>>(value)) {
    paths << path.path();
  }
  return paths;
}

QString ObjectPath(const QVariant& value) { return qdbus_cast<QDBusObjectPath>(value).path(); }

// A setting's text; empty when the settings leave it out.
QString SettingText(const TSettings& settings, const char* group, const char* key) {
  return settings.value(QString::fromLatin1(group)).value(QString::fromLatin1(key)).toString();
}

}  // namespace

class TNetworkManagerWatch::TImpl : public QObject {
  Q_OBJECT

 public:
  TImpl(ChangeFn onChange, std::chrono::milliseconds debounce)
      : bus_(QDBusConnection::systemBus()), onChange_(std::move(onChange)) {
    debounce_.setSingleShot(true);
    debounce_.setInterval(debounce);
    connect(&debounce_, &QTimer::timeout, this, &TImpl::Read);
  }

  void Start() {
    if (!bus_.isConnected()) {
      hasRead_ = true;  // no system bus: nothing to follow
      return;
    }
    auto* service = new QDBusServiceWatcher(
        QString::fromLatin1(NmService), bus_,
        QDBusServiceWatcher::WatchForRegistration | QDBusServiceWatcher::WatchForUnregistration,
        this);
    connect(service, &QDBusServiceWatcher::serviceRegistered, this, &TImpl::Schedule);
    connect(service, &QDBusServiceWatcher::serviceUnregistered, this, &TImpl::Schedule);
    // Any object's changes reach OnPropertiesChanged, which keeps those of the objects read.
    bus_.connect(QString::fromLatin1(NmService), QString(), QString::fromLatin1(PropertiesIface),
                 QStringLiteral("PropertiesChanged"), this,
                 SLOT(OnPropertiesChanged(QDBusMessage)));
    bus_.connect(QString::fromLatin1(NmService), QString(), QString::fromLatin1(ActiveInterface),
                 QStringLiteral("StateChanged"), this, SLOT(Schedule()));
    Read();
  }

  bool HasRead() const { return hasRead_; }
  const std::vector<TNmActiveConnection>& Connections() const { return connections_; }

 public slots:
  void Schedule() { debounce_.start(); }

  void OnPropertiesChanged(const QDBusMessage& message) {
    if (paths_.contains(message.path())) Schedule();
  }

 private:
  void Read();
  void ReadActive(const std::shared_ptr<TReading>& reading, std::size_t index);
  void ReadWifiDetails(const std::shared_ptr<TReading>& reading, std::size_t index,
                       const QVariantMap& active);
  void Settle(const std::shared_ptr<TReading>& reading);
  void Call(const std::shared_ptr<TReading>& reading, const QDBusMessage& message,
            std::function<void(const QDBusMessage&)> done) {
    ++reading->pending;
    CallAsync(bus_, message, this, [this, reading, done = std::move(done)](const QDBusMessage& r) {
      done(r);
      Settle(reading);
    });
  }

  QDBusConnection bus_;
  const ChangeFn onChange_;
  QTimer debounce_;
  bool hasRead_ = false;
  bool reading_ = false;
  bool readAgain_ = false;  // a change came while a reading was under way
  QSet<QString> paths_{QString::fromLatin1(NmPath)};
  std::vector<TNmActiveConnection> connections_;
};

void TNetworkManagerWatch::TImpl::Read() {
  if (reading_) {
    readAgain_ = true;
    return;
  }
  reading_ = true;
  readAgain_ = false;
  auto reading = std::make_shared<TReading>();
  reading->paths.insert(QString::fromLatin1(NmPath));
  Call(reading,
       PropertyGet(NmService, QString::fromLatin1(NmPath), NmInterface, "ActiveConnections"),
       [this, reading](const QDBusMessage& reply) {
         for (const QString& path : ObjectPaths(ReplyValue(reply))) {
           TNmActiveConnection connection;
           connection.path = path;
           reading->list.push_back(std::move(connection));
         }
         for (std::size_t i = 0; i < reading->list.size(); ++i) ReadActive(reading, i);
       });
}

void TNetworkManagerWatch::TImpl::ReadActive(const std::shared_ptr<TReading>& reading,
                                             std::size_t index) {
  const QString path = reading->list[index].path;
  reading->paths.insert(path);
  Call(reading, PropertyGetAll(NmService, path, ActiveInterface),
       [this, reading, index](const QDBusMessage& reply) {
         const QVariantMap active = qdbus_cast<QVariantMap>(ReplyValue(reply));
         TNmActiveConnection& connection = reading->list[index];
         connection.type = active.value(QStringLiteral("Type")).toString();
         connection.state = active.value(QStringLiteral("State")).toUInt();
         if (connection.type == QLatin1String(WifiType)) ReadWifiDetails(reading, index, active);
       });
}

// The settings (mode, IPv4 method), the addresses and the first device (interface, mode).
void TNetworkManagerWatch::TImpl::ReadWifiDetails(const std::shared_ptr<TReading>& reading,
                                                  std::size_t index, const QVariantMap& active) {
  const QString settings = ObjectPath(active.value(QStringLiteral("Connection")));
  if (!settings.isEmpty() && settings != QLatin1String(NoObject)) {
    const QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromLatin1(NmService), settings, QString::fromLatin1(SettingsInterface),
        QStringLiteral("GetSettings"));
    Call(reading, call, [reading, index](const QDBusMessage& reply) {
      if (reply.type() != QDBusMessage::ReplyMessage) return;  // private to another user
      const TSettings values = qdbus_cast<TSettings>(reply.arguments().value(0));
      reading->list[index].wifiMode = SettingText(values, "802-11-wireless", "mode");
      reading->list[index].ipv4Method = SettingText(values, "ipv4", "method");
    });
  }
  const QString ip4 = ObjectPath(active.value(QStringLiteral("Ip4Config")));
  if (!ip4.isEmpty() && ip4 != QLatin1String(NoObject)) {
    reading->paths.insert(ip4);
    Call(reading, PropertyGet(NmService, ip4, Ip4Interface, "AddressData"),
         [reading, index](const QDBusMessage& reply) {
           for (const QVariantMap& entry : qdbus_cast<QList<QVariantMap>>(ReplyValue(reply))) {
             const QString address = entry.value(QStringLiteral("address")).toString();
             if (!address.isEmpty()) reading->list[index].addresses << address;
           }
         });
  }
  const QStringList devices = ObjectPaths(active.value(QStringLiteral("Devices")));
  if (devices.isEmpty()) return;
  reading->paths.insert(devices.first());
  Call(reading, PropertyGet(NmService, devices.first(), DeviceInterface, "Interface"),
       [reading, index](const QDBusMessage& reply) {
         reading->list[index].interfaceName = ReplyValue(reply).toString();
       });
  Call(reading, PropertyGet(NmService, devices.first(), WirelessInterface, "Mode"),
       [reading, index](const QDBusMessage& reply) {
         if (reply.type() == QDBusMessage::ReplyMessage) {
           reading->list[index].deviceMode = ReplyValue(reply).toUInt();
         }
       });
}

void TNetworkManagerWatch::TImpl::Settle(const std::shared_ptr<TReading>& reading) {
  if (--reading->pending > 0) return;
  reading_ = false;
  hasRead_ = true;
  paths_ = reading->paths;
  if (reading->list != connections_) {
    connections_ = reading->list;
    if (onChange_) onChange_(connections_);
  }
  if (readAgain_) Schedule();
}

TNetworkManagerWatch::TNetworkManagerWatch(ChangeFn onChange, std::chrono::milliseconds debounce,
                                           QObject* parent)
    : QObject(parent), impl_(std::make_unique<TImpl>(std::move(onChange), debounce)) {}

TNetworkManagerWatch::~TNetworkManagerWatch() = default;

void TNetworkManagerWatch::Start() { impl_->Start(); }

bool TNetworkManagerWatch::HasRead() const { return impl_->HasRead(); }

const std::vector<TNmActiveConnection>& TNetworkManagerWatch::Connections() const {
  return impl_->Connections();
}

}  // namespace zephra::platform

#include "network_manager_dbus.moc"
