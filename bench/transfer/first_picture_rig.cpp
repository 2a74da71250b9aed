#include "first_picture_rig.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>
#include <chrono>
#include <utility>

#include "base/stop_flag.h"
#include "bench_jpeg.h"
#include "bench_support.h"
#include "phone/phone_messages.h"
#include "transfer_screen.h"
#include "viewer/picture_loader.h"

namespace zephra::bench {
namespace {

constexpr int WaitMs = 60000;

// Runs the event loop until `done` holds (checked every millisecond) or the wait is over.
bool RunUntil(const std::function<bool()>& done) {
  QEventLoop loop;
  QTimer poll;
  poll.setInterval(1);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (done()) loop.quit();
  });
  QTimer::singleShot(WaitMs, &loop, &QEventLoop::quit);
  poll.start();
  if (!done()) loop.exec();
  return done();
}

}  // namespace

bool WriteCameraJpeg(const QString& path) {
  const QImage picture = TestPicture(CameraSize.width(), CameraSize.height());
  for (int quality = 95; quality > 0; quality -= 5) {
    if (!WriteJpeg(path, picture, quality)) return false;
    if (QFileInfo(path).size() <= CameraPictureBytes) return true;
  }
  return false;
}

double TransferAndDecodeSeconds(const TPlainLoop& loop, const QString& picture) {
  const double transfer = PlainLoopSeconds(loop);
  base::TStopFlag never;
  QImage target;
  const double decode =
      Seconds([&] { viewer::LoadPictureForScreen(target, picture, TransferScreen, never); });
  return transfer + decode;
}

TFirstPictureForm::TFirstPictureForm(std::string browserToken) {
  app::TfmZephraWifi::THooks hooks;
  hooks.partnerHotspotRunning = [] { return true; };
  hooks.cacheFolder = cacheDir_.path();
  hooks.httpPort = 0;
  hooks.viewer.ScreenSize = TransferScreen;
  hooks.browser.port = 0;
  hooks.browser.token = std::move(browserToken);
  link::TLinkConfig config;
  config.controlPort = 0;
  config.dataPort = 0;
  form_ = std::make_unique<app::TfmZephraWifi>(config, std::move(hooks));
  started_ = form_->StartService();
}

TFirstPictureForm::~TFirstPictureForm() { form_->FormClose(); }

std::optional<double> TFirstPictureForm::TimeToScreen(const std::function<bool()>& tap) {
  const auto start = std::chrono::steady_clock::now();
  if (!tap()) return std::nullopt;
  const bool shown = RunUntil([this] { return !form_->View()->ViewerHidden(); });
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  form_->View()->CloseQuietly();
  QCoreApplication::processEvents();
  if (!shown) return std::nullopt;
  return seconds;
}

TAppPhoneRig::TAppPhoneRig(const QString& picture, int names) {
  if (!form_.Started()) return;
  controlRelay_.emplace(form_.Form().Link().ControlPortInUse());
  dataRelay_.emplace(form_.Form().Link().DataPortInUse());
  for (int i = 0; i < names; ++i) {
    phone::PhonePicture entry = phone::PictureFromFile(picture);
    entry.phoneName = QStringLiteral("/DCIM/first%1.jpg").arg(i);
    pictures_.push_back(entry);
  }
  phone::PhoneOptions options;
  options.host = "127.0.0.1";
  options.controlPort = controlRelay_->Port();
  options.dataPort = dataRelay_->Port();
  options.startIndex = -1;  // the joining list shows nothing
  phone_ = std::make_unique<phone::PhoneSimulator>(options, pictures_, nullptr);
  ready_ = phone_->Start();
}

TAppPhoneRig::~TAppPhoneRig() {
  if (phone_) phone_->Stop();
  form_.Form().FormClose();
}

std::optional<double> TAppPhoneRig::ShowOnce(int name) {
  const QByteArray list =
      phone::MakePictureList(link::cmdShowList, 0, phone::ListText({pictures_[name]}));
  return form_.TimeToScreen([&] { return phone_->Send(list); });
}

}  // namespace zephra::bench
