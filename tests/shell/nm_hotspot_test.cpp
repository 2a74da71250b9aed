// Which of NetworkManager's connections is a hotspot, and whether a firewalld zone lets phones
// in.

#include "shell/nm_hotspot.h"

#include <gtest/gtest.h>

#include "shell/firewall_check.h"

namespace zephra::shell {
namespace {

using platform::TFirewallZone;
using platform::TNmActiveConnection;

TNmActiveConnection Wifi(QString mode, QString method, QStringList addresses = {"10.42.0.1"}) {
  TNmActiveConnection connection;
  connection.path = QStringLiteral("/org/freedesktop/NetworkManager/ActiveConnection/1");
  connection.type = QStringLiteral("802-11-wireless");
  connection.state = 2;
  connection.wifiMode = std::move(mode);
  connection.ipv4Method = std::move(method);
  connection.interfaceName = QStringLiteral("wlan0");
  connection.addresses = std::move(addresses);
  return connection;
}

TEST(NmHotspotTest, OnlyActivatedSharedAccessPointsCount) {
  EXPECT_EQ(NmHotspotOf({Wifi("ap", "shared")}), (TNmHotspot{"10.42.0.1", "wlan0"}));
  EXPECT_TRUE(NmHotspotOf({Wifi("adhoc", "shared")}));
  EXPECT_FALSE(NmHotspotOf({Wifi("infrastructure", "auto")}));
  EXPECT_FALSE(NmHotspotOf({Wifi("ap", "auto")}));
  EXPECT_FALSE(NmHotspotOf({}));

  TNmActiveConnection activating = Wifi("ap", "shared");
  activating.state = 1;
  EXPECT_FALSE(NmHotspotOf({activating}));
  TNmActiveConnection wired = Wifi("ap", "shared");
  wired.type = QStringLiteral("802-3-ethernet");
  EXPECT_FALSE(NmHotspotOf({wired}));

  // Settings private to another user: the device's access-point mode decides.
  TNmActiveConnection hidden = Wifi("", "");
  hidden.wifiMode.reset();
  hidden.ipv4Method.reset();
  EXPECT_FALSE(NmHotspotOf({hidden}));
  hidden.deviceMode = 3;
  EXPECT_TRUE(NmHotspotOf({hidden}));
  hidden.deviceMode = 2;
  EXPECT_FALSE(NmHotspotOf({hidden}));
}

TEST(NmHotspotTest, FirstHotspotGivesItsFirstAddress) {
  TNmActiveConnection second = Wifi("ap", "shared", {"10.42.1.1", "10.42.1.7"});
  second.interfaceName = QStringLiteral("wlan1");
  EXPECT_EQ(
      NmHotspotOf({Wifi("infrastructure", "auto", {"192.168.1.20"}), second, Wifi("ap", "shared")}),
      (TNmHotspot{"10.42.1.1", "wlan1"}));
  EXPECT_EQ(NmHotspotOf({Wifi("ap", "shared", {})})->address, QString());
}

TEST(FirewallCheckTest, ZoneMustOpenEveryPort) {
  // firewalld's own zone for shared connections: everything not listed is rejected.
  TFirewallZone shared{
      "nm-shared", "ACCEPT", {"dhcp", "dns", "ssh"}, {}, {"rule priority=\"32767\" reject"}};
  EXPECT_FALSE(ZoneAllowsLink(shared));
  shared.services << QStringLiteral("zephra-wifi");
  EXPECT_TRUE(ZoneAllowsLink(shared));

  TFirewallZone ports{"public", "default", {"ssh"}, {"22307-22309/tcp"}, {}};
  EXPECT_FALSE(ZoneAllowsLink(ports)) << "port 86 is not open";
  ports.ports << QStringLiteral("86/udp");
  EXPECT_FALSE(ZoneAllowsLink(ports));
  ports.ports << QStringLiteral("86/tcp");
  EXPECT_TRUE(ZoneAllowsLink(ports));

  EXPECT_TRUE(ZoneAllowsLink(TFirewallZone{"trusted", "ACCEPT", {}, {}, {}}));
  EXPECT_FALSE(ZoneAllowsLink(TFirewallZone{"drop", "DROP", {}, {}, {}}));
}

TEST(FirewallCheckTest, AdviceIsShownOncePerRun) {
  std::optional<TFirewallZone> answer =
      TFirewallZone{"nm-shared", "ACCEPT", {"ssh"}, {}, {"rule priority=\"32767\" reject"}};
  QStringList asked, tips;
  TFirewallCheck check([&tips](const QString& text, int) { tips << text; },
                       [&](const QString& interfaceName, QObject*, auto done) {
                         asked << interfaceName;
                         done(answer);
                       });
  check.LinkOn(QString());  // no hotspot interface known: firewalld isn't asked
  EXPECT_TRUE(asked.isEmpty());
  check.LinkOn(QStringLiteral("wlan0"));
  check.LinkOn(QStringLiteral("wlan0"));
  ASSERT_EQ(tips.size(), 1);
  EXPECT_TRUE(tips[0].contains(QLatin1String(
      "firewall-cmd --zone=nm-shared --add-service=zephra-wifi --permanent && sudo firewall-cmd "
      "--reload")));
  EXPECT_EQ(asked, QStringList{"wlan0"});

  // A zone that lets phones in, or no firewalld at all, says nothing.
  for (std::optional<TFirewallZone> quiet :
       {std::optional<TFirewallZone>(TFirewallZone{"trusted", "ACCEPT", {}, {}, {}}),
        std::optional<TFirewallZone>()}) {
    QStringList none;
    TFirewallCheck other([&none](const QString& text, int) { none << text; },
                         [quiet](const QString&, QObject*, auto done) { done(quiet); });
    other.LinkOn(QStringLiteral("wlan0"));
    EXPECT_TRUE(none.isEmpty());
  }
}

}  // namespace
}  // namespace zephra::shell
