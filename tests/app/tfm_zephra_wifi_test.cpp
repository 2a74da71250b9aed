#include "app/tfm_zephra_wifi.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <chrono>
#include <future>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "app/about_text.h"
#include "app_test_support.h"
#include "install/install_constants.h"
#include "phone/phone_simulator.h"
#include "test_files.h"
#include "viewer/fetch_picture.h"
#include "viewer/picture_loader.h"

namespace zephra::app {
namespace {

constexpr int ConnectTimeoutMs = 3000;

using testing::EnsureApplication;

bool Accepts(quint16 port) {
  QTcpSocket socket;
  socket.connectToHost(QHostAddress::LocalHost, port);
  return socket.waitForConnected(ConnectTimeoutMs);
}

// A port that nothing listens on right now.
quint16 FreePort() {
  QTcpServer probe;
  probe.listen(QHostAddress::AnyIPv4, 0);
  return probe.serverPort();
}

class TfmZephraWifiTest : public ::testing::Test {
 protected:
  void SetUp() override { EnsureApplication(); }

  // The form on ephemeral ports (unless given), recording its toasts and messages.
  std::unique_ptr<TfmZephraWifi> MakeForm(bool partnerRunning, quint16 controlPort = 0,
                                          quint16 dataPort = 0) {
    partnerRunning_ = partnerRunning;
    link::TLinkConfig config;
    config.controlPort = controlPort;
    config.dataPort = dataPort;
    TfmZephraWifi::THooks hooks;
    hooks.partnerHotspotRunning = [this] { return partnerRunning_; };
    hooks.localIpText = [](QByteArray& text) {
      text = "192.168.137.1\r\n";
      return 1;
    };
    hooks.showTip = [this](const QString& text, int ms) {
      tips_.emplace_back(text, ms);
      // The real tip lets pending events run: a close request may be served right here.
      if (closeOnTip_ != nullptr) closeOnTip_->FormClose();
    };
    hooks.closeTip = [this] { ++tipsClosed_; };
    hooks.showMessage = [this](const QString& text) { messages_ << text; };
    hooks.notInGameMode = [this] { return !gameMode_; };
    hooks.cacheFolder = cacheDir_.path();
    hooks.browser.port = 0;
    if (trayAvailable_) hooks.systemTrayAvailable = [this] { return *trayAvailable_; };
    auto form = std::make_unique<TfmZephraWifi>(config, std::move(hooks));
    QObject::connect(form.get(), &TfmZephraWifi::FormClosed, [this] { ++formClosed_; });
    return form;
  }

  QTemporaryDir cacheDir_;
  bool partnerRunning_ = false;
  bool gameMode_ = false;
  std::vector<std::pair<QString, int>> tips_;
  QStringList messages_;
  int tipsClosed_ = 0;
  int formClosed_ = 0;
  TfmZephraWifi* closeOnTip_ = nullptr;
  std::optional<bool> trayAvailable_;  // unset: the form is not told, and assumes a tray
};

TEST_F(TfmZephraWifiTest, TrayIconCarriesTitleEmbeddedIconAndTheMenuInOrder) {
  auto form = MakeForm(false);
  QSystemTrayIcon& icon = form->TrayIcon();
  EXPECT_EQ(icon.toolTip(), QStringLiteral("Zephra . WIFI"));
  EXPECT_TRUE(icon.isVisible());
  // The sizes come from the embedded resources; none would mean they were not linked in.
  EXPECT_TRUE(icon.icon().availableSizes().contains(QSize(16, 16)));
  EXPECT_TRUE(icon.icon().availableSizes().contains(QSize(32, 32)));

  ASSERT_EQ(icon.contextMenu(), &form->PopMenu());
  const QList<QAction*> actions = form->PopMenu().actions();
  ASSERT_EQ(actions.size(), 5);
  EXPECT_EQ(actions[0]->text(), QString::fromUtf8("安装手机Zephra"));
  EXPECT_EQ(actions[1]->text(), QString::fromUtf8("用手机浏览器看图"));
  EXPECT_EQ(actions[2]->text(), QString::fromUtf8("关于Zephra"));
  EXPECT_TRUE(actions[3]->isSeparator());
  EXPECT_EQ(actions[4]->text(), QString::fromUtf8("关闭Zephra"));
}

TEST_F(TfmZephraWifiTest, WithoutATrayTheMenuIsAWindowUntilATrayComes) {
  trayAvailable_ = false;
  auto form = MakeForm(false);
  TfmMenuWindow* window = form->MenuWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(window->windowTitle(), QStringLiteral("Zephra . WIFI"));
  QStringList captions;
  for (const QAction* action : form->PopMenu().actions()) {
    if (!action->isSeparator()) captions << action->text();
  }
  QStringList buttons;
  for (const QPushButton* button : window->findChildren<QPushButton*>()) buttons << button->text();
  EXPECT_EQ(buttons, captions);

  // The buttons do what the items do: About's text, the install item's toast without an address.
  window->findChild<QPushButton*>(QStringLiteral("N2"))->click();
  EXPECT_EQ(messages_, QStringList{AboutText(ProgramVersion())});
  window->findChild<QPushButton*>(QStringLiteral("N1"))->click();
  ASSERT_EQ(tips_.size(), 1u);
  EXPECT_EQ(tips_[0].first, QString::fromUtf8(install::TipNoInstallAddress));

  // A tray comes (the icon takes over) and goes again.
  trayAvailable_ = true;
  form->FollowTray();
  EXPECT_TRUE(window->isHidden());
  trayAvailable_ = false;
  form->FollowTray();
  EXPECT_TRUE(window->isVisible());

  // The window's close button ends the program like the close item; it stays away after.
  window->close();
  EXPECT_EQ(formClosed_, 1);
  EXPECT_TRUE(form->Closed());
  form->FollowTray();
  EXPECT_TRUE(window->isHidden());
}

TEST_F(TfmZephraWifiTest, WithoutPartnerServiceRunsWithPortsClosed) {
  auto form = MakeForm(false);
  EXPECT_FALSE(form->TimerIpList().isActive());
  EXPECT_EQ(form->TimerIpList().interval(), 3000);

  ASSERT_TRUE(form->StartService());
  EXPECT_FALSE(form->Link().ServerActive());
  ASSERT_EQ(tips_.size(), 1u);
  EXPECT_EQ(tips_[0].first, QString::fromUtf8("启用OrvexWIFI后才能使用Zephra..."));
  EXPECT_EQ(tips_[0].second, 5000);
  EXPECT_TRUE(form->TimerIpList().isActive());
  EXPECT_TRUE(form->TrayIcon().isVisible());
  EXPECT_TRUE(messages_.isEmpty());
}

TEST_F(TfmZephraWifiTest, WithPartnerBothServersListen) {
  auto form = MakeForm(true);
  ASSERT_TRUE(form->StartService());
  EXPECT_TRUE(form->Link().ServerActive());
  EXPECT_TRUE(Accepts(form->Link().ControlPortInUse()));
  EXPECT_TRUE(Accepts(form->Link().DataPortInUse()));
  ASSERT_EQ(tips_.size(), 1u);
  EXPECT_EQ(tips_[0].first,
            QString::fromUtf8("已启动Zephra服务...\r\n用手机Zephra体验不一样的看图"));
  EXPECT_EQ(tips_[0].second, 5000);
  EXPECT_TRUE(form->TimerIpList().isActive());
}

TEST_F(TfmZephraWifiTest, BusyDataPortFailsTheServiceAndLeavesControlPortClosed) {
  QTcpServer squatter;
  ASSERT_TRUE(squatter.listen(QHostAddress::AnyIPv4, 0));
  const quint16 controlPort = FreePort();
  auto form = MakeForm(true, controlPort, squatter.serverPort());

  EXPECT_FALSE(form->StartService());
  EXPECT_EQ(messages_, QStringList{QString::fromUtf8("无法启动Zephra服务！")});
  EXPECT_FALSE(form->Link().ServerActive());
  EXPECT_FALSE(Accepts(controlPort));
  EXPECT_TRUE(tips_.empty());
  EXPECT_FALSE(form->TimerIpList().isActive());
}

TEST_F(TfmZephraWifiTest, AboutItemShowsTheAboutText) {
  auto form = MakeForm(false);
  form->PopMenu().actions()[2]->trigger();
  EXPECT_EQ(messages_, QStringList{AboutText(ProgramVersion())});
}

TEST_F(TfmZephraWifiTest, CloseItemShutsEverythingDownOnce) {
  auto form = MakeForm(true);
  ASSERT_TRUE(form->StartService());
  const quint16 controlPort = form->Link().ControlPortInUse();
  const quint16 dataPort = form->Link().DataPortInUse();
  QTcpSocket phone;
  phone.connectToHost(QHostAddress::LocalHost, controlPort);
  ASSERT_TRUE(phone.waitForConnected(ConnectTimeoutMs));

  form->PopMenu().actions()[4]->trigger();
  EXPECT_EQ(formClosed_, 1);
  EXPECT_EQ(tipsClosed_, 1);
  EXPECT_FALSE(form->TrayIcon().isVisible());
  EXPECT_FALSE(form->TimerIpList().isActive());
  EXPECT_TRUE(form->DestroyViewer()) << "the viewer should be gone already";
  EXPECT_FALSE(form->Link().ServerActive());
  EXPECT_TRUE(phone.state() == QAbstractSocket::UnconnectedState ||
              phone.waitForDisconnected(ConnectTimeoutMs));
  EXPECT_FALSE(Accepts(controlPort));
  EXPECT_FALSE(Accepts(dataPort));

  // A second request (SIGTERM after the menu, say) changes nothing.
  form->FormClose();
  EXPECT_EQ(formClosed_, 1);
  EXPECT_EQ(tipsClosed_, 1);
}

TEST_F(TfmZephraWifiTest, CloseDuringTheStartUpTipLeavesEverythingClosed) {
  auto form = MakeForm(true);
  closeOnTip_ = form.get();
  EXPECT_TRUE(form->StartService());
  EXPECT_TRUE(form->Closed());
  EXPECT_EQ(formClosed_, 1);
  EXPECT_FALSE(form->Link().ServerActive());
  EXPECT_FALSE(form->TimerIpList().isActive()) << "the hotspot watch came back after the close";
}

TEST_F(TfmZephraWifiTest, WatchSwitchesTheServersWithThePartnerOnEveryThirdTick) {
  auto form = MakeForm(false);
  ASSERT_TRUE(form->StartService());
  EXPECT_EQ(form->Watch().IpText(), QByteArray("192.168.137.1\r\n"));

  partnerRunning_ = true;
  form->TimerIpListTimer();
  form->TimerIpListTimer();
  EXPECT_FALSE(form->Link().ServerActive());
  form->TimerIpListTimer();
  EXPECT_TRUE(form->Link().ServerActive());
  EXPECT_TRUE(Accepts(form->Link().ControlPortInUse()));
  EXPECT_TRUE(form->TimerIpList().isActive());

  partnerRunning_ = false;
  for (int i = 0; i < 3; ++i) form->TimerIpListTimer();
  EXPECT_FALSE(form->Link().ServerActive());
}

TEST_F(TfmZephraWifiTest, NoSwitchingOnceClosingHasBegun) {
  auto form = MakeForm(false);
  ASSERT_TRUE(form->StartService());
  form->FormClose();
  partnerRunning_ = true;
  for (int i = 0; i < 3; ++i) form->TimerIpListTimer();
  EXPECT_FALSE(form->Link().ServerActive());
  EXPECT_FALSE(form->TimerIpList().isActive());
  EXPECT_EQ(form->Watch().TickCount(), 0u);
}

TEST_F(TfmZephraWifiTest, ViewerRequestQueuesCancelsAndAnswersThePopUpQuestion) {
  auto form = MakeForm(false);
  // A present target is not queued, but the id is handed out all the same.
  QTemporaryDir dir;
  const QString present = dir.filePath(QStringLiteral("present.jpg"));
  QFile file(present);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.close();
  std::int32_t id = -5;
  EXPECT_EQ(form->ViewerRequest(link::rkRequestFile, id, QStringLiteral("/DCIM/p.jpg"), present),
            0);
  EXPECT_EQ(id, 0);
  for (const char* name : {"a", "b"}) {
    const QString path = dir.filePath(QString::fromLatin1(name));
    EXPECT_EQ(form->ViewerRequest(link::rkRequestFile, id, QStringLiteral("/DCIM/x.jpg"), path), 0);
  }
  EXPECT_EQ(id, 2);
  EXPECT_EQ(form->RequestCounter().Peek(), 3);
  // With no phone the first request waits under transfer; the second can be cancelled.
  std::int32_t cancel = 2;
  EXPECT_EQ(form->ViewerRequest(link::rkCancel, cancel, {}, {}), 0);
  EXPECT_EQ(form->DownloadThread().RequestQueue(),
            QStringList{QStringLiteral("1=/DCIM/x.jpg,") + dir.filePath(QStringLiteral("a"))});

  EXPECT_EQ(form->ViewerRequest(link::rkMayPopUp, id, {}, {}), 1);
  gameMode_ = true;
  EXPECT_EQ(form->ViewerRequest(link::rkMayPopUp, id, {}, {}), 0);
  EXPECT_EQ(form->ViewerRequest(7, id, {}, {}), 0);
  // Closing stops the engine although a transfer is under way.
  form->FormClose();
  EXPECT_EQ(formClosed_, 1);
}

TEST_F(TfmZephraWifiTest, APhonePictureLandsInTheCacheUnderItsHashAndClosingEmptiesTheCache) {
  auto form = MakeForm(true);
  ASSERT_TRUE(form->StartService());
  // A camera picture stored 600 x 400 and turned a quarter clockwise by its EXIF orientation,
  // large enough to take several chunks.
  QTemporaryDir phoneDir;
  const QString source = phoneDir.filePath(QStringLiteral("a.jpg"));
  const QByteArray bytes =
      viewer::testing::EncodeJpeg(viewer::testing::NoisePicture(600, 400), {.Orientation = 6});
  ASSERT_GT(bytes.size(), 2 * 96000);
  QFile file(source);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(bytes);
  file.close();

  phone::PhoneOptions options;
  options.controlPort = form->Link().ControlPortInUse();
  options.dataPort = form->Link().DataPortInUse();
  options.name = "Pixel 7";
  const phone::PhonePicture picture{QStringLiteral("/DCIM/a.jpg"), source, bytes.size()};
  phone::PhoneSimulator phone(options, {picture}, nullptr);
  ASSERT_TRUE(phone.Start()) << phone.LastError();
  // The list's arrival selects the phone's folder; the viewer fetches only after that.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (form->Cache().PhoneFolder() != QStringLiteral("Pixel 7") &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }

  // The viewer's workers fetch off the GUI thread.
  auto fetch = std::async(std::launch::async, [&form, &picture] {
    return viewer::FetchPicture(form->Cache(), form->Requests(), picture.phoneName,
                                QString::number(picture.size), form->AbortLoad());
  });
  const viewer::TFetchResult result = fetch.get();
  EXPECT_EQ(result.Code, viewer::FetchPresent);
  EXPECT_EQ(result.Path.toStdString(),
            (cacheDir_.path() + QStringLiteral("/Pixel 7/04F8AE555A4ED7E82A895818FBEA911B.jpg"))
                .toStdString());
  QFile cached(result.Path);
  ASSERT_TRUE(cached.open(QIODevice::ReadOnly));
  EXPECT_TRUE(cached.readAll() == bytes);
  cached.close();
  QImage shown;
  base::TStopFlag noStop;
  const viewer::TLoadResult loaded =
      viewer::LoadPictureForScreen(shown, result.Path, QSize(1920, 1080), noStop);
  EXPECT_TRUE(loaded.Success);
  EXPECT_EQ(QSize(loaded.Width, loaded.Height), QSize(400, 600));
  EXPECT_EQ(shown.size(), QSize(400, 600));

  phone.Stop();
  form->FormClose();
  EXPECT_TRUE(QDir(cacheDir_.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot));
  EXPECT_FALSE(form->Requests().HasService());
}

}  // namespace
}  // namespace zephra::app
