// bench_transfer: the transfer engine's cases and the first picture through the whole program,
// which needs an application with a screen.
#include <benchmark/benchmark.h>

#include <QApplication>

#include "bench_offscreen.h"
#include "transfer_screen.h"

int main(int argc, char** argv) {
  zephra::bench::UseOffscreenScreen(zephra::bench::TransferScreen);
  int appArgc = 1;
  QApplication application(appArgc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
