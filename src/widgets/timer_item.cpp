#include "widgets/timer_item.h"

#include <string>

#include "widgets/timer_errors.h"
#include "widgets/timer_item_list.h"
#include "widgets/timer_pool.h"

namespace zephra::widgets {
namespace {

constexpr char ItemClassName[] = "TKelvoTimerItem";

// Checked before any member is set up, so that a failed construction touches nothing.
TKelvoTimerPool* CheckedPool(TKelvoTimerPool* pool, const TKelvoTimerItemList* list) {
  if (pool == nullptr || list == nullptr) {
    throw EInvalidOperation(std::string(ItemClassName) + InvalidOwnerText);
  }
  return pool;
}

}  // namespace

TKelvoTimerItem::TKelvoTimerItem(TKelvoTimerPool* pool, std::uint16_t ident,
                                 TKelvoTimerItemList* list)
    : FIdent(ident),
      FTicks(TicksOf(DefaultItemInterval, CheckedPool(pool, list)->MinInterval())),
      FList(list),
      FPool(pool) {}

TKelvoTimerItem::~TKelvoTimerItem() {
  SetEnabled(false);
  FEvent = nullptr;
  FList->Remove(this);
}

void TKelvoTimerItem::SetRepeatCount(std::int32_t count) {
  if (count == FRepeatCount) return;
  FRepeatCount = count < UnlimitedRepeats ? UnlimitedRepeats : count;
  if (count == 0) SetEnabled(false);
}

void TKelvoTimerItem::SetEnabled(bool enabled) {
  if (enabled == FEnabled) return;
  if (enabled && FRepeatCount == 0) return;
  FEnabled = enabled;
  FCounter = 0;
}

void TKelvoTimerItem::SetInterval(TKelvoTimerInterval interval) {
  const TKelvoTimerInterval base = FPool->MinInterval();
  if (interval == FInterval || interval % base != 0) return;
  if (interval == 0) interval = base;
  FTicks = TicksOf(interval, base);
  FInterval = interval;
  FCounter = 0;
}

void TKelvoTimerItem::Fire() {
  if (!FEnabled) return;
  FCounter = NextWrapping(FCounter);
  // The last firing disables the item but keeps its count for the handler.
  if (FCounter == FRepeatCount) FEnabled = false;
  // Handlers run from copies: one may delete this item or replace the handlers.
  if (FEvent) {
    const TKelvoTimerNotifyEvent event = FEvent;
    event(FPool);
  } else if (FPool->OnTimer) {
    const TKelvoTimerPoolEvent onTimer = FPool->OnTimer;
    onTimer(FPool, FIdent, FCounter);
  }
}

}  // namespace zephra::widgets
