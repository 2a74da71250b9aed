#include "viewer/img_cache.h"

#include <utility>

#include "platform/thread_priority.h"
#include "viewer/fetch_picture.h"
#include "viewer/neighbour_plan.h"
#include "viewer/picture_loader.h"
#include "viewer/picture_names.h"

namespace zephra::viewer {

namespace {

// Wake-ups beyond this many are dropped: one pass serves them all.
constexpr int MaxWakeCount = 100;

bool SameName(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

bool Holds(const TImgCache& slot, const QString& name, const QString& key) {
  return SameName(slot.Name, name) && slot.Key == key;
}

}  // namespace

void TImgCache::Reset(TSlotState state) {
  State = state;
  Name.clear();
  Key.clear();
  Picture = QImage();
  Reduced = false;
  Width = Height = FrameIndex = FrameCount = 0;
}

TThrImgCache::TThrImgCache(TImgCacheEnv env) : env_(std::move(env)) {
  thread_ = std::thread([this] { Run(); });
}

TThrImgCache::~TThrImgCache() { Stop(); }

void TThrImgCache::Stop() {
  {
    std::lock_guard lock(lock_);
    terminated_.store(true);
    ++wakeCount_;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void TThrImgCache::PlanNeighbours(const QStringList& names, const QStringList& sizes, int index) {
  std::lock_guard lock(lock_);
  requests_.clear();
  requestSizes_.clear();
  const std::vector<int> neighbours = NeighbourIndexes(static_cast<int>(names.size()), index);
  neighboursPlanned_ = !neighbours.empty();
  for (const int entry : neighbours) {
    requests_.append(names[entry]);
    requestSizes_.append(entry < sizes.size() ? sizes[entry] : QString());
  }
}

void TThrImgCache::ResetFull() {
  std::lock_guard lock(lock_);
  full_.Reset(isPending);
}

void TThrImgCache::KickCache(const QString& name, const QString& key, bool reduced) {
  {
    std::lock_guard lock(lock_);
    full_.Reset(isPending);
    full_.Name = name;
    full_.Key = key;
    currentName_ = name;
    currentReduced_ = reduced;
    // A list of one has no neighbours and prepares nothing. A pass that ran since the plan
    // may have taken its wishes already; the worker is still woken for this picture.
    if (!neighboursPlanned_ || wakeCount_ >= MaxWakeCount) return;
    ++wakeCount_;
  }
  changed_.notify_all();
}

void TThrImgCache::Clear() {
  {
    std::lock_guard lock(lock_);
    for (TImgCache& slot : slots_) slot.Reset(isPending);
    full_.Reset(isPending);
    requests_.clear();
    requestSizes_.clear();
    neighboursPlanned_ = false;
    currentName_.clear();
  }
  changed_.notify_all();
}

void TThrImgCache::WaitWhileLoading(const QString& name, const QString& key) {
  std::unique_lock lock(lock_);
  changed_.wait(lock, [&] {
    for (const TImgCache& slot : slots_) {
      if (slot.State == isLoading && Holds(slot, name, key)) return false;
    }
    return true;
  });
}

int TThrImgCache::FindSlot(const QString& name, const std::optional<QString>& key) const {
  std::lock_guard lock(lock_);
  for (int slot = 0; slot < static_cast<int>(slots_.size()); ++slot) {
    if (SameName(slots_[slot].Name, name) && (!key || slots_[slot].Key == *key)) return slot;
  }
  return -1;
}

bool TThrImgCache::TakeCached(const QString& name, const QString& key, bool fittedView,
                              TImgCache& shown) {
  std::lock_guard lock(lock_);
  for (TImgCache& slot : slots_) {
    if (!Holds(slot, name, key) || slot.State != isReady || slot.Picture.width() <= 0) continue;
    if (!fittedView && slot.Picture.width() != slot.Width) continue;  // a reduced decode
    std::swap(slot, shown);
    if (slot.Picture.width() < 1) {
      slot.Reset(isFailed);
      slot.FrameCount = 1;
    } else {
      slot.State = isReady;
    }
    shown.State = isReady;
    return true;
  }
  return false;
}

bool TThrImgCache::TakeFull(const QString& name, TImgCache& picture) {
  std::unique_lock lock(lock_);
  changed_.wait(lock, [&] { return full_.State != isLoading || full_.Name != name; });
  const bool usable = full_.Name == name && full_.State == isReady && full_.Picture.width() > 0;
  if (usable) picture = std::move(full_);
  full_.Reset(isPending);
  return usable;
}

TImgCache TThrImgCache::SlotCopy(int slot) const {
  std::lock_guard lock(lock_);
  return slots_.at(slot);
}

TImgCache TThrImgCache::FullCopy() const {
  std::lock_guard lock(lock_);
  return full_;
}

void TThrImgCache::Run() {
  platform::LowerThreadPriority();
  for (;;) {
    {
      std::unique_lock lock(lock_);
      changed_.wait(lock, [this] { return wakeCount_ > 0; });
      --wakeCount_;
    }
    if (Terminated()) return;
    try {
      ServeWakeUp();
    } catch (...) {
      // A pass that fails (out of memory, say) leaves its slots to the next wake-up; none may
      // stay marked as being decoded, or a reload would wait for it.
      {
        std::lock_guard lock(lock_);
        for (TImgCache* slot : {&slots_[0], &slots_[1], &full_}) {
          if (slot->State == isLoading) slot->State = isPending;
        }
      }
      changed_.notify_all();
    }
    ++passes_;
  }
}

void TThrImgCache::ServeWakeUp() {
  TakeRequests();
  for (TImgCache& slot : slots_) {
    if (env_.AbortLoad.IsSet()) break;
    QString slotName;
    QString current;
    {
      std::lock_guard lock(lock_);
      slotName = slot.Name;
      current = currentName_;
    }
    if (!SameName(slotName, current)) FillSlot(slot, false);
  }
  if (!env_.AbortLoad.IsSet()) FillSlot(full_, true);
}

// Drops the requests that are never prefetched, decides whether the full-resolution decode is
// wanted, and gives each slot that holds nothing wanted the first request the other slot
// doesn't hold.
void TThrImgCache::TakeRequests() {
  std::lock_guard lock(lock_);
  for (qsizetype i = requests_.size() - 1; i >= 0; --i) {
    if (!Prefetchable(PictureKind(requests_[i]))) {
      requests_.removeAt(i);
      requestSizes_.removeAt(i);
    }
  }
  const bool wantFull =
      SameName(full_.Name, currentName_) && currentReduced_ && PictureKind(full_.Name) == pkJpeg;
  if (!wantFull) {
    full_.Reset(isFailed);
  } else if (full_.State != isReady) {
    full_.State = isPending;
  }
  for (int slot = 0; slot < static_cast<int>(slots_.size()); ++slot) {
    TImgCache& mine = slots_[slot];
    if (!mine.Name.isEmpty() && Requested(mine.Name, mine.Key)) continue;
    const QString& other = slots_[1 - slot].Name;
    for (qsizetype i = 0; i < requests_.size(); ++i) {
      if (SameName(requests_[i], other)) continue;
      mine.Reset(isPending);
      mine.Name = requests_.takeAt(i);
      mine.Key = requestSizes_.takeAt(i);
      break;
    }
  }
}

bool TThrImgCache::Requested(const QString& name, const QString& key) const {
  for (qsizetype i = 0; i < requests_.size(); ++i) {
    if (SameName(requests_[i], name) && requestSizes_[i] == key) return true;
  }
  return false;
}

// FillSlot: gets the slot's file (downloading it if needed) and decodes it, reduced to the
// screen unless `fullResolution` or the control shows an unfitted view. A file that can't be
// had, or a decode that a stop interrupts, leaves the slot pending to be tried again; a decode
// that fails marks it failed.
void TThrImgCache::FillSlot(TImgCache& slot, bool fullResolution) {
  QString name;
  QString key;
  {
    std::lock_guard lock(lock_);
    if (Terminated() || slot.State == isReady || slot.State == isFailed || slot.Name.isEmpty()) {
      return;
    }
    name = slot.Name;
    key = slot.Key;
  }
  const TFetchResult fetched =
      FetchPicture(env_.Cache, env_.Requests, name, key, env_.AbortLoad, env_.FetchWait);
  if (env_.AbortLoad.IsSet() || fetched.Code != FetchPresent) return;

  const bool reduce = !fullResolution && (!env_.FittedView || env_.FittedView());
  {
    std::lock_guard lock(lock_);
    if (slot.Name != name || slot.State != isPending) return;  // retargeted meanwhile
    slot.State = isLoading;
    slot.Picture = QImage();  // the old decode goes before the new one is made
  }
  QImage picture;
  const TLoadResult loaded =
      reduce ? LoadPictureForScreen(picture, fetched.Path, env_.ScreenSize, env_.AbortLoad)
             : LoadPicture(picture, fetched.Path, 0, 1, env_.AbortLoad);
  const bool stopped = Terminated() || env_.AbortLoad.IsSet();
  {
    std::lock_guard lock(lock_);
    // A slot retargeted meanwhile keeps what its new target set.
    if (slot.Name == name && slot.State == isLoading) {
      if (stopped) {
        slot.State = isPending;
      } else {
        slot.Picture = std::move(picture);
        slot.Width = loaded.Width;
        slot.Height = loaded.Height;
        slot.FrameIndex = 0;
        slot.FrameCount = loaded.Success ? loaded.FrameCount : 0;
        slot.Reduced = loaded.Success && slot.Picture.width() != loaded.Width;
        slot.State = loaded.Success ? isReady : isFailed;
      }
    }
  }
  changed_.notify_all();  // a reload may wait for this slot
}

}  // namespace zephra::viewer
