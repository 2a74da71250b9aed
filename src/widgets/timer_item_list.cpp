#include "widgets/timer_item_list.h"

#include <algorithm>
#include <cassert>

namespace zephra::widgets {

TKelvoTimerItemList::~TKelvoTimerItemList() {
  if (FWalkDestroyed != nullptr) *FWalkDestroyed = true;
}

int TKelvoTimerItemList::IndexOf(const TKelvoTimerItem* item) const {
  const auto found = std::find(FItems.begin(), FItems.end(), item);
  if (found == FItems.end()) return -1;
  return static_cast<int>(found - FItems.begin());
}

int TKelvoTimerItemList::Add(TKelvoTimerItem* item) {
  FItems.push_back(item);
  return Count() - 1;
}

void TKelvoTimerItemList::Remove(const TKelvoTimerItem* item) {
  const int index = IndexOf(item);
  if (index < 0) return;
  FItems.erase(FItems.begin() + index);
  if (!FWalking) return;
  // Keep the walk on the items that followed the removed one.
  if (index <= FWalkIndex) --FWalkIndex;
  if (index < FWalkEnd) --FWalkEnd;
}

void TKelvoTimerItemList::ForEach(const std::function<void(TKelvoTimerItem&)>& visit) {
  assert(!FWalking);
  // Ends the walk however it ends, without touching a list that a visit destroyed.
  struct WalkScope {
    TKelvoTimerItemList& list;
    bool destroyed = false;
    explicit WalkScope(TKelvoTimerItemList& walked) : list(walked) {
      list.FWalking = true;
      list.FWalkDestroyed = &destroyed;
    }
    ~WalkScope() {
      if (destroyed) return;
      list.FWalking = false;
      list.FWalkDestroyed = nullptr;
    }
  } scope(*this);
  FWalkEnd = Count();
  for (FWalkIndex = 0; FWalkIndex < FWalkEnd; ++FWalkIndex) {
    visit(*At(FWalkIndex));
    if (scope.destroyed) return;
  }
}

}  // namespace zephra::widgets
