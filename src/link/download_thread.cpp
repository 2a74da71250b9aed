#include "link/download_thread.h"

#include <QFile>
#include <QFileInfo>
#include <utility>

#include "link/chunk_file.h"
#include "link/link_message.h"

namespace zephra::link {

namespace {

// Picture names shorter than this are not asked for.
constexpr qsizetype MinRemoteNameLength = 2;

}  // namespace

TDownloadThread::TDownloadThread(TTransferState& transfer, SendFn send, base::TStopFlag& abortLoad,
                                 std::chrono::milliseconds chunkWait)
    : transfer_(transfer), send_(std::move(send)), abortLoad_(abortLoad), chunkWait_(chunkWait) {
  abortToken_ = abortLoad_.Subscribe([this] { transfer_.Wake(); });
  thread_ = std::thread([this] { Execute(); });
}

TDownloadThread::~TDownloadThread() {
  Stop();
  abortLoad_.Unsubscribe(abortToken_);
}

void TDownloadThread::SetRequestDone(DoneFn done) {
  std::lock_guard lock(doneMutex_);
  done_ = std::move(done);
}

void TDownloadThread::AddRequest(std::int32_t id, const QString& remoteName,
                                 const QString& targetPath) {
  if (QFileInfo(targetPath).isFile()) return;
  {
    std::lock_guard lock(queueLock_);
    queue_.push_back({++nextSerial_, id, remoteName, targetPath});
  }
  signal_.notify_one();
}

void TDownloadThread::CancelRequest(std::int32_t id) {
  std::lock_guard lock(queueLock_);
  if (transfer_.CancelIf(id)) return;
  // The request under transfer stays for the engine to remove, even when it was cancelled
  // before.
  for (auto it = queue_.rbegin(); it != queue_.rend(); ++it) {
    if (it->Id == id && it->Serial != underTransfer_) {
      queue_.erase(std::next(it).base());
      return;
    }
  }
}

void TDownloadThread::Stop() {
  {
    std::lock_guard lock(queueLock_);
    terminated_.store(true);
  }
  signal_.notify_all();
  transfer_.Wake();
  if (thread_.joinable()) thread_.join();
}

QStringList TDownloadThread::RequestQueue() const {
  std::lock_guard lock(queueLock_);
  QStringList entries;
  for (const TRequest& request : queue_) {
    entries
        << QStringLiteral("%1=%2,%3").arg(request.Id).arg(request.RemoteName, request.TargetPath);
  }
  return entries;
}

void TDownloadThread::Execute() {
  try {
    TRequest head;
    while (WaitForHead(head)) {
      if (head.RemoteName.size() < MinRemoteNameLength) {
        Notify(head.Id, RequestFailed);
      } else {
        RunTransfer(head);
        if (terminated_.load()) return;  // no notice; the request stays queued
      }
      RemoveRequest(head.Serial);
    }
  } catch (...) {
    // The engine ends; requests then time out in the viewer.
  }
}

bool TDownloadThread::WaitForHead(TRequest& head) {
  std::unique_lock lock(queueLock_);
  signal_.wait(lock, [this] { return terminated_.load() || !queue_.empty(); });
  if (terminated_.load()) return false;
  head = queue_.front();
  underTransfer_ = head.Serial;
  // A request that is never asked for gets no transfer, so no chunk can land for its id.
  if (head.RemoteName.size() >= MinRemoteNameLength) {
    // A temporary file left by an earlier attempt must never pass for this one's.
    const QString tempPath = head.TargetPath + QStringLiteral(".tmp");
    QFile::remove(tempPath);
    transfer_.Begin(head.Id, tempPath);
  }
  return true;
}

void TDownloadThread::RunTransfer(const TRequest& request) {
  const QString tempPath = request.TargetPath + QStringLiteral(".tmp");
  const auto interrupted = [this] { return Interrupted(); };
  std::uint32_t chunk = 0;
  bool mayAskAgain = true;
  while (!Interrupted() && transfer_.Continuing()) {
    const std::uint64_t offset = std::uint64_t{chunk} * ChunkSize;
    if (offset > transfer_.Total()) break;
    const auto at = static_cast<std::uint32_t>(offset);
    send_(MakeChunkRequest(static_cast<std::uint32_t>(request.Id), at, request.RemoteName));
    if (transfer_.WaitForProgress(at, chunkWait_, interrupted)) {
      ++chunk;
    } else if (mayAskAgain) {
      mayAskAgain = false;  // one more request for the same chunk
    } else {
      break;
    }
  }
  const bool complete = transfer_.End();
  if (terminated_.load()) return;
  const bool placed = complete && ReplaceFile(tempPath, request.TargetPath);
  Notify(request.Id, placed ? RequestComplete : RequestFailed);
}

bool TDownloadThread::Interrupted() const { return terminated_.load() || abortLoad_.IsSet(); }

void TDownloadThread::RemoveRequest(std::uint64_t serial) {
  std::lock_guard lock(queueLock_);
  underTransfer_ = 0;
  for (auto it = queue_.begin(); it != queue_.end(); ++it) {
    if (it->Serial == serial) {
      queue_.erase(it);
      return;
    }
  }
}

void TDownloadThread::Notify(std::int32_t id, std::int32_t code) {
  std::lock_guard lock(doneMutex_);
  if (done_) done_(id, code);
}

}  // namespace zephra::link
