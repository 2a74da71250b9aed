// bench_transfer: the transfer engine's cases and the first picture through the whole program,
// which needs an application with a screen.
#include "bench_offscreen.h"
#include "transfer_screen.h"

int main(int argc, char** argv) {
  zephra::bench::UseOffscreenScreen(zephra::bench::TransferScreen);
  return zephra::bench::RunBenchmarksInApplication(argc, argv);
}
