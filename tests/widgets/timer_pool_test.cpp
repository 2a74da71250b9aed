#include "widgets/timer_pool.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <climits>
#include <string>
#include <thread>
#include <typeinfo>
#include <vector>

#include "test_pictures.h"
#include "widgets/timer_errors.h"

namespace zephra::widgets {
namespace {

using testing::EnsureApplication;

// The text of the error of exactly kind E that `action` throws; empty when it throws nothing.
template <typename E, typename F>
std::string ErrorText(F action) {
  try {
    action();
  } catch (const E& e) {
    EXPECT_EQ(typeid(e), typeid(E));
    return e.what();
  }
  return {};
}

struct TFiring {
  std::int32_t Tick;
  std::uint16_t Ident;
  std::int32_t Counter;
  bool operator==(const TFiring&) const = default;
};

// A pool with a base period of 50 ms whose OnTimer records every firing with its tick number.
class TimerPoolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureApplication();
    Pool.OnTimer = [this](TKelvoTimerPool* sender, std::uint16_t ident, std::int32_t counter) {
      EXPECT_EQ(sender, &Pool);
      Firings.push_back({Pool.TickNumber(), ident, counter});
    };
  }

  void RunTicks(int count) {
    for (int i = 0; i < count; ++i) ASSERT_TRUE(Pool.ProcessTick());
  }
  std::vector<std::int32_t> TicksOfIdent(std::uint16_t ident) const {
    std::vector<std::int32_t> ticks;
    for (const TFiring& f : Firings) {
      if (f.Ident == ident) ticks.push_back(f.Tick);
    }
    return ticks;
  }

  TKelvoTimerPool Pool{50};
  std::vector<TFiring> Firings;
};

TEST(TimerTicksTest, ZeroPeriodsNeverDivideAndCountsWrapToZero) {
  EXPECT_FALSE(IsPoolInterval(100, 0));
  EXPECT_EQ(TicksOf(1000, 0), 0);
  EXPECT_FALSE(IsDueOnTick(10, 0));
  EXPECT_TRUE(IsDueOnTick(0, 7));
  EXPECT_EQ(NextWrapping(INT_MAX), 0);
}

TEST_F(TimerPoolTest, ItemsFireOnMultiplesOfTheirTicksInInsertionOrder) {
  Pool.AddTimer(214, 3000);
  Pool.AddTimer(200, 100);
  EXPECT_TRUE(Pool.Active());
  EXPECT_EQ(Pool.TickNumber(), 1);
  RunTicks(120);

  std::vector<std::int32_t> even;
  for (int tick = 2; tick <= 120; tick += 2) even.push_back(tick);
  EXPECT_EQ(TicksOfIdent(200), even);
  EXPECT_EQ(TicksOfIdent(214), (std::vector<std::int32_t>{60, 120}));
  // Tick 60 serves the 3000 ms item first: it was added first.
  const auto at60 =
      std::find_if(Firings.begin(), Firings.end(), [](const TFiring& f) { return f.Tick == 60; });
  ASSERT_NE(at60, Firings.end());
  EXPECT_EQ(at60->Ident, 214);
  EXPECT_EQ(at60->Counter, 1);
  EXPECT_EQ(Firings.back(), (TFiring{120, 200, 60}));
  EXPECT_EQ(Pool.TickNumber(), 121);
}

TEST_F(TimerPoolTest, OneShotItemFiresOnceAndFiresAgainWhenReArmed) {
  Pool.AddTimerEx(200, 50, 1, false);
  TKelvoTimerItem* item = Pool.FindTimer(200);
  ASSERT_NE(item, nullptr);
  EXPECT_TRUE(Pool.Active());  // started while the new item was still enabled
  RunTicks(3);
  EXPECT_TRUE(Firings.empty());

  item->SetEnabled(true);
  RunTicks(3);
  EXPECT_EQ(Firings, (std::vector<TFiring>{{4, 200, 1}}));
  EXPECT_FALSE(item->Enabled());
  EXPECT_EQ(Pool.EnabledCount(), 0);
  EXPECT_TRUE(Pool.Active());  // the timer keeps running with nothing enabled

  item->SetEnabled(true);
  RunTicks(1);
  EXPECT_EQ(Firings.back(), (TFiring{7, 200, 1}));
}

TEST_F(TimerPoolTest, ItemEnabledMidRunFollowsTheSharedTickNumber) {
  Pool.AddTimerEx(214, 3000, 1, false);
  RunTicks(58);  // the next tick is 59
  Pool.FindTimer(214)->SetEnabled(true);
  RunTicks(2);
  EXPECT_EQ(Firings, (std::vector<TFiring>{{60, 214, 1}}));
}

TEST_F(TimerPoolTest, RepeatCountLimitsFiringsAndZeroBlocksEnabling) {
  Pool.AddTimerEx(1, 50, 3, true);
  RunTicks(5);
  EXPECT_EQ(Firings, (std::vector<TFiring>{{1, 1, 1}, {2, 1, 2}, {3, 1, 3}}));
  TKelvoTimerItem* item = Pool.FindTimer(1);
  EXPECT_FALSE(item->Enabled());

  item->SetRepeatCount(0);
  item->SetEnabled(true);
  EXPECT_FALSE(item->Enabled());
  item->SetRepeatCount(-7);
  EXPECT_EQ(item->RepeatCount(), UnlimitedRepeats);
  item->SetEnabled(true);
  EXPECT_TRUE(item->Enabled());
  item->SetRepeatCount(0);
  EXPECT_FALSE(item->Enabled());
}

TEST_F(TimerPoolTest, IntervalChangesIgnoreNonMultiplesAndRestartTheCount) {
  Pool.AddTimer(1, 100);
  RunTicks(4);
  TKelvoTimerItem* item = Pool.FindTimer(1);
  EXPECT_EQ(item->Counter(), 2);
  item->SetInterval(75);
  EXPECT_EQ(item->Interval(), 100);
  EXPECT_EQ(item->Counter(), 2);
  item->SetInterval(150);
  EXPECT_EQ(item->Ticks(), 3);
  EXPECT_EQ(item->Counter(), 0);
  item->SetInterval(0);
  EXPECT_EQ(item->Interval(), 50);
  EXPECT_EQ(item->Ticks(), 1);
}

TEST_F(TimerPoolTest, ItemEventTakesPrecedenceOverOnTimer) {
  std::vector<TKelvoTimerPool*> senders;
  Pool.AddTimer(1, 50, [&senders](TKelvoTimerPool* sender) { senders.push_back(sender); });
  Pool.AddTimer(2, 50);
  RunTicks(1);
  EXPECT_EQ(senders, std::vector<TKelvoTimerPool*>{&Pool});
  EXPECT_EQ(Firings, (std::vector<TFiring>{{1, 2, 1}}));
}

TEST_F(TimerPoolTest, AddTimerRejectsDuplicatesAndBadIntervalsWithFixedTexts) {
  EXPECT_EQ(Pool.AddTimer(200, 50), 0);
  EXPECT_EQ(Pool.AddTimer(214, 3000), 1);
  const auto add = [this](std::uint16_t ident, TKelvoTimerInterval interval) {
    return ErrorText<EGeneralError>([&] { Pool.AddTimer(ident, interval); });
  };
  EXPECT_EQ(add(200, 100), "Timer已存在");
  EXPECT_EQ(add(7, 75), "Timer时间有错");
  EXPECT_EQ(add(7, 25), "Timer时间有错");
  EXPECT_EQ(add(7, 0), "Timer时间有错");
  EXPECT_EQ(Pool.Count(), 2);
  EXPECT_EQ(Pool.IndexOfTimer(214), 1);
  EXPECT_EQ(Pool.FindTimer(7), nullptr);
}

TEST_F(TimerPoolTest, ItemWithoutPoolOrListAndThreadWithoutTimersFail) {
  TKelvoTimerItemList list;
  const std::string invalid = "TKelvoTimerItem: Invalid Owner or List";
  EXPECT_EQ(ErrorText<EInvalidOperation>([&] { TKelvoTimerItem(nullptr, 1, &list); }), invalid);
  EXPECT_EQ(ErrorText<EInvalidOperation>([&] { TKelvoTimerItem(&Pool, 1, nullptr); }), invalid);

  std::string message;  // a plain thread has no event loop, so Qt grants no timer
  std::thread([&message] {
    TKelvoTimerPool pool(50);
    message = ErrorText<EOutOfResources>([&pool] { pool.AddTimer(1, 50); });
    EXPECT_FALSE(pool.Active());
  }).join();
  EXPECT_EQ(message, "可用的计时器不足");
}

TEST_F(TimerPoolTest, ActivationFollowsEnabledItemsAndClearStopsEverything) {
  TKelvoTimerPool idle(50);
  idle.SetActive(true);
  EXPECT_FALSE(idle.Active());  // nothing enabled: no timer

  Pool.AddTimer(1, 50);
  RunTicks(5);
  Pool.SetActive(false);
  EXPECT_FALSE(Pool.Active());
  Pool.SetActive(true);
  EXPECT_TRUE(Pool.Active());
  EXPECT_EQ(Pool.TickNumber(), 1);  // a restart counts from the first tick again

  Pool.AddTimer(2, 100);
  Pool.Clear();
  EXPECT_FALSE(Pool.Active());
  EXPECT_EQ(Pool.Count(), 0);
  EXPECT_EQ(Pool.FindTimer(1), nullptr);
}

TEST_F(TimerPoolTest, NestedTicksAreRefusedAndTheGuardSurvivesExceptions) {
  bool nestedRan = true;
  bool fail = false;
  Pool.AddTimer(1, 50, [&](TKelvoTimerPool* sender) {
    nestedRan = sender->ProcessTick();
    if (fail) throw std::runtime_error("handler failed");
  });
  RunTicks(1);
  EXPECT_FALSE(nestedRan);
  EXPECT_EQ(Pool.TickNumber(), 2);  // the refused nested tick did not count

  fail = true;
  EXPECT_THROW(Pool.ProcessTick(), std::runtime_error);
  fail = false;
  EXPECT_TRUE(Pool.ProcessTick());
}

TEST_F(TimerPoolTest, HandlersMayDeleteAndAddItemsDuringATick) {
  Pool.AddTimer(1, 50, [this](TKelvoTimerPool*) {
    delete Pool.FindTimer(1);  // itself
    delete Pool.FindTimer(3);  // a later item of the same tick
    Pool.AddTimer(4, 50);      // served from the next tick on
  });
  Pool.AddTimer(2, 50);
  Pool.AddTimer(3, 50);
  RunTicks(2);
  EXPECT_EQ(Firings, (std::vector<TFiring>{{1, 2, 1}, {2, 2, 2}, {2, 4, 1}}));
  EXPECT_EQ(Pool.IndexOfTimer(2), 0);
  EXPECT_EQ(Pool.IndexOfTimer(4), 1);
}

TEST_F(TimerPoolTest, HandlerMayClearThePoolDuringATick) {
  Pool.AddTimer(1, 50, [this](TKelvoTimerPool*) { Pool.Clear(); });
  Pool.AddTimer(2, 50);
  RunTicks(1);
  EXPECT_TRUE(Firings.empty());
  EXPECT_EQ(Pool.Count(), 0);
}

TEST_F(TimerPoolTest, HandlerMayDeleteThePoolDuringATick) {
  auto* pool = new TKelvoTimerPool(50);
  int later = 0;
  pool->AddTimer(1, 50, [](TKelvoTimerPool* sender) { delete sender; });
  pool->AddTimer(2, 50, [&later](TKelvoTimerPool*) { ++later; });
  EXPECT_TRUE(pool->ProcessTick());
  EXPECT_EQ(later, 0);
}

TEST_F(TimerPoolTest, SystemTimerDrivesTicksAndReportsHandlerErrors) {
  TKelvoTimerPool fast(1);
  int fired = 0;
  std::string reported;
  fast.AddTimer(1, 1, [&fired](TKelvoTimerPool*) {
    ++fired;
    throw std::runtime_error("boom");
  });
  fast.OnTickError = [&reported](TKelvoTimerPool*, std::exception_ptr error) {
    try {
      std::rethrow_exception(error);
    } catch (const std::exception& e) {
      reported = e.what();
    }
  };
  const QDeadlineTimer deadline(5000);
  while (fired < 2 && !deadline.hasExpired()) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  }
  EXPECT_GE(fired, 2);  // the guard was released after the first failure
  EXPECT_EQ(reported, "boom");
}

}  // namespace
}  // namespace zephra::widgets
