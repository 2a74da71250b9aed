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

#include <QFileInfo>
#include <QTemporaryDir>
#include <optional>
#include <vector>

#include "bench_support.h"
#include "first_picture_rig.h"
#include "plain_loop.h"

namespace {

using zephra::bench::Median;

using namespace zephra;

constexpr int Runs = 6;

void BM_FirstPictureWifiLike(benchmark::State& state) {
  QTemporaryDir dir;
  const QString picture = dir.filePath(QStringLiteral("camera.jpg"));
  if (!bench::WriteCameraJpeg(picture)) return state.SkipWithError("could not write the picture");
  const auto fileBytes = static_cast<std::size_t>(QFileInfo(picture).size());
  bench::TAppPhoneRig rig(picture, Runs + 1);
  if (!rig.Ready()) return state.SkipWithError("the phone could not join");
  const auto baselineOnce = [&] {
    return bench::TransferAndDecodeSeconds({fileBytes, true, {}}, picture);
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
