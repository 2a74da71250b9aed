#include "link/transfer_state.h"

#include <algorithm>
#include <utility>

#include "link/link_constants.h"

namespace zephra::link {

// The start value must never pass as a size the PC accepts.
static_assert(UnknownTotal > MaxTransferTotal);

void TTransferState::Begin(std::int32_t id, QString tempPath) {
  std::shared_ptr<TChunkFile> left;
  {
    std::lock_guard lock(mutex_);
    active_ = true;
    left = std::move(file_);
    Reset(id, std::move(tempPath));
  }
  if (left) left->Discard();
}

bool TTransferState::End() {
  std::shared_ptr<TChunkFile> partial;
  bool complete = false;
  {
    std::lock_guard lock(mutex_);
    active_ = false;
    complete = valid_ && requestId_ >= 0 && received_ >= total_ && tempWritten_;
    partial = std::move(file_);
    Reset(requestId_, tempPath_);
  }
  // Deleted outside the lock: a cancel or a stop never waits for the disk.
  if (partial) partial->Discard();
  return complete;
}

void TTransferState::Reset(std::int32_t id, QString tempPath) {
  valid_ = true;
  requestId_ = id;
  total_ = UnknownTotal;
  received_ = 0;
  tempWritten_ = false;
  storing_ = false;
  ++generation_;
  tempPath_ = std::move(tempPath);
  file_.reset();
}

bool TTransferState::CancelIf(std::int32_t id) {
  std::unique_lock lock(mutex_);
  if (!active_ || requestId_ < 0 || requestId_ != id) return false;
  requestId_ = -1;
  Notify(lock);
  return true;
}

void TTransferState::Wake() {
  std::unique_lock lock(mutex_);
  Notify(lock);
}

void TTransferState::Notify(std::unique_lock<std::mutex>& lock) {
  lock.unlock();
  changed_.notify_all();
}

bool TTransferState::WaitForProgress(std::uint32_t offset, std::chrono::milliseconds wait,
                                     const std::function<bool()>& interrupted) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, wait, [&] {
    return interrupted() || !valid_ || requestId_ < 0 || received_ != offset || received_ >= total_;
  });
}

bool TTransferState::Continuing() const {
  std::lock_guard lock(mutex_);
  return valid_ && requestId_ >= 0 && received_ < total_;
}

std::int32_t TTransferState::RequestId() const {
  std::lock_guard lock(mutex_);
  return requestId_;
}

std::uint32_t TTransferState::Total() const {
  std::lock_guard lock(mutex_);
  return total_;
}

std::uint32_t TTransferState::Received() const {
  std::lock_guard lock(mutex_);
  return received_;
}

TChunkPlan TTransferState::PlanChunk(const TChunkHead& head, std::size_t length) {
  std::unique_lock lock(mutex_);
  if (!active_ || requestId_ < 0 || head.Id != static_cast<std::uint32_t>(requestId_) ||
      received_ >= total_) {
    return Decided(TChunkResult::Dropped, lock);
  }
  // A refusal, a size beyond what the PC takes, or a size that changed after the first chunk
  // all fail the transfer.
  const bool sizeKnown = total_ != UnknownTotal;
  const bool sizeChanged = sizeKnown && head.Total != total_;
  if (head.Status != 0 || head.Total > MaxTransferTotal || sizeChanged) {
    valid_ = false;
    return Decided(TChunkResult::Refused, lock);
  }
  // Repeats of bytes already here (an answer to a repeated request) change nothing, bytes
  // beyond those that arrived would leave a gap, and one chunk is stored at a time.
  if (head.Offset > received_ || head.Offset > head.Total || storing_) {
    return Decided(TChunkResult::Dropped, lock);
  }
  const auto count =
      static_cast<std::uint32_t>(std::min<std::size_t>(head.Total - head.Offset, length));
  const std::uint32_t end = head.Offset + count;
  if (sizeKnown && end <= received_) return Decided(TChunkResult::Dropped, lock);
  if (end < head.Total && end % ChunkSize != 0) {
    total_ = received_;
    return Decided(TChunkResult::CutShort, lock);
  }
  total_ = head.Total;
  if (!file_ && !OpenFile()) {
    valid_ = false;
    return Decided(TChunkResult::Refused, lock);
  }
  storing_ = true;
  return {true, TChunkResult::Accepted, head.Offset, count, generation_};
}

bool TTransferState::OpenFile() {
  auto file = std::make_shared<TChunkFile>();
  if (!file->Open(tempPath_)) return false;
  file_ = std::move(file);
  return true;
}

TChunkPlan TTransferState::Decided(TChunkResult result, std::unique_lock<std::mutex>& lock) {
  if (result != TChunkResult::Dropped) Notify(lock);
  TChunkPlan plan;
  plan.Result = result;
  return plan;
}

TChunkResult TTransferState::CommitChunk(const TChunkPlan& plan, bool bytesRead,
                                         const char* bytes) {
  std::unique_lock lock(mutex_);
  if (!plan.Store || plan.Generation != generation_) return TChunkResult::Dropped;
  if (!bytesRead || requestId_ < 0 || !valid_) {
    storing_ = false;
    return TChunkResult::Dropped;
  }
  if (plan.Offset + plan.Count >= total_) return CommitLast(plan, bytes, lock);
  WriteBehind(plan, bytes, lock);
  return TChunkResult::Accepted;
}

void TTransferState::WriteBehind(const TChunkPlan& plan, const char* bytes,
                                 std::unique_lock<std::mutex>& lock) {
  const std::shared_ptr<TChunkFile> file = file_;
  storing_ = false;
  received_ = plan.Offset + plan.Count;
  ++writesBehind_;
  Notify(lock);  // the engine asks for the next chunk while these bytes go to disk
  const bool written = file->WriteAt(plan.Offset, bytes, plan.Count);
  lock.lock();
  --writesBehind_;
  if (!written && plan.Generation == generation_) valid_ = false;
  Notify(lock);
}

TChunkResult TTransferState::CommitLast(const TChunkPlan& plan, const char* bytes,
                                        std::unique_lock<std::mutex>& lock) {
  // The last bytes and the close go to disk without the lock, so that a cancel or the viewer's
  // stop never waits for them; other chunks stay out meanwhile (still storing), and the result
  // counts only if the transfer is still the same one afterwards.
  const std::shared_ptr<TChunkFile> file = file_;
  lock.unlock();
  bool written = file->WriteAt(plan.Offset, bytes, plan.Count);
  lock.lock();
  changed_.wait(lock, [this] { return writesBehind_ == 0; });
  if (plan.Generation != generation_) return TChunkResult::Dropped;
  lock.unlock();
  written = file->Finish() && written;
  lock.lock();
  if (plan.Generation != generation_) return TChunkResult::Dropped;
  tempWritten_ = written;
  file_.reset();
  storing_ = false;
  received_ = plan.Offset + plan.Count;
  Notify(lock);
  return TChunkResult::Completed;
}

TChunkResult TTransferState::TakeChunk(const TChunkHead& head, const char* bytes,
                                       std::size_t length) {
  const TChunkPlan plan = PlanChunk(head, length);
  if (!plan.Store) return plan.Result;
  return CommitChunk(plan, true, bytes);
}

}  // namespace zephra::link
