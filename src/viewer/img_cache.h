#pragma once

#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "base/stop_flag.h"
#include "viewer/cache_folder.h"
#include "viewer/picture_requests.h"
#include "viewer/viewer_constants.h"

namespace zephra::viewer {

enum TSlotState : std::uint8_t { isPending, isLoading, isReady, isFailed };

// One cache slot: a decoded picture of a list entry, or the wish for one. The image cache's
// slots are filled under the list names of the pictures; the one that the control shows is
// described by the same fields.
struct TImgCache {
  TSlotState State = isPending;
  QString Name;  // the list name the slot is filled for
  QString Key;   // its announced size as decimal text
  QImage Picture;
  bool Reduced = false;  // Picture is a reduced decode
  int Width = 0;         // full-resolution size after the orientation
  int Height = 0;
  int FrameIndex = 0;
  int FrameCount = 0;

  // Empty name, key and picture, with `state`.
  void Reset(TSlotState state);
};

// What the image cache works with. `fittedView` tells whether the picture control shows a
// fitted view (then neighbours are decoded reduced to the screen); any thread.
struct TImgCacheEnv {
  TCacheFolder& Cache;
  TPictureRequests& Requests;
  base::TStopFlag& AbortLoad;
  QSize ScreenSize;
  std::chrono::milliseconds FetchWait = viewer::FetchWait;
  std::function<bool()> FittedView;
};

// TThrImgCache: the viewer's image-cache worker. After every new picture it downloads and
// decodes the two neighbours in the list into two slots, and a full-resolution decode of the
// current picture when that is a JPEG shown reduced, so that the next step of the list and the
// first zoom find their pictures ready. It runs below normal priority. Decodes run outside the
// lock; the lock guards the slots, the request lists and every hand-over between a slot and the
// control. Any thread.
class TThrImgCache {
 public:
  explicit TThrImgCache(TImgCacheEnv env);
  // Stops the worker and waits for it.
  ~TThrImgCache();
  TThrImgCache(const TThrImgCache&) = delete;
  TThrImgCache& operator=(const TThrImgCache&) = delete;

  // Terminates the worker, wakes it and waits until it has ended. Later calls do nothing.
  void Stop();

  // PlanNeighbours: the neighbours of entry `index` become the wanted pictures.
  void PlanNeighbours(const QStringList& names, const QStringList& sizes, int index);
  // Empties the full-resolution slot (a new picture is about to be shown).
  void ResetFull();
  // KickCache: `name` is the picture now shown; its full-resolution decode is prepared when it
  // is a JPEG shown `reduced`. Wakes the worker when there are neighbours to get.
  void KickCache(const QString& name, const QString& key, bool reduced);

  // Empties both slots, the full-resolution slot and the wishes (the viewer closed); a decode
  // under way is dropped when it ends.
  void Clear();
  // Waits while a slot is decoding `name` of size `key`, so that a picture about to be shown is
  // taken from the slot instead of being decoded a second time. Not on the GUI thread.
  void WaitWhileLoading(const QString& name, const QString& key);
  // FindSlot: the slot (0 or 1) filled under `name` (ignoring case) and, when given, the size
  // text `key` (a file that changed its size is another picture); -1 if none.
  int FindSlot(const QString& name, const std::optional<QString>& key = std::nullopt) const;
  // TakeCached: when a slot holds a usable decode of `name` of size `key` (ready, not empty,
  // and full-size unless `fittedView`), exchanges it with `shown`, which then describes the new
  // picture and leaves the one shown so far in the slot, ready for a step back (failed when
  // empty).
  bool TakeCached(const QString& name, const QString& key, bool fittedView, TImgCache& shown);
  // For the full-resolution reload of picture `name`: waits while its prepared decode is still
  // being made, then moves it into `picture` (with its size and frame count) when it is there.
  // The full slot is empty afterwards either way.
  bool TakeFull(const QString& name, TImgCache& picture);

  // What the worker currently holds, for tests.
  TImgCache SlotCopy(int slot) const;
  TImgCache FullCopy() const;
  // Wake-ups served so far, for tests.
  int Passes() const { return passes_.load(); }

 private:
  void Run();
  // One wake-up: the wishes are given to the slots, which are then filled.
  void ServeWakeUp();
  void TakeRequests();
  void FillSlot(TImgCache& slot, bool fullResolution);
  // Whether request `name` of size `key` is among the wishes.
  bool Requested(const QString& name, const QString& key) const;
  bool Terminated() const { return terminated_.load(); }

  TImgCacheEnv env_;
  mutable std::mutex lock_;  // FCacheLock
  std::condition_variable changed_;
  int wakeCount_ = 0;  // FWake's count
  std::array<TImgCache, 2> slots_;
  TImgCache full_;
  QStringList requests_;            // CacheRequests
  QStringList requestSizes_;        // CacheRequestSizes
  bool neighboursPlanned_ = false;  // the last plan named neighbours
  QString currentName_;
  bool currentReduced_ = false;
  std::atomic<bool> terminated_{false};
  std::atomic<int> passes_{0};
  std::thread thread_;
};

}  // namespace zephra::viewer
