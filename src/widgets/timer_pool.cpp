#include "widgets/timer_pool.h"

#include <QPointer>
#include <QTimerEvent>
#include <QtGlobal>

#include "widgets/timer_errors.h"

namespace zephra::widgets {
namespace {

TKelvoTimerInterval ValidMinInterval(TKelvoTimerInterval minInterval) {
  return minInterval == 0 ? DefaultMinInterval : minInterval;
}

}  // namespace

TKelvoTimerPool::TKelvoTimerPool(TKelvoTimerInterval minInterval, QObject* parent)
    : QObject(parent), FMinInterval(ValidMinInterval(minInterval)) {}

TKelvoTimerPool::~TKelvoTimerPool() {
  if (FTickDestroyed != nullptr) *FTickDestroyed = true;
  Clear();
}

void TKelvoTimerPool::CheckNewTimer(std::uint16_t ident, TKelvoTimerInterval interval) const {
  if (FindTimer(ident) != nullptr) throw EGeneralError(TimerExistsText);
  if (!IsPoolInterval(interval, FMinInterval)) throw EGeneralError(TimerIntervalText);
}

int TKelvoTimerPool::AddTimer(std::uint16_t ident, TKelvoTimerInterval interval,
                              TKelvoTimerNotifyEvent event) {
  CheckNewTimer(ident, interval);
  auto* item = new TKelvoTimerItem(this, ident, &FItems);
  const int index = FItems.Add(item);
  item->SetInterval(interval);
  item->SetEvent(std::move(event));
  SetActive(true);
  return index;
}

int TKelvoTimerPool::AddTimerEx(std::uint16_t ident, TKelvoTimerInterval interval,
                                std::int32_t repeatCount, bool enabled,
                                TKelvoTimerNotifyEvent event) {
  const int index = AddTimer(ident, interval, std::move(event));
  TKelvoTimerItem* item = FItems.At(index);
  item->SetRepeatCount(repeatCount);
  item->SetEnabled(enabled);
  return index;
}

TKelvoTimerItem* TKelvoTimerPool::FindTimer(std::uint16_t ident) const {
  const int index = IndexOfTimer(ident);
  return index < 0 ? nullptr : FItems.At(index);
}

int TKelvoTimerPool::IndexOfTimer(std::uint16_t ident) const {
  for (int i = 0; i < FItems.Count(); ++i) {
    if (FItems.At(i)->Ident() == ident) return i;
  }
  return -1;
}

int TKelvoTimerPool::EnabledCount() const {
  int count = 0;
  for (int i = 0; i < FItems.Count(); ++i) count += FItems.At(i)->Enabled() ? 1 : 0;
  return count;
}

void TKelvoTimerPool::StopTimer() {
  FActive = false;
  if (FTimerId == 0) return;
  killTimer(FTimerId);
  FTimerId = 0;
}

void TKelvoTimerPool::SetActive(bool active) {
  StopTimer();
  if (!active || EnabledCount() == 0) return;
  FTimerId = startTimer(FMinInterval, Qt::PreciseTimer);
  if (FTimerId == 0) throw EOutOfResources(TimerResourcesText);
  FTickNumber = FirstTickNumber;
  FActive = true;
}

void TKelvoTimerPool::Clear() {
  SetActive(false);
  while (!FItems.IsEmpty()) delete FItems.At(FItems.Count() - 1);  // each removes itself
}

bool TKelvoTimerPool::ProcessTick() {
  if (FInTick) return false;
  // Releases the guard however the tick ends, unless a handler deleted the pool.
  struct TGuard {
    TKelvoTimerPool& pool;
    bool destroyed = false;
    explicit TGuard(TKelvoTimerPool& guarded) : pool(guarded) {
      pool.FInTick = true;
      pool.FTickDestroyed = &destroyed;
    }
    ~TGuard() {
      if (destroyed) return;
      pool.FInTick = false;
      pool.FTickDestroyed = nullptr;
    }
  } guard(*this);
  Tick(guard.destroyed);
  return true;
}

void TKelvoTimerPool::Tick(const bool& destroyed) {
  FItems.ForEach([this](TKelvoTimerItem& item) {
    if (item.Enabled() && IsDueOnTick(FTickNumber, item.Ticks())) item.Fire();
  });
  if (destroyed) return;
  FTickNumber = NextWrapping(FTickNumber);
}

void TKelvoTimerPool::timerEvent(QTimerEvent* event) {
  if (event->timerId() != FTimerId) {
    QObject::timerEvent(event);
    return;
  }
  const QPointer<TKelvoTimerPool> alive(this);
  try {
    ProcessTick();
  } catch (...) {
    if (alive) {
      ReportTickError(std::current_exception());
    } else {
      qCritical("Timer pool handler failed after deleting its pool");
    }
  }
}

void TKelvoTimerPool::ReportTickError(std::exception_ptr error) {
  if (OnTickError) {
    OnTickError(this, error);
    return;
  }
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    qCritical("Timer pool handler failed: %s", e.what());
  } catch (...) {
    qCritical("Timer pool handler failed with an unknown exception");
  }
}

}  // namespace zephra::widgets
