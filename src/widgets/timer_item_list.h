#pragma once

#include <functional>
#include <vector>

namespace zephra::widgets {

class TKelvoTimerItem;

// The ordered item list of a timer pool. It does not own the items: the pool deletes them, and
// an item removes itself when it is destroyed. A walk (ForEach) stays valid while the visited
// callbacks add or destroy items: destroyed items are skipped, added ones wait for the next walk.
class TKelvoTimerItemList {
 public:
  TKelvoTimerItemList() = default;
  // A walk in progress stops after the visit that destroyed the list.
  ~TKelvoTimerItemList();
  TKelvoTimerItemList(const TKelvoTimerItemList&) = delete;
  TKelvoTimerItemList& operator=(const TKelvoTimerItemList&) = delete;

  int Count() const { return static_cast<int>(FItems.size()); }
  bool IsEmpty() const { return FItems.empty(); }
  // The item at `index`, 0..Count() - 1.
  TKelvoTimerItem* At(int index) const { return FItems[static_cast<std::size_t>(index)]; }
  // Index of `item`, or -1 when it is not in the list.
  int IndexOf(const TKelvoTimerItem* item) const;

  // Appends `item` and returns its index.
  int Add(TKelvoTimerItem* item);
  // Removes `item` if present; a walk in progress continues with the item that followed it.
  void Remove(const TKelvoTimerItem* item);

  // Calls `visit` for each item present when the walk starts, in list order. Walks do not nest.
  // A visit may destroy the list (its pool deleted by a handler): the walk then ends at once.
  void ForEach(const std::function<void(TKelvoTimerItem&)>& visit);

 private:
  std::vector<TKelvoTimerItem*> FItems;
  // The walk in progress: the index being visited and the end of the items it covers.
  bool FWalking = false;
  int FWalkIndex = 0;
  int FWalkEnd = 0;
  bool* FWalkDestroyed = nullptr;  // the walk's flag, set when the list is destroyed under it
};

}  // namespace zephra::widgets
