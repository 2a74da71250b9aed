#pragma once

#include <QObject>
#include <cstdint>
#include <exception>
#include <functional>

#include "widgets/timer_item.h"
#include "widgets/timer_item_list.h"
#include "widgets/timer_ticks.h"

namespace zephra::widgets {

// The pool's shared handler: sender, the firing item's identifier and its Counter().
using TKelvoTimerPoolEvent =
    std::function<void(TKelvoTimerPool* sender, std::uint16_t ident, std::int32_t counter)>;
// Receives an exception that escaped a handler during a system-timer tick.
using TKelvoTimerPoolErrorEvent =
    std::function<void(TKelvoTimerPool* sender, std::exception_ptr error)>;

// Many logical timers (items) on one periodic Qt timer of MinInterval() milliseconds. Tick n
// (counted from 1 when the timer starts) fires, in insertion order, every enabled item whose
// Ticks() divides n; an item enabled during a run therefore first fires after 1..Ticks() base
// periods. The timer starts with the first AddTimer and runs until SetActive(false), Clear or
// destruction, whether or not items are enabled. GUI thread only; handlers may add, enable or
// delete items, and may delete the pool, which ends the tick at once.
class TKelvoTimerPool : public QObject {
 public:
  // `minInterval` is the base period in milliseconds, fixed for the pool's life; 0 is out of
  // range and gives DefaultMinInterval.
  explicit TKelvoTimerPool(TKelvoTimerInterval minInterval = DefaultMinInterval,
                           QObject* parent = nullptr);
  // Stops the timer and deletes every item.
  ~TKelvoTimerPool() override;

  TKelvoTimerInterval MinInterval() const { return FMinInterval; }

  // Appends an enabled, unlimited item and starts the timer (SetActive(true)); returns its index.
  // Throws EGeneralError "Timer已存在" when `ident` is taken, EGeneralError "Timer时间有错" when
  // `interval` is not a positive multiple of MinInterval() (the list is unchanged in both cases),
  // and EOutOfResources from SetActive (the item stays in the list).
  int AddTimer(std::uint16_t ident, TKelvoTimerInterval interval,
               TKelvoTimerNotifyEvent event = nullptr);
  // AddTimer, then the new item's repeat count and, after it, its enabled state.
  int AddTimerEx(std::uint16_t ident, TKelvoTimerInterval interval, std::int32_t repeatCount,
                 bool enabled, TKelvoTimerNotifyEvent event = nullptr);
  // The item with `ident`, or nullptr.
  TKelvoTimerItem* FindTimer(std::uint16_t ident) const;
  // Index of the first item with `ident`, or -1.
  int IndexOfTimer(std::uint16_t ident) const;
  int EnabledCount() const;
  int Count() const { return FItems.Count(); }
  // The item at `index`, 0..Count() - 1.
  TKelvoTimerItem* Items(int index) const { return FItems.At(index); }

  // Stops the timer; with `active` and at least one enabled item starts it again from tick 1.
  // Throws EOutOfResources "可用的计时器不足" when Qt grants no timer (no event loop in this
  // thread), leaving the pool inactive.
  void SetActive(bool active);
  bool Active() const { return FActive; }
  // SetActive(false), then deletes the items from the last to the first.
  void Clear();

  // The number of the next tick; wraps from 2^31 - 1 to 0.
  std::int32_t TickNumber() const { return FTickNumber; }
  // One base tick as the system timer runs it; returns false, doing nothing, while a tick is
  // already running (a handler's nested event loop). The guard is released however the tick
  // ends; an exception from a handler reaches the caller. A handler that deletes the pool ends
  // the tick; nothing of the pool is touched afterwards.
  bool ProcessTick();

  TKelvoTimerPoolEvent OnTimer;
  // Exceptions that escape handlers during system-timer ticks; when unset they are logged as
  // critical messages. Qt's event loop must not see them.
  TKelvoTimerPoolErrorEvent OnTickError;

 protected:
  void timerEvent(QTimerEvent* event) override;

 private:
  void CheckNewTimer(std::uint16_t ident, TKelvoTimerInterval interval) const;
  void StopTimer();
  void Tick(const bool& destroyed);
  void ReportTickError(std::exception_ptr error);

  TKelvoTimerInterval FMinInterval;
  TKelvoTimerItemList FItems;
  int FTimerId = 0;  // Qt timer id, 0 when none runs
  bool FActive = false;
  bool FInTick = false;
  bool* FTickDestroyed = nullptr;  // the running tick's flag, set when the pool is destroyed
  std::int32_t FTickNumber = FirstTickNumber;
};

}  // namespace zephra::widgets
