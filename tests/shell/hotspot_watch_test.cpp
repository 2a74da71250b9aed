#include "shell/hotspot_watch.h"

#include <gtest/gtest.h>

#include <QStringList>

namespace zephra::shell {
namespace {

using Clock = IServiceControl::Clock;
using std::chrono::milliseconds;

// The link service, recording what the watch does to it.
class TFakeService : public IServiceControl {
 public:
  bool SessionPresent() const override { return session; }
  bool ViewerShowing() const override { return viewerShowing; }
  Clock::time_point LastActive() const override { return lastActive; }
  void CloseViewerQuietly() override {
    calls << "close viewer";
    viewerShowing = false;
  }
  void DropAllConnections(bool reattach) override {
    calls << (reattach ? "drop, reattach" : "drop");
  }
  void SetServersActive(bool active) override {
    calls << (active ? "servers on" : "servers off");
    serverActive = active;
    server2Active = active && !dataPortTaken;
  }
  bool ServerActive() const override { return serverActive; }
  bool Server2Active() const override { return server2Active; }

  bool session = false;
  bool viewerShowing = false;
  bool serverActive = false;
  bool server2Active = false;
  bool dataPortTaken = false;
  Clock::time_point lastActive{};
  QStringList calls;
};

class HotspotWatchTest : public ::testing::Test {
 protected:
  HotspotWatchTest()
      : watch_(service_, TWatchSources{[this] { return partner_; },
                                       [this](QByteArray& text) {
                                         ++addressLookups_;
                                         text = addresses_;
                                         return static_cast<int>(addresses_.count('\n'));
                                       },
                                       [this] { return now_; }}) {}

  // Runs ticks up to and including the next check tick (every third).
  void RunToCheckTick() {
    do {
      watch_.Tick();
    } while (watch_.TickCount() % 3 != 0);
  }

  TFakeService service_;
  bool partner_ = false;
  QByteArray addresses_ = "192.168.137.1\r\n";
  int addressLookups_ = 0;
  Clock::time_point now_ = Clock::time_point{} + std::chrono::hours(1);
  THotspotWatch watch_;
};

TEST_F(HotspotWatchTest, LooksAtThePartnerOnlyOnEveryThirdTick) {
  partner_ = true;
  watch_.TakeAddresses();
  watch_.Tick();
  watch_.Tick();
  EXPECT_TRUE(service_.calls.isEmpty());
  watch_.Tick();
  EXPECT_EQ(service_.calls, QStringList{"servers on"});
  EXPECT_EQ(watch_.TickCount(), 3u);

  // Already on: later check ticks leave it alone while nothing changes.
  for (int i = 0; i < 6; ++i) watch_.Tick();
  EXPECT_EQ(service_.calls, QStringList{"servers on"});
}

TEST_F(HotspotWatchTest, PartnerGoneSwitchesOffAndClosesTheViewer) {
  partner_ = true;
  watch_.TakeAddresses();
  RunToCheckTick();
  partner_ = false;
  service_.calls.clear();
  RunToCheckTick();
  EXPECT_EQ(service_.calls, (QStringList{"servers off", "close viewer"}));

  // Off and still absent: nothing more happens.
  service_.calls.clear();
  RunToCheckTick();
  EXPECT_TRUE(service_.calls.isEmpty());
}

TEST_F(HotspotWatchTest, SessionFreezesTheServiceState) {
  service_.session = true;
  partner_ = true;
  for (int i = 0; i < 9; ++i) watch_.Tick();
  EXPECT_TRUE(service_.calls.isEmpty());
  EXPECT_EQ(addressLookups_, 0);

  service_.serverActive = true;
  partner_ = false;
  for (int i = 0; i < 9; ++i) watch_.Tick();
  EXPECT_TRUE(service_.calls.isEmpty());
  EXPECT_EQ(watch_.TickCount(), 18u);
}

TEST_F(HotspotWatchTest, QuietPhoneHasItsShownViewerClosedButKeepsItsSession) {
  service_.session = true;
  service_.serverActive = true;
  service_.viewerShowing = true;
  service_.lastActive = now_;

  now_ += milliseconds(10000);  // exactly the limit: not yet
  watch_.Tick();
  EXPECT_TRUE(service_.calls.isEmpty());

  now_ += milliseconds(1);
  watch_.Tick();
  EXPECT_EQ(service_.calls, QStringList{"close viewer"});
  EXPECT_TRUE(service_.session);

  // A hidden viewer is not closed again.
  service_.calls.clear();
  now_ += milliseconds(30000);
  watch_.Tick();
  EXPECT_TRUE(service_.calls.isEmpty());
}

TEST_F(HotspotWatchTest, AddressChangeDropsConnectionsAndRestartsBothListeners) {
  partner_ = true;
  watch_.TakeAddresses();
  RunToCheckTick();
  service_.calls.clear();

  addresses_ = "10.0.0.5\r\n192.168.137.1\r\n";
  RunToCheckTick();
  EXPECT_EQ(service_.calls,
            (QStringList{"close viewer", "drop, reattach", "servers off", "servers on"}));
  EXPECT_EQ(watch_.IpText(), addresses_);

  // The new set is the one acted on: no second restart.
  service_.calls.clear();
  RunToCheckTick();
  EXPECT_TRUE(service_.calls.isEmpty());
}

// Regression: with only the control listener up, the data channel was never tried again, and
// phones got a session whose pictures could not arrive.
TEST_F(HotspotWatchTest, ListenerThatFailedToStartIsRetriedOnTheNextCheckTick) {
  partner_ = true;
  watch_.TakeAddresses();
  service_.dataPortTaken = true;
  RunToCheckTick();
  EXPECT_TRUE(service_.serverActive);
  EXPECT_FALSE(service_.server2Active);

  service_.dataPortTaken = false;
  RunToCheckTick();
  EXPECT_TRUE(service_.server2Active);
  EXPECT_EQ(service_.calls, (QStringList{"servers on", "servers on"}));

  // Half on and the partner gone: both go off.
  service_.dataPortTaken = true;
  service_.server2Active = true;
  service_.serverActive = false;
  partner_ = false;
  service_.calls.clear();
  RunToCheckTick();
  EXPECT_EQ(service_.calls, (QStringList{"servers off", "close viewer"}));
}

TEST_F(HotspotWatchTest, FindingNoAddressIsNeverAChange) {
  partner_ = true;
  watch_.TakeAddresses();
  RunToCheckTick();
  service_.calls.clear();

  addresses_.clear();
  RunToCheckTick();
  EXPECT_TRUE(service_.calls.isEmpty());
  EXPECT_EQ(watch_.IpText(), QByteArray("192.168.137.1\r\n"));
}

TEST_F(HotspotWatchTest, AddressesAreOnlyLookedAtWhileThePartnerRuns) {
  partner_ = false;
  RunToCheckTick();
  EXPECT_EQ(addressLookups_, 0);
  // The first check with the partner present may also find new addresses since the start.
  addresses_ = "192.168.137.1\r\n";
  partner_ = true;
  RunToCheckTick();
  EXPECT_EQ(service_.calls,
            (QStringList{"close viewer", "drop, reattach", "servers off", "servers on"}));
}

// A hotspot source's change is followed at once, between ticks, but never under a session.
TEST_F(HotspotWatchTest, HotspotChangeSwitchesAtOnceExceptUnderASession) {
  watch_.TakeAddresses();
  partner_ = true;
  watch_.HotspotChanged();
  EXPECT_EQ(service_.calls, (QStringList{"servers on"}));
  EXPECT_EQ(watch_.TickCount(), 0u);

  service_.session = true;
  service_.viewerShowing = true;
  partner_ = false;
  watch_.HotspotChanged();
  EXPECT_EQ(service_.calls, (QStringList{"servers on"}));

  service_.session = false;
  watch_.HotspotChanged();
  EXPECT_EQ(service_.calls, (QStringList{"servers on", "servers off", "close viewer"}));
}

}  // namespace
}  // namespace zephra::shell
