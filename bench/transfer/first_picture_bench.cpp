// BM_FirstPictureWifiLike: a 6 MB camera JPEG from the phone's list to the viewer on screen,
// with the whole tray form (link, transfer engine, viewer) and the phone simulator joined
// through Wi-Fi-like relays on both channels. The baseline, measured in the same run before
// each candidate run, is the plain loop moving a file of the same size through the relay plus
// the picture's decode for the screen: the least any program needs. The candidate's time ends
// when the event loop is free again after the viewer came up, so the window's first paint is in
// it. "of_baseline" is the median of baseline / candidate (higher is better). Each run lists one
// entry of its own name, so that nothing comes from the cache and the image-cache worker stays
// idle.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

#include "app/tfm_zephra_wifi.h"
#include "base/stop_flag.h"
#include "bench_jpeg.h"
#include "bench_support.h"
#include "phone/phone_messages.h"
#include "phone/phone_simulator.h"
#include "plain_loop.h"
#include "transfer_screen.h"
#include "viewer/picture_loader.h"
#include "wifi_like_relay.h"

namespace {

using zephra::bench::Median;

using namespace zephra;

constexpr QSize CameraSize(6000, 4000);
constexpr qint64 PictureBytes = 6'000'000;  // at most; a phone camera's JPEG
constexpr int Runs = 6;
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

// The tray form with its link on ephemeral ports behind two relays, and a phone that offers
// `runs` names of the one picture file.
class TFirstPictureRig {
 public:
  TFirstPictureRig(const QString& picture, int runs) {
    app::TfmZephraWifi::THooks hooks;
    hooks.partnerHotspotRunning = [] { return true; };
    hooks.cacheFolder = cacheDir_.path();
    hooks.httpPort = 0;
    hooks.viewer.ScreenSize = bench::TransferScreen;
    link::TLinkConfig config;
    config.controlPort = 0;
    config.dataPort = 0;
    form_ = std::make_unique<app::TfmZephraWifi>(config, std::move(hooks));
    if (!form_->StartService()) return;
    controlRelay_.emplace(form_->Link().ControlPortInUse());
    dataRelay_.emplace(form_->Link().DataPortInUse());
    for (int i = 0; i < runs; ++i) {
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
  ~TFirstPictureRig() {
    if (phone_) phone_->Stop();
    form_->FormClose();
  }
  bool Ready() const { return ready_; }

  // Seconds from sending the one-entry list of picture `run` until the viewer is up with it;
  // nothing when it didn't come up. The viewer is closed again afterwards, outside the time.
  std::optional<double> ShowOnce(int run) {
    const QByteArray list =
        phone::MakePictureList(link::cmdShowList, 0, phone::ListText({pictures_[run]}));
    const auto start = std::chrono::steady_clock::now();
    if (!phone_->Send(list)) return std::nullopt;
    const bool shown = RunUntil([this] { return !form_->View()->ViewerHidden(); });
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    form_->View()->CloseQuietly();
    QCoreApplication::processEvents();
    if (!shown) return std::nullopt;
    return seconds;
  }

 private:
  QTemporaryDir cacheDir_;
  std::unique_ptr<app::TfmZephraWifi> form_;
  std::optional<bench::TWifiLikeRelay> controlRelay_;
  std::optional<bench::TWifiLikeRelay> dataRelay_;
  QList<phone::PhonePicture> pictures_;
  std::unique_ptr<phone::PhoneSimulator> phone_;
  bool ready_ = false;
};

// Writes the camera-sized test picture at `path` at the highest JPEG quality (in steps of 5)
// that keeps it within PictureBytes; false when it can't be written.
bool WriteCameraJpeg(const QString& path) {
  const QImage picture = bench::TestPicture(CameraSize.width(), CameraSize.height());
  for (int quality = 95; quality > 0; quality -= 5) {
    if (!bench::WriteJpeg(path, picture, quality)) return false;
    if (QFileInfo(path).size() <= PictureBytes) return true;
  }
  return false;
}

void BM_FirstPictureWifiLike(benchmark::State& state) {
  QTemporaryDir dir;
  const QString picture = dir.filePath(QStringLiteral("camera.jpg"));
  if (!WriteCameraJpeg(picture)) return state.SkipWithError("could not write the picture");
  const auto fileBytes = static_cast<std::size_t>(QFileInfo(picture).size());
  TFirstPictureRig rig(picture, Runs + 1);
  if (!rig.Ready()) return state.SkipWithError("the phone could not join");
  const auto baselineOnce = [&] {
    const double transfer = bench::PlainLoopSeconds({fileBytes, true, {}});
    base::TStopFlag never;
    QImage target;
    const double decode = bench::Seconds(
        [&] { viewer::LoadPictureForScreen(target, picture, bench::TransferScreen, never); });
    return transfer + decode;
  };
  std::vector<double> runs, baselines, ratios;
  for (auto _ : state) {
    if (!rig.ShowOnce(0)) return state.SkipWithError("the first picture never came up");
    for (int run = 1; run <= Runs; ++run) {
      baselines.push_back(baselineOnce());
      const std::optional<double> seconds = rig.ShowOnce(run);
      if (!seconds) return state.SkipWithError("a picture never came up");
      runs.push_back(*seconds);
      ratios.push_back(baselines.back() / runs.back());
    }
  }
  state.counters["MB"] = static_cast<double>(fileBytes) / 1e6;
  state.counters["ms"] = Median(runs) * 1e3;
  state.counters["baseline_ms"] = Median(baselines) * 1e3;
  state.counters["of_baseline"] = Median(ratios);
}
BENCHMARK(BM_FirstPictureWifiLike)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
