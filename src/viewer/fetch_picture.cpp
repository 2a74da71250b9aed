#include "viewer/fetch_picture.h"

#include <QFile>
#include <QFileInfo>

namespace zephra::viewer {
namespace {

// Wakes the request wait while `flag` is set; unsubscribes when it ends.
class TStopWaker {
 public:
  TStopWaker(base::TStopFlag& flag, TPictureRequests& requests)
      : flag_(flag), token_(flag.Subscribe([&requests] { requests.Wake(); })) {}
  ~TStopWaker() { flag_.Unsubscribe(token_); }
  TStopWaker(const TStopWaker&) = delete;
  TStopWaker& operator=(const TStopWaker&) = delete;

 private:
  base::TStopFlag& flag_;
  const int token_;
};

// Waits for request `id`: its outcome, the file turning up whole (another request brought it),
// the stop flag or the deadline.
int AwaitRequest(TPictureRequests& requests, std::int32_t id, const QString& path,
                 std::int64_t size, base::TStopFlag& abortLoad, std::chrono::milliseconds wait) {
  const auto deadline = std::chrono::steady_clock::now() + wait;
  std::uint64_t seen = requests.NewsCount();
  for (;;) {
    if (abortLoad.IsSet()) {
      requests.CancelAllRequests();
      return FetchStopped;
    }
    const int poll = requests.PollRequest(path, id);
    if (poll == PollFailed) return FetchFailed;
    if (poll == PollDone) return FetchPresent;
    // Files are renamed into place whole, so a matching file is a finished one.
    if (FileMatches(path, size)) {
      requests.CancelRequest(id);
      return FetchPresent;
    }
    if (!requests.WaitForNews(seen, deadline)) {
      requests.CancelRequest(id);
      return FetchTimedOut;
    }
  }
}

}  // namespace

TFetchResult FetchPicture(TCacheFolder& cache, TPictureRequests& requests, const QString& name,
                          const QString& sizeText, base::TStopFlag& abortLoad,
                          std::chrono::milliseconds wait, const std::function<void()>& meanwhile) {
  const auto runMeanwhile = [&meanwhile] {
    if (meanwhile) meanwhile();
  };
  TFetchResult result;
  result.Path = cache.LocalPathOf(name);
  const std::int64_t size = AnnouncedSize(sizeText);
  if (FileMatches(result.Path, size)) {
    runMeanwhile();
    result.Code = FetchPresent;
    return result;
  }
  if (result.Path.isEmpty()) {  // no name, no file
    runMeanwhile();
    return result;
  }
  if (QFileInfo(result.Path).isFile()) QFile::remove(result.Path);

  const std::int32_t id = requests.RequestPicture(name, result.Path);
  runMeanwhile();
  if (id < 0) {
    result.Code = FetchNoService;
    return result;
  }
  TStopWaker waker(abortLoad, requests);
  result.Code = AwaitRequest(requests, id, result.Path, size, abortLoad, wait);
  if (result.Code == FetchStopped) result.Path.clear();
  return result;
}

}  // namespace zephra::viewer
