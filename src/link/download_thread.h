#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "base/stop_flag.h"
#include "link/link_constants.h"
#include "link/transfer_state.h"

namespace zephra::link {

// The transfer engine (DownloadThread). It takes the viewer's file requests in the order they
// came and fetches one file at a time from the session's phone: it asks for chunk k at offset
// k * ChunkSize on the control channel and waits for the data channel to report it, asking once
// more after a silence of `chunkWait` and giving up after a second silence in the same file.
// The finished temporary file replaces the target in one step; then the completion notice
// (id, RequestComplete) goes out, otherwise (id, RequestFailed).
class TDownloadThread {
 public:
  using SendFn = std::function<void(const QByteArray& message)>;
  using DoneFn = std::function<void(std::int32_t id, std::int32_t code)>;

  // Starts the thread at once; it waits for requests. `send` writes one whole message to the
  // session's phone; `abortLoad` is the viewer's stop flag. Both must outlive the engine.
  TDownloadThread(TTransferState& transfer, SendFn send, base::TStopFlag& abortLoad,
                  std::chrono::milliseconds chunkWait = ChunkWait);
  // Stops the thread if Stop has not run.
  ~TDownloadThread();
  TDownloadThread(const TDownloadThread&) = delete;
  TDownloadThread& operator=(const TDownloadThread&) = delete;

  // Where completion notices go (the viewer's RequestDone); empty drops them. When this
  // returns, no notice is running into the previous function. A notice runs on the engine's
  // thread and must not wait for the GUI thread.
  void SetRequestDone(DoneFn done);

  // Queues the request unless a file (not a folder) already exists at `targetPath`.
  void AddRequest(std::int32_t id, const QString& remoteName, const QString& targetPath);
  // Cancels the transfer under way if it is request `id`; otherwise removes the newest queued
  // request with that id.
  void CancelRequest(std::int32_t id);

  // Marks the thread terminated, wakes it and waits for it to end. A transfer under way ends
  // without a notice. Later calls do nothing.
  void Stop();

  // RequestQueue as text: "id=remote name,target path" per request, oldest first; the head is
  // the request under transfer while one runs.
  QStringList RequestQueue() const;

 private:
  struct TRequest {
    std::uint64_t Serial = 0;  // tells apart requests that share an id
    std::int32_t Id = 0;
    QString RemoteName;
    QString TargetPath;
  };

  void Execute();
  bool WaitForHead(TRequest& head);
  void RunTransfer(const TRequest& request);
  bool Interrupted() const;
  void RemoveRequest(std::uint64_t serial);
  void Notify(std::int32_t id, std::int32_t code);

  TTransferState& transfer_;
  const SendFn send_;
  base::TStopFlag& abortLoad_;
  const std::chrono::milliseconds chunkWait_;
  int abortToken_ = -1;

  mutable std::mutex queueLock_;    // FQueueLock: the queue and the cancel of the transfer
  std::condition_variable signal_;  // FSignal: a request was queued, or the thread must end
  std::deque<TRequest> queue_;
  std::uint64_t nextSerial_ = 0;
  std::uint64_t underTransfer_ = 0;  // serial of the request under transfer, 0 for none
  std::atomic<bool> terminated_{false};

  std::mutex doneMutex_;
  DoneFn done_;

  std::thread thread_;  // last: starts once everything above exists
};

}  // namespace zephra::link
