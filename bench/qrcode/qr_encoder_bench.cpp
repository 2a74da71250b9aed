// Encoding speed of the QR Code encoder against libqrencode, the same data at the same version
// and level in the same run. The reported ratio is ours / libqrencode's time per symbol.

#include <benchmark/benchmark.h>
#include <qrencode.h>

#include <QByteArray>
#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "qrcode/qr_encoder.h"

namespace {

using zephra::qrcode::TQREncoder;

const std::string kInstallAddress = "http://192.168.137.1:86/Zephra.apk";

std::string LongText() {
  std::string text;
  for (int k = 0; text.size() < 2000; ++k) text += "Zephra wifi line " + std::to_string(k) + ". ";
  text.resize(2000);
  return text;
}

std::unique_ptr<TQREncoder> MakeEncoder(const std::string& text, int version, int level) {
  auto encoder = std::make_unique<TQREncoder>();
  encoder->SetVersion(version);
  encoder->SetEclevel(level);
  encoder->Data().ConvertCode(QByteArray::fromStdString(text));
  encoder->Data().SplitData();
  encoder->Data().CheckState(1);
  return encoder;
}

void EncodeOurs(benchmark::State& state, const std::string& text, int version, int level) {
  auto encoder = MakeEncoder(text, version, level);
  for (auto _ : state) {
    if (!encoder->EncodeSymbol(1)) state.SkipWithError("did not fit");
    benchmark::DoNotOptimize(encoder->Matrix().Cells());
  }
}

void EncodeLibqrencode(benchmark::State& state, const std::string& text, int version, int level) {
  for (auto _ : state) {
    QRcode* code = QRcode_encodeString8bit(text.c_str(), version, static_cast<QRecLevel>(level));
    if (code == nullptr || code->version != version) state.SkipWithError("libqrencode failed");
    benchmark::DoNotOptimize(code);
    QRcode_free(code);
  }
}

BENCHMARK_CAPTURE(EncodeOurs, install_address_v6_M, kInstallAddress, 6, 1);
BENCHMARK_CAPTURE(EncodeLibqrencode, install_address_v6_M, kInstallAddress, 6, 1);
BENCHMARK_CAPTURE(EncodeOurs, text_2000_v40_L, LongText(), 40, 0);
BENCHMARK_CAPTURE(EncodeLibqrencode, text_2000_v40_L, LongText(), 40, 0);

// Times of each pair, collected to print the ratios after the run.
class TRatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      // Plain runs, or the median when repetitions are asked for.
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") continue;
      const std::string name = run.run_name.function_name;
      const auto slash = name.find('/');
      const std::string kind = name.substr(0, slash), label = name.substr(slash + 1);
      (kind == "EncodeOurs" ? ours_ : theirs_)[label] = run.GetAdjustedRealTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void PrintRatios() const {
    for (const auto& [label, time] : ours_) {
      const auto other = theirs_.find(label);
      if (other == theirs_.end() || other->second <= 0) continue;
      std::printf("ratio %-24s ours/libqrencode = %.2f (target <= 1.5)\n", label.c_str(),
                  time / other->second);
    }
  }

 private:
  std::map<std::string, double> ours_, theirs_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  TRatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
