#pragma once

#include <QObject>
#include <QString>
#include <functional>

#include "platform/firewall_zone.h"

namespace zephra::shell {

// The firewalld service that the program ships: the link's ports, the download server's and the
// browser page's.
inline constexpr char FirewallServiceName[] = "zephra-wifi";
inline constexpr const char* FirewallPorts[] = {"22307/tcp", "22308/tcp", "86/tcp", "22309/tcp"};
inline constexpr int FirewallTipMilliseconds = 20000;

// True when `zone` lets phones reach every port of the program: it has the service, opens each
// port (alone or in a range), or accepts everything and has no rule that rejects or drops.
bool ZoneAllowsLink(const platform::TFirewallZone& zone);

// The toast that tells the user how to let phones in through `zone`.
QString FirewallAdvice(const QString& zone);

// Once the link is on over a hotspot interface, asks firewalld (without blocking) whether that
// interface's zone lets phones in, and if not shows the advice, at most once per run. Nothing
// happens where firewalld doesn't run. GUI thread.
class TFirewallCheck {
 public:
  using ShowTipFn = std::function<void(const QString& text, int milliseconds)>;
  using QueryFn = std::function<void(const QString& interfaceName, QObject* context,
                                     std::function<void(std::optional<platform::TFirewallZone>)>)>;

  explicit TFirewallCheck(ShowTipFn showTip, QueryFn query = platform::QueryFirewallZone);

  void LinkOn(const QString& interfaceName);
  bool Told() const { return told_; }

 private:
  const ShowTipFn showTip_;
  const QueryFn query_;
  QObject context_;  // the replies' receiver: none arrives once the check is gone
  bool asking_ = false;
  bool told_ = false;
};

}  // namespace zephra::shell
