#pragma once

#include <QString>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "link/chunk_file.h"
#include "link/link_message.h"

namespace zephra::link {

// What one chunk from the data channel did to the transfer under way.
enum class TChunkResult {
  Dropped,    // not for the transfer under way, a repeat, or one that would leave a gap
  Refused,    // the phone refused the file, announced more than the PC takes, or changed its size
  Accepted,   // the bytes are in place; more are to come
  Completed,  // the last bytes are in place and the temporary file is whole
  CutShort,   // a chunk that isn't the last ended off the chunk grid: the transfer ends
};

// How the data channel treats one chunk, decided from its head before its bytes are read. When
// `Store` holds, the chunk's first `Count` payload bytes are read and committed, to land in the
// file at `Offset`; otherwise `Result` tells what became of it.
struct TChunkPlan {
  bool Store = false;
  TChunkResult Result = TChunkResult::Dropped;
  std::uint32_t Offset = 0;
  std::uint32_t Count = 0;
  std::uint64_t Generation = 0;  // the transfer the plan belongs to
};

// The one transfer that runs at a time, shared by the engine's thread and the data channel's
// connection threads: the request id, the expected total (FTotal), how far the file has
// arrived (FReceived), whether it may still complete (FValid), and the temporary file the
// chunks are written to as they arrive. Every change wakes the engine's wait.
class TTransferState {
 public:
  // Engine: a new transfer of request `id` starts; its finished file goes to `tempPath`. The
  // total is unknown (UnknownTotal) and nothing has arrived.
  void Begin(std::int32_t id, QString tempPath);
  // Engine: the transfer is over; chunks are dropped from now on. True when it completed: not
  // refused or cancelled, every byte arrived and the temporary file was written whole. A
  // temporary file that is not whole is deleted.
  bool End();
  // Cancels the transfer under way if it is request `id` (its id becomes -1). True if it was.
  bool CancelIf(std::int32_t id);
  // Wakes the engine's wait so that it checks its own stop conditions.
  void Wake();

  // Engine: waits at most `wait` for the chunk asked for at `offset` to land, or for the
  // transfer to be refused, cancelled or cut short, or for `interrupted` to hold. True when the
  // wait ended early for any of these reasons.
  bool WaitForProgress(std::uint32_t offset, std::chrono::milliseconds wait,
                       const std::function<bool()>& interrupted);
  // The transfer may go on: not refused, not cancelled, and bytes are still missing.
  bool Continuing() const;

  // Data channel: decides what to do with a chunk whose head was read and whose payload after
  // the head is `length` bytes. At most one chunk is being stored at a time.
  TChunkPlan PlanChunk(const TChunkHead& head, std::size_t length);
  // Data channel: the `plan.Count` bytes of a stored chunk were read into `bytes` (`bytesRead`)
  // or not. The chunk counts only if its transfer is still the one under way. It counts before
  // its bytes are written, so that the engine asks for the next chunk while they go to disk; a
  // failed write then fails the transfer. The last chunk counts once the file is whole.
  TChunkResult CommitChunk(const TChunkPlan& plan, bool bytesRead, const char* bytes);
  // PlanChunk, copying from `bytes`, CommitChunk.
  TChunkResult TakeChunk(const TChunkHead& head, const char* bytes, std::size_t length);

  std::int32_t RequestId() const;
  std::uint32_t Total() const;
  std::uint32_t Received() const;

 private:
  TChunkPlan Decided(TChunkResult result, std::unique_lock<std::mutex>& lock);
  bool OpenFile();
  TChunkResult CommitLast(const TChunkPlan& plan, const char* bytes,
                          std::unique_lock<std::mutex>& lock);
  void WriteBehind(const TChunkPlan& plan, const char* bytes, std::unique_lock<std::mutex>& lock);
  void Reset(std::int32_t id, QString tempPath);
  void Notify(std::unique_lock<std::mutex>& lock);

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool active_ = false;
  bool valid_ = false;            // FValid
  std::int32_t requestId_ = -1;   // FRequestId
  std::uint32_t total_ = 0;       // FTotal
  std::uint32_t received_ = 0;    // FReceived
  bool tempWritten_ = false;      // this transfer wrote its temporary file whole
  bool storing_ = false;          // a chunk's bytes are being read
  int writesBehind_ = 0;          // counted chunks whose bytes are still being written
  std::uint64_t generation_ = 0;  // counts transfers, so late chunks can be told apart
  QString tempPath_;              // FTempPath
  // The temporary file, open from the first stored chunk on. Shared with the data channel
  // threads that write to it, so that ending a transfer never closes it under a write.
  std::shared_ptr<TChunkFile> file_;
};

}  // namespace zephra::link
