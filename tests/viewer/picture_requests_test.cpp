#include "viewer/picture_requests.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "link/link_constants.h"
#include "viewer/fetch_picture.h"

namespace zephra::viewer {
namespace {

using namespace std::chrono_literals;

// Stands in for the shell's request routine: hands out ids from 7 on and records every call.
struct TFakeService {
  struct TCall {
    std::int32_t kind;
    std::int32_t id;
    QString name;
    QString path;
  };
  std::mutex mutex;
  std::vector<TCall> calls;
  std::int32_t nextId = 7;
  std::int32_t answer = 0;
  std::function<void(std::int32_t id, const QString& path)> onRequest;

  link::TRequestService Service() {
    return [this](std::int32_t kind, std::int32_t& id, const QString& name, const QString& path) {
      std::function<void(std::int32_t, const QString&)> hook;
      {
        std::lock_guard lock(mutex);
        if (kind == link::rkRequestFile) id = nextId++;
        calls.push_back({kind, id, name, path});
        hook = onRequest;
      }
      if (kind == link::rkRequestFile && hook) hook(id, path);
      return kind == link::rkMayPopUp ? 1 : answer;
    };
  }
  std::vector<std::int32_t> Cancelled() {
    std::lock_guard lock(mutex);
    std::vector<std::int32_t> ids;
    for (const TCall& call : calls) {
      if (call.kind == link::rkCancel) ids.push_back(call.id);
    }
    return ids;
  }
};

void WriteFile(const QString& path, qint64 size) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(QByteArray(size, 'x'));
}

class PictureRequestsTest : public testing::Test {
 protected:
  void SetUp() override { requests_.SetService(fake_.Service()); }

  QTemporaryDir temp_;
  TFakeService fake_;
  TPictureRequests requests_;
  QString path_ = temp_.path() + QStringLiteral("/a.jpg");
};

TEST_F(PictureRequestsTest, ACompletionEndsTheIdAndEveryOlderOneButKeepsEachOutcome) {
  const std::int32_t a = requests_.RequestPicture(QStringLiteral("/a"), path_);
  const std::int32_t b = requests_.RequestPicture(QStringLiteral("/b"), path_);
  const std::int32_t c = requests_.RequestPicture(QStringLiteral("/c"), path_);
  EXPECT_EQ(a, 7);
  EXPECT_EQ(requests_.PollRequest(path_, a), PollOpen);

  requests_.RequestDone(b, link::RequestFailed);
  EXPECT_EQ(requests_.PendingRequests(), std::deque<std::int32_t>{c});
  // Issuing c did not wipe b's outcome, and a (never reported) falls back to the file.
  EXPECT_EQ(requests_.PollRequest(path_, b), PollFailed);
  EXPECT_EQ(requests_.PollRequest(path_, a), PollFailed);
  WriteFile(path_, 1);
  EXPECT_EQ(requests_.PollRequest(path_, a), PollDone);
  EXPECT_EQ(requests_.PollRequest(path_, c), PollOpen);

  // Ids that aren't pending and codes other than 100 and -1 change nothing.
  requests_.RequestDone(c, 50);
  requests_.RequestDone(99, link::RequestComplete);
  EXPECT_EQ(requests_.PollRequest(path_, c), PollOpen);
  requests_.RequestDone(c, link::RequestComplete);
  EXPECT_EQ(requests_.PollRequest(path_, c), PollDone);
}

TEST_F(PictureRequestsTest, ANewRequestDoesNotHideTheOutcomeOfAnEarlierOne) {
  // With one mailbox for all waiters, the second request's issue wiped the first one's
  // completion before its waiter polled, and that waiter timed out after 20 s.
  const std::int32_t a = requests_.RequestPicture(QStringLiteral("/a"), path_);
  WriteFile(path_, 1);
  requests_.RequestDone(a, link::RequestComplete);
  const std::int32_t b = requests_.RequestPicture(QStringLiteral("/b"), path_);
  EXPECT_EQ(requests_.PollRequest(path_, a), PollDone);
  EXPECT_EQ(requests_.PollRequest(path_, b), PollOpen);
}

TEST_F(PictureRequestsTest, ASuccessWithoutAFileIsAFailure) {
  const std::int32_t id = requests_.RequestPicture(QStringLiteral("/a"), path_);
  requests_.RequestDone(id, link::RequestComplete);
  EXPECT_EQ(requests_.PollRequest(path_, id), PollFailed);
}

TEST_F(PictureRequestsTest, CancelsTellTheServiceNewestFirstOnlyForPendingIds) {
  const std::int32_t a = requests_.RequestPicture(QStringLiteral("/a"), path_);
  const std::int32_t b = requests_.RequestPicture(QStringLiteral("/b"), path_);
  const std::int32_t c = requests_.RequestPicture(QStringLiteral("/c"), path_);
  requests_.CancelRequest(b);
  requests_.CancelRequest(b);
  requests_.CancelRequest(1234);
  requests_.CancelAllRequests();
  EXPECT_EQ(fake_.Cancelled(), (std::vector<std::int32_t>{b, c, a}));
  EXPECT_TRUE(requests_.PendingRequests().empty());
  // The engine reports cancelled requests as failed; those reports find nothing pending.
  requests_.RequestDone(a, link::RequestFailed);
  EXPECT_TRUE(requests_.PendingRequests().empty());
}

TEST_F(PictureRequestsTest, WithoutServiceOrWhenRefusedNothingIsPending) {
  fake_.answer = 5;
  EXPECT_EQ(requests_.RequestPicture(QStringLiteral("/a"), path_), -1);
  requests_.SetService({});
  EXPECT_EQ(requests_.RequestPicture(QStringLiteral("/a"), path_), -1);
  EXPECT_EQ(requests_.MayPopUp(), std::nullopt);
  EXPECT_TRUE(requests_.PendingRequests().empty());
}

class FetchPictureTest : public PictureRequestsTest {
 protected:
  void SetUp() override {
    PictureRequestsTest::SetUp();
    cache_.SetPhoneFolder(QStringLiteral("P"));
  }

  TFetchResult Fetch(std::chrono::milliseconds wait = 5s) {
    return FetchPicture(cache_, requests_, name_, QStringLiteral("4"), abort_, wait);
  }
  // Answers every request from another thread, as the engine does.
  void AnswerWith(std::int32_t code, qint64 fileSize) {
    fake_.onRequest = [this, code, fileSize](std::int32_t id, const QString& path) {
      engine_ = std::async(std::launch::async, [this, id, path, code, fileSize] {
        if (fileSize > 0) WriteFile(path, fileSize);
        requests_.RequestDone(id, code);
      });
    };
  }

  TCacheFolder cache_{temp_.path() + QStringLiteral("/cache")};
  base::TStopFlag abort_;
  QString name_ = QStringLiteral("/DCIM/a.jpg");
  std::future<void> engine_;
};

TEST_F(FetchPictureTest, APresentFileOfTheRightSizeIsNotRequested) {
  WriteFile(cache_.LocalPathOf(name_), 4);
  const TFetchResult result = Fetch();
  EXPECT_EQ(result.Code, FetchPresent);
  EXPECT_EQ(result.Path, cache_.LocalPathOf(name_));
  EXPECT_TRUE(fake_.calls.empty());
}

TEST_F(FetchPictureTest, ARequestThatCompletesGivesTheFile) {
  AnswerWith(link::RequestComplete, 4);
  const TFetchResult result = Fetch();
  EXPECT_EQ(result.Code, FetchPresent);
  // The file may be seen before the completion arrives; the request is then cancelled, which
  // the fake records too.
  ASSERT_GE(fake_.calls.size(), 1u);
  EXPECT_EQ(fake_.calls[0].kind, link::rkRequestFile);
  EXPECT_EQ(fake_.calls[0].name, name_);
  EXPECT_EQ(fake_.calls[0].path, result.Path);
}

TEST_F(FetchPictureTest, FailuresAndMissingFilesAreFailures) {
  AnswerWith(link::RequestFailed, 0);
  EXPECT_EQ(Fetch().Code, FetchFailed);
  AnswerWith(link::RequestComplete, 0);
  EXPECT_EQ(Fetch().Code, FetchFailed);
  requests_.SetService({});
  EXPECT_EQ(Fetch().Code, FetchNoService);
}

TEST_F(FetchPictureTest, AFileOfTheWrongSizeIsReplacedNotWaitedForInVain) {
  // The engine never queues a target that exists; the stale file must go first.
  WriteFile(cache_.LocalPathOf(name_), 3);
  AnswerWith(link::RequestComplete, 4);
  EXPECT_EQ(Fetch().Code, FetchPresent);
  EXPECT_EQ(QFileInfo(cache_.LocalPathOf(name_)).size(), 4);
}

TEST_F(FetchPictureTest, AFileBroughtByAnotherRequestEndsTheWait) {
  fake_.onRequest = [](std::int32_t, const QString& path) { WriteFile(path, 4); };
  EXPECT_EQ(Fetch().Code, FetchPresent);
  EXPECT_EQ(fake_.Cancelled().size(), 1u);
}

TEST_F(FetchPictureTest, NoCompletionTimesOutAndCancels) {
  const TFetchResult result = Fetch(30ms);
  EXPECT_EQ(result.Code, FetchTimedOut);
  EXPECT_EQ(fake_.Cancelled(), std::vector<std::int32_t>{7});
  EXPECT_TRUE(requests_.PendingRequests().empty());
}

TEST_F(FetchPictureTest, TheStopFlagEndsTheWaitAtOnceAndCancelsEverything) {
  const std::int32_t other = requests_.RequestPicture(QStringLiteral("/other"), path_);
  fake_.onRequest = [this](std::int32_t, const QString&) {
    engine_ = std::async(std::launch::async, [this] {
      std::this_thread::sleep_for(20ms);
      abort_.Set(true);
    });
  };
  // A minute's wait that must end with the flag.
  const TFetchResult result = Fetch(60s);
  EXPECT_EQ(result.Code, FetchStopped);
  EXPECT_TRUE(result.Path.isEmpty());
  EXPECT_EQ(fake_.Cancelled(), (std::vector<std::int32_t>{8, other}));
}

}  // namespace
}  // namespace zephra::viewer
