#pragma once

#include <QString>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>

#include "link/viewer_port.h"

namespace zephra::viewer {

// The viewer's side of file requests: it asks the shell's request service (RequestService) for
// files, keeps the ids it waits for (PendingRequests, oldest first) and one outcome per
// completed id, so that every waiter learns its own request's end. Any thread; RequestDone runs
// on the transfer engine's thread.
class TPictureRequests {
 public:
  // Sets or (with an empty function) clears the request service.
  void SetService(link::TRequestService service);
  bool HasService() const;
  // Asks the service whether the viewer may pop up; nullopt without a service.
  std::optional<bool> MayPopUp();

  // Requests the file of phone picture `name` to be written to `path`: the new id, or -1 when
  // there is no service or it refused.
  std::int32_t RequestPicture(const QString& name, const QString& path);
  // Cancels a pending request (the service is told); other ids change nothing.
  void CancelRequest(std::int32_t id);
  // Cancels every pending request, newest first.
  void CancelAllRequests();
  // The completion entry: code 100 (done) or -1 (failed); other codes are ignored. A pending id
  // leaves the list with every older one and keeps its outcome; other ids change nothing.
  void RequestDone(std::int32_t id, std::int32_t code);
  // PollDone when request `id` is done and a file is at `path`; PollFailed when it failed, was
  // reported done without a file, or was dropped without an outcome and no file is there;
  // PollOpen while it is pending. Hands a reported outcome out once.
  int PollRequest(const QString& path, std::int32_t id);

  // A count that goes up with every completion and every Wake.
  std::uint64_t NewsCount() const;
  // Waits until the count differs from `seen` or `deadline` passes, and updates `seen`; false
  // when the deadline passed first. Read `seen` before polling, so that no news is missed.
  bool WaitForNews(std::uint64_t& seen, std::chrono::steady_clock::time_point deadline);
  // Wakes every WaitForNews (a stop flag was set).
  void Wake();

  std::deque<std::int32_t> PendingRequests() const;

 private:
  void CancelLocked(std::int32_t id);

  mutable std::mutex lock_;  // RequestLock
  std::condition_variable news_;
  std::uint64_t newsCount_ = 0;
  link::TRequestService service_;
  std::deque<std::int32_t> pending_;
  std::map<std::int32_t, std::int32_t> outcomes_;  // completed ids not yet polled
};

}  // namespace zephra::viewer
