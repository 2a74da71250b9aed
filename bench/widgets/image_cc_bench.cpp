// Repaints of the picture control, each against drawing a screen-sized bitmap of the screen's
// format with QPainter::drawImage in the same run. Every case times its candidate and its
// baseline alternately several times and keeps the best of each, so that load from other
// processes affects both alike; "x_baseline" is the ratio, "ms" the candidate's best time and
// "rebuilds" how often the resample cache was rebuilt while the candidate ran.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <chrono>
#include <functional>

#include "bench_offscreen.h"
#include "bench_support.h"
#include "widgets/image_cc.h"

namespace {

using namespace zephra::widgets;
using zephra::bench::Compare;
using zephra::bench::Seconds;
using zephra::bench::TestPicture;

constexpr int Rounds = 60;
constexpr QSize Screen(1920, 1080);
constexpr QSize PictureSize(4000, 3000);
// The format a window's backing store blits without converting.
constexpr QImage::Format ScreenFormat = QImage::Format_RGB32;

struct TScene {
  QImage Target{Screen, ScreenFormat};
  QImage Frame{Screen, ScreenFormat};  // what the baseline draws
  TImageCC Control;

  TScene() {
    Target.fill(Qt::black);
    Frame.fill(Qt::gray);
    Control.resize(Screen);
    Control.Picture().SetBitmap(TestPicture(PictureSize.width(), PictureSize.height()));
  }
  void Paint() {
    QPainter painter(&Target);
    Control.DrawTo(painter);
  }
  void PaintBaseline() {
    QPainter painter(&Target);
    painter.drawImage(0, 0, Frame);
  }
  // Paints until the cache is built and in use.
  void Settle() {
    Paint();
    Paint();
  }
};

// Counts cache rebuilds.
class TRebuildCounter {
 public:
  explicit TRebuildCounter(const TImageCC& control) : FControl(control), FKey(Key()) {}
  void Check() {
    if (Key() != FKey) ++FRebuilds;
    FKey = Key();
  }
  int Rebuilds() const { return FRebuilds; }

 private:
  int Key() const { return FControl.Cache().Generation(); }
  const TImageCC& FControl;
  int FKey;
  int FRebuilds = 0;
};

void BM_FittedRepaint(benchmark::State& state) {
  TScene scene;  // ccvsBest: 4000 x 3000 fitted to 1440 x 1080
  scene.Settle();
  TRebuildCounter counter(scene.Control);
  Compare(
      state, Rounds,
      [&] {
        scene.Paint();
        counter.Check();
      },
      [&] { scene.PaintBaseline(); });
  state.counters["rebuilds"] = counter.Rebuilds();
}
BENCHMARK(BM_FittedRepaint)->Iterations(1)->Unit(benchmark::kMillisecond);

// Pans a zoomed picture by 7 picture rows and columns per paint, back and forth.
void PanRepaints(benchmark::State& state, void (*setUp)(TImageCC&)) {
  TScene scene;
  scene.Settle();
  setUp(scene.Control);
  scene.Settle();
  TRebuildCounter counter(scene.Control);
  QImage wide(scene.Control.CalcDisplaySize().value_or(Screen), ScreenFormat);
  wide.fill(Qt::gray);
  int step = 0, windowStep = 0;
  Compare(
      state, Rounds,
      [&] {
        const int offset = 7 * (step++ % 40);
        scene.Control.SetOffsX(offset);
        scene.Control.SetOffsY(offset);
        scene.Paint();
        counter.Check();
      },
      [&] { scene.PaintBaseline(); },
      // extra: a plain copy of the same window out of a bitmap as wide as the shown picture,
      // what a copy of rows that aren't contiguous in memory costs by itself
      [&] {
        const int offset = 7 * (windowStep++ % 40);
        const QRect window = QRect(QPoint(offset, offset), Screen).intersected(wide.rect());
        QPainter painter(&scene.Target);
        painter.drawImage(QPoint(0, 0), wide, window);
      });
  state.counters["rebuilds"] = counter.Rebuilds();
}

// One ZoomIn from the fit: 40 %, 1600 x 1200, pans vertically.
void BM_PanZoomedRepaint(benchmark::State& state) {
  PanRepaints(state, [](TImageCC& control) { control.ZoomIn(); });
}
BENCHMARK(BM_PanZoomedRepaint)->Iterations(1)->Unit(benchmark::kMillisecond);

// 80 %: 3200 x 2400, pans both ways.
void BM_PanZoomed80Repaint(benchmark::State& state) {
  PanRepaints(state, [](TImageCC& control) {
    control.SetViewStyle(ccvsFree);
    control.SetZoom(0.8);
  });
}
BENCHMARK(BM_PanZoomed80Repaint)->Iterations(1)->Unit(benchmark::kMillisecond);

// 100 %: the unscaled picture, pans both ways.
void BM_PanActualSizeRepaint(benchmark::State& state) {
  PanRepaints(state, [](TImageCC& control) { control.ActualSize(); });
}
BENCHMARK(BM_PanActualSizeRepaint)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  return zephra::bench::RunBenchmarksInApplication(argc, argv);
}
