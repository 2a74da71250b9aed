#pragma once

// Pieces shared by the benchmark programs that time pictures.

#include <benchmark/benchmark.h>

#include <QImage>
#include <algorithm>
#include <chrono>
#include <functional>
#include <vector>

namespace zephra::bench {

// A 24-bit B,G,R picture with gradients and some texture, so no scaler meets only flat areas;
// `seed` varies the texture.
inline QImage TestPicture(int width, int height, int seed = 0) {
  QImage image(width, height, QImage::Format_BGR888);
  for (int y = 0; y < height; ++y) {
    uchar* row = image.scanLine(y);
    for (int x = 0; x < width; ++x) {
      row[x * 3 + 0] = static_cast<uchar>(x * 255 / width);
      row[x * 3 + 1] = static_cast<uchar>(y * 255 / height);
      row[x * 3 + 2] = static_cast<uchar>((x * 7 + y * 13 + seed) * 31);
    }
  }
  return image;
}

// The middle value (the upper of the two middle ones for an even count); 0 for none.
inline double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// Wall-clock seconds that `work` takes.
inline double Seconds(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Times `candidate` against `baseline` alternately, `rounds` times each after one warm-up run,
// and reports the best of each: "x_baseline" (their ratio), "ms" and "baseline_ms". An `extra`
// case is timed alongside and reported as "extra_x_baseline".
inline void Compare(benchmark::State& state, int rounds, const std::function<void()>& candidate,
                    const std::function<void()>& baseline,
                    const std::function<void()>& extra = {}) {
  double best = 1e9, bestBaseline = 1e9, bestExtra = 1e9;
  for (auto _ : state) {
    candidate();
    baseline();
    for (int i = 0; i < rounds; ++i) {
      bestBaseline = std::min(bestBaseline, Seconds(baseline));
      best = std::min(best, Seconds(candidate));
      if (extra) bestExtra = std::min(bestExtra, Seconds(extra));
    }
  }
  state.counters["x_baseline"] = best / bestBaseline;
  state.counters["ms"] = best * 1e3;
  state.counters["baseline_ms"] = bestBaseline * 1e3;
  if (extra) state.counters["extra_x_baseline"] = bestExtra / bestBaseline;
}

}  // namespace zephra::bench
