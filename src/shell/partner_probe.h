#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

namespace zephra::shell {

// What the probe asks of the system; tests give fakes.
struct TPartnerSystem {
  // The id of the process owning the partner's window, nullopt when there is no such window.
  std::function<std::optional<std::int64_t>()> findPartnerWindowProcess;
  std::function<QString(std::int64_t pid)> processExeName;
  std::function<bool(const QString& exeName, int n)> countProcesses;
};

// The real window lookup and process walk.
TPartnerSystem PlatformPartnerSystem();

// Tells whether the partner hotspot program runs. Its executable name (PartnerExeName) is learnt
// from the owner of its window the first time the window is found and kept from then on: the
// window is not looked for again, and the partner counts as running while at least two
// processes of that executable exist. GUI thread.
class TPartnerProbe {
 public:
  explicit TPartnerProbe(TPartnerSystem system = PlatformPartnerSystem());

  bool PartnerHotspotRunning();
  // Empty until the partner's window has been found once.
  const QString& PartnerExeName() const { return partnerExeName_; }

 private:
  void LearnPartnerExeName();

  const TPartnerSystem system_;
  QString partnerExeName_;
};

}  // namespace zephra::shell
