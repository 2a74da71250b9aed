// The viewer's two timed closes, driven through the tray form with a phone simulator: the
// viewer's own inactivity close, which tells the phone, and the hotspot watch's close of a viewer
// whose phone went quiet, which doesn't.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/tfm_zephra_wifi.h"
#include "app_test_support.h"
#include "phone/phone_simulator.h"
#include "test_files.h"

namespace zephra::app {
namespace {

using namespace std::chrono_literals;

constexpr int DeadlineMs = 20000;

using testing::EnsureApplication;

// Runs the GUI thread's event loop, where the viewer's workers have their calls served, until
// `condition` holds or `ms` passed; returns the condition.
template <typename Condition>
bool SpinUntil(Condition condition, int ms = DeadlineMs) {
  QDeadlineTimer deadline(ms);
  while (!condition()) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(2);
  }
  return true;
}

// Runs the event loop for `ms` whatever happens.
void Spin(int ms) {
  SpinUntil([] { return false; }, ms);
}

class TfmZephraWifiViewerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureApplication();
    ASSERT_TRUE(cacheDir_.isValid());
    ASSERT_TRUE(phoneDir_.isValid());
  }
  void TearDown() override {
    if (phone_) phone_->Stop();
    if (form_) form_->FormClose();
  }

  // The form with the partner running, on ephemeral ports, its service started.
  void StartForm(TfmZephraWifi::THooks hooks) {
    hooks.partnerHotspotRunning = [] { return true; };
    hooks.cacheFolder = cacheDir_.path();
    hooks.browser.port = 0;
    link::TLinkConfig config;
    config.controlPort = 0;
    config.dataPort = 0;
    form_ = std::make_unique<TfmZephraWifi>(config, std::move(hooks));
    ASSERT_TRUE(form_->StartService());
  }

  // A phone that lists one small picture; its keep-alives would not matter, but they stay out of
  // the way.
  void StartPhone() {
    const QString path = viewer::testing::WriteFile(
        phoneDir_, QStringLiteral("a.jpg"),
        viewer::testing::EncodeJpeg(viewer::testing::Quadrants(240, 160)));
    phone::PhoneOptions options;
    options.controlPort = form_->Link().ControlPortInUse();
    options.dataPort = form_->Link().DataPortInUse();
    options.name = "Pixel 7";
    options.keepAliveInterval = 60s;
    phone_ = std::make_unique<phone::PhoneSimulator>(
        options, QList<phone::PhonePicture>{phone::PictureFromFile(path)},
        [this](const std::string& line) {
          std::lock_guard lock(logMutex_);
          log_.push_back(line);
        });
    ASSERT_TRUE(phone_->Start()) << phone_->LastError();
  }

  bool ViewerShown() { return form_->View() != nullptr && !form_->View()->ViewerHidden(); }

  std::vector<std::string> Log() {
    std::lock_guard lock(logMutex_);
    return log_;
  }

  QTemporaryDir cacheDir_;
  QTemporaryDir phoneDir_;
  std::unique_ptr<TfmZephraWifi> form_;
  std::unique_ptr<phone::PhoneSimulator> phone_;
  std::mutex logMutex_;
  std::vector<std::string> log_;
};

TEST_F(TfmZephraWifiViewerTest, ViewerLeftAloneClosesItselfAndTellsThePhone) {
  // The window counts activity from the last list it took, and a list it takes brings the
  // picture in again with a transition. The limit must outlast the slowest such change of a
  // sanitized build on a busy machine (about a second was seen), or the window closes between
  // two lists and opens again for the next; a small screen keeps each change cheap.
  TfmZephraWifi::THooks hooks;
  hooks.viewer.ScreenSize = QSize(320, 240);
  hooks.viewer.NotViewInterval = 100ms;
  hooks.viewer.InactivityLimit = 2500ms;
  StartForm(std::move(hooks));
  StartPhone();
  ASSERT_TRUE(SpinUntil([this] { return ViewerShown(); })) << "the picture never came up";

  // Each list asks for the picture again, which counts as activity: they span more than the
  // limit.
  for (int i = 0; i < 16; ++i) {
    ASSERT_TRUE(phone_->SendList(false, 0));
    Spin(200);
    ASSERT_TRUE(ViewerShown()) << "closed while the phone kept asking, after list " << i;
  }
  ASSERT_TRUE(SpinUntil([this] { return !ViewerShown(); })) << "the viewer stayed up";
  ASSERT_TRUE(SpinUntil([this] { return phone_->ViewStopsReceived() > 0; }));
  Spin(300);
  EXPECT_EQ(phone_->ViewStopsReceived(), 1);
  const std::vector<std::string> log = Log();
  EXPECT_NE(std::find(log.begin(), log.end(), "<- view-stop value=1"), log.end());
}

TEST_F(TfmZephraWifiViewerTest, QuietPhoneClosesTheViewerWithoutTellingThePhone) {
  std::atomic<std::int64_t> ahead{0};  // milliseconds the fake clock runs ahead of the real one
  TfmZephraWifi::THooks hooks;
  hooks.ipListInterval = 100ms;
  hooks.now = [&ahead] {
    return shell::IServiceControl::Clock::now() + std::chrono::milliseconds(ahead.load());
  };
  StartForm(std::move(hooks));
  StartPhone();
  ASSERT_TRUE(SpinUntil([this] { return ViewerShown(); })) << "the picture never came up";

  // A phone heard from just now keeps the viewer up over several ticks of the watch.
  const unsigned ticks = form_->Watch().TickCount();
  ASSERT_TRUE(SpinUntil([&] { return form_->Watch().TickCount() >= ticks + 5; }));
  EXPECT_TRUE(ViewerShown());

  ahead.store(11000);
  ASSERT_TRUE(SpinUntil([this] { return !ViewerShown(); })) << "the quiet phone's viewer stayed";
  Spin(500);
  EXPECT_EQ(phone_->ViewStopsReceived(), 0);
  EXPECT_TRUE(phone_->Running()) << "the session should survive the quiet close";
}

// The phone may join as soon as the ports listen, while the service is still starting (here:
// while its toast goes up); the list it sends then must still bring the picture up.
TEST_F(TfmZephraWifiViewerTest, ListThatArrivesWhileTheServiceStartsIsNotLost) {
  TfmZephraWifi::THooks hooks;
  hooks.showTip = [this](const QString&, int) {
    StartPhone();
    Spin(500);  // the link's connection thread takes the list meanwhile
  };
  StartForm(std::move(hooks));
  EXPECT_TRUE(SpinUntil([this] { return ViewerShown(); })) << "the list was dropped";
}

}  // namespace
}  // namespace zephra::app
