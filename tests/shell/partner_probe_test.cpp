#include "shell/partner_probe.h"

#include <gtest/gtest.h>

namespace zephra::shell {
namespace {

// A system with a partner window owned by process 42 (while `windowOpen`) and `processes`
// processes of its executable "orvexwifi.exe".
struct TFakeSystem {
  TPartnerSystem Make() {
    TPartnerSystem system;
    system.findPartnerWindowProcess = [this]() -> std::optional<std::int64_t> {
      ++windowLookups;
      return windowOpen ? std::optional<std::int64_t>(42) : std::nullopt;
    };
    system.processExeName = [](std::int64_t pid) {
      return pid == 42 ? QStringLiteral("OrvexWiFi.exe") : QString();
    };
    system.countProcesses = [this](const QString& name, int n) {
      return name.compare(QStringLiteral("orvexwifi.exe"), Qt::CaseInsensitive) == 0 &&
             processes >= n;
    };
    return system;
  }

  bool windowOpen = false;
  int processes = 0;
  int windowLookups = 0;
};

TEST(PartnerProbeTest, AbsentUntilTheWindowIsFoundThenLearnsTheNameOnce) {
  TFakeSystem system;
  TPartnerProbe probe(system.Make());
  EXPECT_FALSE(probe.PartnerHotspotRunning());
  EXPECT_FALSE(probe.PartnerHotspotRunning());
  EXPECT_TRUE(probe.PartnerExeName().isEmpty());
  EXPECT_EQ(system.windowLookups, 2);

  system.windowOpen = true;
  system.processes = 2;
  EXPECT_TRUE(probe.PartnerHotspotRunning());
  EXPECT_EQ(probe.PartnerExeName(), QStringLiteral("OrvexWiFi.exe"));

  // The window is not looked for again: closing it while the processes run changes nothing.
  system.windowOpen = false;
  EXPECT_TRUE(probe.PartnerHotspotRunning());
  EXPECT_EQ(system.windowLookups, 3);
}

TEST(PartnerProbeTest, RunsOnlyWhileTwoProcessesOfTheExecutableExist) {
  TFakeSystem system;
  system.windowOpen = true;
  system.processes = 1;
  TPartnerProbe probe(system.Make());
  EXPECT_FALSE(probe.PartnerHotspotRunning());
  EXPECT_EQ(probe.PartnerExeName(), QStringLiteral("OrvexWiFi.exe"));

  system.processes = 3;
  EXPECT_TRUE(probe.PartnerHotspotRunning());
  system.processes = 0;
  EXPECT_FALSE(probe.PartnerHotspotRunning());
  EXPECT_EQ(system.windowLookups, 1);
}

}  // namespace
}  // namespace zephra::shell
