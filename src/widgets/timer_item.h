#pragma once

#include <cstdint>
#include <functional>

#include "widgets/timer_ticks.h"

namespace zephra::widgets {

class TKelvoTimerPool;
class TKelvoTimerItemList;

// An item's own handler, called with the pool as sender.
using TKelvoTimerNotifyEvent = std::function<void(TKelvoTimerPool* sender)>;

// One logical timer of a TKelvoTimerPool. It fires every Ticks() base periods of its pool while
// enabled, counts its firings and disables itself after RepeatCount() of them (-1: never).
// Items are made by the pool's AddTimer; the pool owns them, and deleting one removes it from
// the pool. GUI thread only.
class TKelvoTimerItem {
 public:
  // Throws EInvalidOperation ("TKelvoTimerItem: Invalid Owner or List") when `pool` or `list`
  // is null. The item is not added to `list`; its ticks start at DefaultItemInterval div the
  // pool's base period.
  TKelvoTimerItem(TKelvoTimerPool* pool, std::uint16_t ident, TKelvoTimerItemList* list);
  // Disables the item, forgets its event and removes it from its list.
  ~TKelvoTimerItem();
  TKelvoTimerItem(const TKelvoTimerItem&) = delete;
  TKelvoTimerItem& operator=(const TKelvoTimerItem&) = delete;

  std::uint16_t Ident() const { return FIdent; }
  TKelvoTimerPool* Pool() const { return FPool; }

  // Firings after which the item disables itself; -1 unlimited. Values below -1 become -1;
  // 0 also disables the item. An unchanged value is ignored.
  std::int32_t RepeatCount() const { return FRepeatCount; }
  void SetRepeatCount(std::int32_t count);

  // Enabling or disabling resets Counter() to 0. Ignored when unchanged, and enabling is
  // ignored while RepeatCount() is 0.
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool enabled);

  // Milliseconds, a whole multiple of the pool's base period; 0 stands for the base period.
  // Any other value that is not a multiple, or the current value, is ignored without an error.
  // A change resets Counter() to 0.
  TKelvoTimerInterval Interval() const { return FInterval; }
  void SetInterval(TKelvoTimerInterval interval);
  // Base periods per firing: Interval() div the pool's base period.
  std::int32_t Ticks() const { return FTicks; }

  // Firings since the item was last enabled or re-timed; after 2^31 - 1 it restarts at 0.
  std::int32_t Counter() const { return FCounter; }

  // Called on each firing instead of the pool's OnTimer when set.
  const TKelvoTimerNotifyEvent& Event() const { return FEvent; }
  void SetEvent(TKelvoTimerNotifyEvent event) { FEvent = std::move(event); }

  // One firing: nothing while disabled; otherwise count it, disable the item when the count
  // reaches RepeatCount() (before any handler runs; Counter() keeps that count), then call
  // Event() with the pool, or the pool's OnTimer with Ident() and Counter() when the item has
  // no event. A handler may delete this item.
  void Fire();

 private:
  std::int32_t FRepeatCount = UnlimitedRepeats;
  std::int32_t FCounter = 0;
  bool FEnabled = true;
  std::uint16_t FIdent;
  TKelvoTimerInterval FInterval = DefaultItemInterval;
  std::int32_t FTicks;
  TKelvoTimerItemList* FList;
  TKelvoTimerPool* FPool;
  TKelvoTimerNotifyEvent FEvent;
};

}  // namespace zephra::widgets
