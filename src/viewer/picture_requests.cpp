#include "viewer/picture_requests.h"

#include <QFileInfo>
#include <algorithm>

#include "link/link_constants.h"
#include "viewer/viewer_constants.h"

namespace zephra::viewer {

void TPictureRequests::SetService(link::TRequestService service) {
  std::lock_guard lock(lock_);
  service_ = std::move(service);
}

bool TPictureRequests::HasService() const {
  std::lock_guard lock(lock_);
  return static_cast<bool>(service_);
}

std::optional<bool> TPictureRequests::MayPopUp() {
  std::lock_guard lock(lock_);
  if (!service_) return std::nullopt;
  std::int32_t unused = 0;
  return service_(link::rkMayPopUp, unused, {}, {}) == 1;
}

std::int32_t TPictureRequests::RequestPicture(const QString& name, const QString& path) {
  std::lock_guard lock(lock_);
  if (!service_) return -1;
  std::int32_t id = -1;
  if (service_(link::rkRequestFile, id, name, path) != 0 || id < 0) return -1;
  // An id handed out again (the counter wrapped) starts afresh.
  outcomes_.erase(id);
  pending_.push_back(id);
  return id;
}

void TPictureRequests::CancelRequest(std::int32_t id) {
  std::lock_guard lock(lock_);
  CancelLocked(id);
  outcomes_.erase(id);
}

void TPictureRequests::CancelAllRequests() {
  std::lock_guard lock(lock_);
  while (!pending_.empty()) CancelLocked(pending_.back());
  outcomes_.clear();
}

void TPictureRequests::CancelLocked(std::int32_t id) {
  const auto it = std::find(pending_.begin(), pending_.end(), id);
  if (it == pending_.end()) return;
  pending_.erase(it);
  if (service_) {
    std::int32_t cancelled = id;
    service_(link::rkCancel, cancelled, {}, {});
  }
}

void TPictureRequests::RequestDone(std::int32_t id, std::int32_t code) {
  if (code != link::RequestComplete && code != link::RequestFailed) return;
  {
    std::lock_guard lock(lock_);
    const auto it = std::find(pending_.begin(), pending_.end(), id);
    if (it == pending_.end()) return;
    // The engine serves requests in order: every older one has ended too, though its notice
    // may never come (a target that existed was never queued). Its waiter looks at the file.
    pending_.erase(pending_.begin(), it + 1);
    outcomes_[id] = code;
    ++newsCount_;
  }
  news_.notify_all();
}

int TPictureRequests::PollRequest(const QString& path, std::int32_t id) {
  std::int32_t code = link::RequestComplete;
  {
    std::lock_guard lock(lock_);
    const auto outcome = outcomes_.find(id);
    if (outcome != outcomes_.end()) {
      code = outcome->second;
      outcomes_.erase(outcome);
    } else if (std::find(pending_.begin(), pending_.end(), id) != pending_.end()) {
      return PollOpen;
    }
  }
  if (code != link::RequestComplete) return PollFailed;
  return QFileInfo(path).isFile() ? PollDone : PollFailed;
}

std::uint64_t TPictureRequests::NewsCount() const {
  std::lock_guard lock(lock_);
  return newsCount_;
}

bool TPictureRequests::WaitForNews(std::uint64_t& seen,
                                   std::chrono::steady_clock::time_point deadline) {
  std::unique_lock lock(lock_);
  const bool news = news_.wait_until(lock, deadline, [&] { return newsCount_ != seen; });
  seen = newsCount_;
  return news;
}

void TPictureRequests::Wake() {
  {
    std::lock_guard lock(lock_);
    ++newsCount_;
  }
  news_.notify_all();
}

std::deque<std::int32_t> TPictureRequests::PendingRequests() const {
  std::lock_guard lock(lock_);
  return pending_;
}

}  // namespace zephra::viewer
