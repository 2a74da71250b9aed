#include "link/transfer_state.h"

#include <QFile>
#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "link/link_constants.h"

namespace zephra::link {

namespace {

// The start value must never pass as a size the PC accepts.
static_assert(UnknownTotal > MaxTransferTotal);

// Creates or replaces `path` with exactly `size` bytes. False when any step failed.
bool WriteWholeFile(const QString& path, const char* data, std::uint32_t size) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  const bool written = size == 0 || file.write(data, size) == static_cast<qint64>(size);
  file.close();
  return written && file.error() == QFileDevice::NoError;
}

}  // namespace

void TTransferState::Begin(std::int32_t id, QString tempPath) {
  std::lock_guard lock(mutex_);
  active_ = true;
  Reset(id, std::move(tempPath));
}

bool TTransferState::End() {
  std::lock_guard lock(mutex_);
  active_ = false;
  const bool complete = valid_ && requestId_ >= 0 && received_ >= total_ && tempWritten_;
  Reset(requestId_, tempPath_);
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
  if (!file_ && total_ > 0) {
    // The size is bounded above; an allocation that still fails fails the transfer.
    file_.reset(new (std::nothrow) char[total_]);
    if (!file_) {
      valid_ = false;
      return Decided(TChunkResult::Refused, lock);
    }
  }
  storing_ = true;
  return {true, TChunkResult::Accepted, file_, head.Offset, count, generation_};
}

TChunkPlan TTransferState::Decided(TChunkResult result, std::unique_lock<std::mutex>& lock) {
  if (result != TChunkResult::Dropped) Notify(lock);
  TChunkPlan plan;
  plan.Result = result;
  return plan;
}

TChunkResult TTransferState::CommitChunk(const TChunkPlan& plan, bool bytesRead) {
  std::unique_lock lock(mutex_);
  if (!plan.Store || plan.Generation != generation_) return TChunkResult::Dropped;
  if (!bytesRead || requestId_ < 0 || !valid_) {
    storing_ = false;
    return TChunkResult::Dropped;
  }
  const std::uint32_t end = plan.Offset + plan.Count;
  const bool last = end >= total_;
  if (last) {
    // The file is written without the lock, so that a cancel or a stop never waits for the
    // disk; other chunks stay out meanwhile (still storing), and the result counts only if
    // the transfer is still the same one afterwards.
    const QString path = tempPath_;
    const std::uint32_t total = total_;
    lock.unlock();
    const bool written = WriteWholeFile(path, plan.Buffer.get(), total);
    lock.lock();
    if (plan.Generation != generation_) return TChunkResult::Dropped;
    tempWritten_ = written;
    file_.reset();
  }
  storing_ = false;
  received_ = end;
  Notify(lock);
  return last ? TChunkResult::Completed : TChunkResult::Accepted;
}

TChunkResult TTransferState::TakeChunk(const TChunkHead& head, const char* bytes,
                                       std::size_t length) {
  const TChunkPlan plan = PlanChunk(head, length);
  if (!plan.Store) return plan.Result;
  if (plan.Count > 0) std::memcpy(plan.Buffer.get() + plan.Offset, bytes, plan.Count);
  return CommitChunk(plan, true);
}

}  // namespace zephra::link
