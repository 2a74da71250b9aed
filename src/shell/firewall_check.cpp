#include "shell/firewall_check.h"

#include <QRegularExpression>
#include <algorithm>

namespace zephra::shell {
namespace {

constexpr char AcceptTarget[] = "ACCEPT";

// True when `open` ("22307/tcp" or "22307-22309/tcp") covers `wanted` ("22308/tcp").
bool PortCovers(const QString& open, const QString& wanted) {
  const QString protocol = wanted.section(QLatin1Char('/'), 1);
  if (open.section(QLatin1Char('/'), 1) != protocol) return false;
  const int port = wanted.section(QLatin1Char('/'), 0, 0).toInt();
  const QString range = open.section(QLatin1Char('/'), 0, 0);
  const int low = range.section(QLatin1Char('-'), 0, 0).toInt();
  const int high =
      range.contains(QLatin1Char('-')) ? range.section(QLatin1Char('-'), 1).toInt() : low;
  return port >= low && port <= high;
}

bool OpensEveryPort(const QStringList& open) {
  for (const char* wanted : FirewallPorts) {
    const QString port = QString::fromLatin1(wanted);
    if (std::none_of(open.begin(), open.end(),
                     [&port](const QString& entry) { return PortCovers(entry, port); })) {
      return false;
    }
  }
  return true;
}

bool AcceptsEverything(const platform::TFirewallZone& zone) {
  static const QRegularExpression refusal(QStringLiteral("\\b(reject|drop)\\b"));
  return zone.target == QLatin1String(AcceptTarget) &&
         std::none_of(zone.richRules.begin(), zone.richRules.end(),
                      [](const QString& rule) { return refusal.match(rule).hasMatch(); });
}

}  // namespace

bool ZoneAllowsLink(const platform::TFirewallZone& zone) {
  return zone.services.contains(QLatin1String(FirewallServiceName)) || OpensEveryPort(zone.ports) ||
         AcceptsEverything(zone);
}

QString FirewallAdvice(const QString& zone) {
  return QStringLiteral(
             "防火墙挡住了手机，Zephra收不到图片。\r\n请在终端中运行：\r\n"
             "sudo firewall-cmd --zone=%1 --add-service=%2 --permanent && "
             "sudo firewall-cmd --reload")
      .arg(zone, QString::fromLatin1(FirewallServiceName));
}

TFirewallCheck::TFirewallCheck(ShowTipFn showTip, QueryFn query)
    : showTip_(std::move(showTip)), query_(std::move(query)) {}

void TFirewallCheck::LinkOn(const QString& interfaceName) {
  if (told_ || asking_ || interfaceName.isEmpty() || !query_) return;
  asking_ = true;
  query_(interfaceName, &context_, [this](std::optional<platform::TFirewallZone> zone) {
    asking_ = false;
    if (!zone || told_ || ZoneAllowsLink(*zone)) return;
    told_ = true;
    if (showTip_) showTip_(FirewallAdvice(zone->name), FirewallTipMilliseconds);
  });
}

}  // namespace zephra::shell
