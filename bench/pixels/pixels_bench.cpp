// Transition effect steps and scalers, each against a baseline measured in the same run. Every
// case times its candidate and its baseline alternately several times and keeps the best of
// each, so that load from other processes affects both alike; "x_baseline" is the ratio and
// "ms" the candidate's best time.
#include <benchmark/benchmark.h>

#include <QImage>
#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <string>

#include "bench_support.h"
#include "widgets/area_scaler.h"
#include "widgets/bilinear_scaler.h"
#include "widgets/resample.h"
#include "widgets/smooth_stretch.h"
#include "widgets/transition_effects.h"

namespace {

using namespace zephra::widgets;
using zephra::bench::Compare;
using zephra::bench::Seconds;
using zephra::bench::TestPicture;

constexpr int Rounds = 15;
constexpr int BenchProgress = 50;
constexpr int BytesPerPixel = 3;

void EffectStep(benchmark::State& state, int index, TEffectVariant variant, int width, int height) {
  const QImage source = TestPicture(width, height, 1);
  QImage dest = TestPicture(width, height, 2);
  QImage copy = dest.copy();
  dest.bits();
  copy.bits();
  const QRect rect(0, 0, width, height);
  SetEffectVariant(variant);
  Compare(
      state, Rounds, [&] { Effects[index].Proc(dest, source, rect, 10, BenchProgress); },
      [&] { std::memcpy(copy.bits(), source.constBits(), source.sizeInBytes()); });
  benchmark::DoNotOptimize(dest.constBits());
  benchmark::DoNotOptimize(copy.constBits());
}

void RegisterEffects() {
  struct TCase {
    int Index;
    TEffectVariant Variant;
    const char* Label;
  };
  const TCase cases[] = {
      {0, {}, "fade"},
      {1, {0, 0, 0}, "blinds_vertical"},
      {1, {0, 0, 1}, "blinds_horizontal"},
      {2, {}, "rectangles"},
      {3, {}, "diamonds"},
      {4, {}, "circles"},
      {6, {0, 0, 0}, "comb_from_left"},
      {6, {0, 1, 0}, "comb_from_right"},
      {7, {}, "diamond_band"},
      {8, {0, 0, 0}, "mesh_0"},
      {8, {1, 0, 0}, "mesh_1"},
      {8, {2, 0, 0}, "mesh_2"},
      {8, {3, 0, 0}, "mesh_3"},
      {8, {4, 0, 0}, "mesh_4"},
      {8, {5, 0, 0}, "mesh_5"},
      {9, {}, "dissolve"},
      {11, {0, 0, 0}, "spots_from_right"},
      {11, {0, 1, 0}, "spots_from_left"},
      {12, {}, "star_burst"},
  };
  const QSize sizes[] = {{1920, 1080}, {3840, 2160}};
  for (const QSize size : sizes) {
    for (const TCase& c : cases) {
      const std::string name = std::string("Effect/") + c.Label + "/" +
                               std::to_string(size.width()) + "x" + std::to_string(size.height()) +
                               "/vs_memcpy";
      benchmark::RegisterBenchmark(name.c_str(), EffectStep, c.Index, c.Variant, size.width(),
                                   size.height())
          ->Iterations(1)
          ->UseRealTime();
    }
  }
}

void CompareWithQtSmooth(benchmark::State& state, QSize from, QSize to,
                         TViewResampleFilter filter) {
  QImage source = TestPicture(from.width(), from.height(), 3);
  QImage dest, reference;
  Compare(
      state, Rounds, [&] { Resample(dest, source, to.width(), to.height(), filter); },
      [&] { reference = source.scaled(to, Qt::IgnoreAspectRatio, Qt::SmoothTransformation); });
  benchmark::DoNotOptimize(dest.constBits());
}

void BM_SmoothReduce(benchmark::State& state) {
  CompareWithQtSmooth(state, {4000, 3000}, {1920, 1440}, vrfStand);
}
BENCHMARK(BM_SmoothReduce)
    ->Name("Halftone/reduce/4000x3000_to_1920x1440/vs_qt_smooth")
    ->Iterations(1)
    ->UseRealTime();

void BM_BilinearEnlarge(benchmark::State& state) {
  CompareWithQtSmooth(state, {960, 540}, {1920, 1080}, vrfSharp);
}
BENCHMARK(BM_BilinearEnlarge)
    ->Name("Bilinear/enlarge/960x540_to_1920x1080/vs_qt_smooth")
    ->Iterations(1)
    ->UseRealTime();

void BM_SmoothEnlarge(benchmark::State& state) {
  CompareWithQtSmooth(state, {960, 540}, {1920, 1080}, vrfStand);
}
BENCHMARK(BM_SmoothEnlarge)
    ->Name("Halftone/enlarge/960x540_to_1920x1080/vs_qt_smooth")
    ->Iterations(1)
    ->UseRealTime();

// The plain 2 x 2 box average that the area scaler's halving is measured against.
void BoxHalve(const QImage& source, QImage& dest) {
  for (int y = 0; y < dest.height(); ++y) {
    const uchar* top = source.constScanLine(2 * y);
    const uchar* bottom = source.constScanLine(2 * y + 1);
    uchar* out = dest.scanLine(y);
    for (int x = 0; x < dest.width(); ++x) {
      const int left = 2 * x * BytesPerPixel, right = left + BytesPerPixel;
      for (int c = 0; c < BytesPerPixel; ++c) {
        out[x * BytesPerPixel + c] = static_cast<uchar>(
            (top[left + c] + top[right + c] + bottom[left + c] + bottom[right + c] + 2) >> 2);
      }
    }
  }
}

void BM_AreaHalve(benchmark::State& state) {
  QImage source = TestPicture(3840, 2160, 4);
  QImage dest;
  QImage box(1920, 1080, QImage::Format_BGR888);
  Compare(
      state, Rounds, [&] { Resample(dest, source, 1920, 1080, vrfCubic); },
      [&] { BoxHalve(source, box); });
  benchmark::DoNotOptimize(dest.constBits());
  benchmark::DoNotOptimize(box.constBits());
}
BENCHMARK(BM_AreaHalve)
    ->Name("Area/halve/3840x2160_to_1920x1080/vs_box_2x2")
    ->Iterations(1)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  RegisterEffects();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
