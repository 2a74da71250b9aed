#include "platform/termination_watch.h"

#include <csignal>
#include <thread>

#include <signal.h>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QThread>

namespace zephra::platform {
namespace {

constexpr int DeliveryTimeoutMs = 5000;
constexpr int PollMs = 50;

using Handler = void (*)(int);

Handler CurrentHandler(int signalNumber) {
  struct sigaction current {};
  ::sigaction(signalNumber, nullptr, &current);
  return current.sa_handler;
}

class TerminationWatchTest : public ::testing::Test {
 protected:
  // Runs the event loop until the watch reported a request or the time is up.
  void WaitForRequest() {
    const QDeadlineTimer deadline(DeliveryTimeoutMs);
    while (requests_ == 0 && !deadline.hasExpired()) {
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, PollMs);
    }
  }
  void OnRequest() {
    ++requests_;
    requestThread_ = QThread::currentThread();
  }

  int argc_ = 1;
  char arg0_[14] = "platform_test";
  char* argv_[2]{arg0_, nullptr};
  QCoreApplication app_{argc_, argv_};
  int requests_ = 0;
  QThread* requestThread_ = nullptr;
};

TEST_F(TerminationWatchTest, SigtermBecomesACallOnTheGuiThread) {
  TTerminationWatch watch([this] { OnRequest(); });
  ASSERT_TRUE(watch.Installed());
  ::raise(SIGTERM);
  EXPECT_EQ(requests_, 0) << "the callback must wait for the event loop";
  WaitForRequest();
  EXPECT_EQ(requests_, 1);
  EXPECT_EQ(requestThread_, app_.thread());
}

TEST_F(TerminationWatchTest, SigintCaughtOnAnotherThreadStillReachesTheGuiThread) {
  TTerminationWatch watch([this] { OnRequest(); });
  ASSERT_TRUE(watch.Installed());
  std::thread([] { ::raise(SIGINT); }).join();
  WaitForRequest();
  EXPECT_EQ(requests_, 1);
  EXPECT_EQ(requestThread_, app_.thread());
}

TEST_F(TerminationWatchTest, IgnoresSigpipeWhileWatchingAndRestoresDispositionsAfterwards) {
  const Handler termBefore = CurrentHandler(SIGTERM);
  const Handler intBefore = CurrentHandler(SIGINT);
  const Handler pipeBefore = CurrentHandler(SIGPIPE);
  {
    TTerminationWatch watch([this] { OnRequest(); });
    EXPECT_EQ(CurrentHandler(SIGPIPE), SIG_IGN);
    EXPECT_NE(CurrentHandler(SIGTERM), termBefore);
    ::raise(SIGPIPE);  // would end the test process if not ignored
  }
  EXPECT_EQ(CurrentHandler(SIGTERM), termBefore);
  EXPECT_EQ(CurrentHandler(SIGINT), intBefore);
  EXPECT_EQ(CurrentHandler(SIGPIPE), pipeBefore);
}

}  // namespace
}  // namespace zephra::platform
