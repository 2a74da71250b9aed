// BM_FirstPictureBrowserWifiLike: a 6 MB camera JPEG from the tap to the viewer on screen
// through the browser phone's path, beside the app phone's, each with a tray form of its own and
// Wi-Fi-like relays (wifi_like_relay.h) on every connection. The page is played by the
// benchmark (scripted_page.h): a show message on its WebSocket, then the asked-for picture in
// one PUT. The baseline, measured in the same run before each pair of runs, is one request
// answered by a stream of the file's bytes through the relay (plain_loop.h) plus the picture's
// decode for the screen: the least a program that is sent the file in one piece needs.
// "of_baseline" is the median of baseline / browser path (higher is better; the browser path
// should take at most 1.1 times the baseline, so at least 0.91), "app_of_baseline" the same
// for the app phone's chunk protocol. Each run shows a name of its own, so nothing comes from
// the cache.
#include <benchmark/benchmark.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <optional>
#include <string>
#include <vector>

#include "bench_support.h"
#include "first_picture_rig.h"
#include "plain_loop.h"
#include "scripted_page.h"
#include "wifi_like_relay.h"

namespace {

using zephra::bench::Median;

using namespace zephra;

constexpr int Runs = 6;
constexpr char Token[] = "0123456789abcdef0123456789abcdef";

// The browser phone's path: a tray form whose browser server the scripted page reaches through
// a relay, holding the session.
class TBrowserPhoneRig {
 public:
  explicit TBrowserPhoneRig(const QString& picture) : form_(Token) {
    browser::TBrowserServer& server = form_.Form().BrowserServer();
    if (!form_.Started() || !server.Active()) return;
    relay_.emplace(server.Port());
    QFile file(picture);
    if (!file.open(QIODevice::ReadOnly)) return;
    page_.emplace(bench::TPageAddress{relay_->Port(), server.Port(), Token}, file.readAll());
  }
  bool Ready() const { return page_ && page_->Connected(); }
  unsigned LastUploadStatus() const { return page_->LastUploadStatus(); }

  // Seconds from the tap on name `pick` until the viewer is up with it.
  std::optional<double> ShowOnce(int pick) {
    return form_.TimeToScreen([&] {
      page_->Show(QStringLiteral("pick%1-0.jpg").arg(pick));
      return true;
    });
  }

 private:
  bench::TFirstPictureForm form_;
  std::optional<bench::TWifiLikeRelay> relay_;
  std::optional<bench::TScriptedPage> page_;
};

void BM_FirstPictureBrowserWifiLike(benchmark::State& state) {
  QTemporaryDir dir;
  const QString picture = dir.filePath(QStringLiteral("camera.jpg"));
  if (!bench::WriteCameraJpeg(picture)) return state.SkipWithError("could not write the picture");
  const auto fileBytes = static_cast<std::size_t>(QFileInfo(picture).size());
  TBrowserPhoneRig browserPhone(picture);
  if (!browserPhone.Ready()) return state.SkipWithError("the page could not take the session");
  bench::TAppPhoneRig appPhone(picture, Runs + 1);
  if (!appPhone.Ready()) return state.SkipWithError("the phone could not join");
  const bench::TPlainLoop stream{
      .fileBytes = fileBytes, .wifiLike = true, .keepAt = {}, .stream = true};
  std::vector<double> baselines, runs, appRuns, ratios, appRatios;
  for (auto _ : state) {
    if (!browserPhone.ShowOnce(0) || !appPhone.ShowOnce(0)) {
      return state.SkipWithError("the first picture never came up");
    }
    for (int run = 1; run <= Runs; ++run) {
      baselines.push_back(bench::TransferAndDecodeSeconds(stream, picture));
      const std::optional<double> viaBrowser = browserPhone.ShowOnce(run);
      const std::optional<double> viaApp = appPhone.ShowOnce(run);
      if (!viaBrowser || !viaApp) {
        const std::string error = "a picture never came up; the last upload's answer: " +
                                  std::to_string(browserPhone.LastUploadStatus());
        return state.SkipWithError(error.c_str());
      }
      runs.push_back(*viaBrowser);
      appRuns.push_back(*viaApp);
      ratios.push_back(baselines.back() / runs.back());
      appRatios.push_back(baselines.back() / appRuns.back());
    }
  }
  state.counters["MB"] = static_cast<double>(fileBytes) / 1e6;
  state.counters["ms"] = Median(runs) * 1e3;
  state.counters["baseline_ms"] = Median(baselines) * 1e3;
  state.counters["of_baseline"] = Median(ratios);
  state.counters["app_ms"] = Median(appRuns) * 1e3;
  state.counters["app_of_baseline"] = Median(appRatios);
}
BENCHMARK(BM_FirstPictureBrowserWifiLike)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
