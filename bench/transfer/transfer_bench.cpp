// A picture file moved from the phone simulator through the data channel and the transfer
// engine into a cache folder. The baseline, measured in the same run, is a plain
// request/response loop with the same message sizes (see plain_loop.h). Each case reports MB/s
// and its ratio to the baseline ("of_baseline", higher is better: the median over runs, each
// against a baseline run made just before it).
// - On 127.0.0.1, a 24 MB file; a reference case shows what keeping the file costs by itself.
// - "WifiLike": a 9.6 MB file through a relay that gives every connection a Wi-Fi hotspot's
//   one-way delay and rate cap (wifi_like_relay.h), the engine's channels and the loop's alike.
#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "bench_support.h"
#include "link/download_thread.h"
#include "link/phone_link.h"
#include "phone/phone_messages.h"
#include "phone/phone_simulator.h"
#include "plain_loop.h"
#include "wifi_like_relay.h"

namespace {

using zephra::bench::Median;

namespace asio = boost::asio;
using tcp = asio::ip::tcp;
using namespace std::chrono_literals;
using namespace zephra;

constexpr std::size_t FileBytes = 24'000'000;
constexpr std::size_t WifiLikeFileBytes = 100 * link::ChunkSize;
constexpr int Repeats = 5;
constexpr int Iterations = 12;
constexpr int WifiLikeIterations = 8;

using Clock = std::chrono::steady_clock;

double BaselineOnce(const QString& keepAt = {}) {
  return bench::PlainLoopSeconds({FileBytes, false, keepAt});
}

double WifiLikeBaselineOnce() { return bench::PlainLoopSeconds({WifiLikeFileBytes, true, {}}); }

double BaselineSeconds() {
  static const double seconds = [] {
    BaselineOnce();  // warm up
    std::vector<double> runs;
    for (int i = 0; i < Repeats; ++i) runs.push_back(BaselineOnce());
    return Median(runs);
  }();
  return seconds;
}

// MB/s of the median run, and the median of the ratios of each run to a baseline run made just
// before it: the machine's speed drifts between runs, so each run is set against its own
// baseline.
void Report(benchmark::State& state, std::size_t fileBytes, double seconds, double baseline,
            std::vector<double> ratios) {
  const double megabytes = static_cast<double>(fileBytes) / 1e6;
  state.counters["MB_per_s"] = megabytes / seconds;
  state.counters["baseline_MB_per_s"] = megabytes / baseline;
  state.counters["of_baseline"] = ratios.empty() ? 1.0 : Median(std::move(ratios));
}

void Report(benchmark::State& state, double seconds, std::vector<double> ratios) {
  Report(state, FileBytes, seconds, BaselineSeconds(), std::move(ratios));
}

void BM_RequestResponseBaseline(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(BaselineSeconds());
  Report(state, BaselineSeconds(), {});
}
BENCHMARK(BM_RequestResponseBaseline)->Iterations(1)->Unit(benchmark::kMillisecond);

// A reference, not a candidate: the baseline loop plus the least work any receiver of the file
// does (the bytes kept in a buffer of the file's size, the file written and moved into place).
// Its "of_baseline" is the most a receiver that keeps the file can reach on this machine.
void BM_RequestResponseKeepingTheFile(benchmark::State& state) {
  QTemporaryDir dir;
  const QString target = dir.filePath(QStringLiteral("kept.jpg"));
  std::vector<double> runs, ratios;
  for (auto _ : state) {
    const double baseline = BaselineOnce();
    runs.push_back(BaselineOnce(target));
    ratios.push_back(baseline / runs.back());
    state.SetIterationTime(runs.back());
  }
  Report(state, Median(runs), ratios);
}
BENCHMARK(BM_RequestResponseKeepingTheFile)
    ->Iterations(Iterations)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// The plain loop through the relay: what the WifiLike cases are set against.
void BM_RequestResponseWifiLike(benchmark::State& state) {
  std::vector<double> runs;
  for (auto _ : state) {
    runs.push_back(WifiLikeBaselineOnce());
    state.SetIterationTime(runs.back());
  }
  Report(state, WifiLikeFileBytes, Median(runs), Median(runs), {});
}
BENCHMARK(BM_RequestResponseWifiLike)
    ->Iterations(Repeats)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

class NoFolders : public link::IPhoneFolders {
 public:
  QString PhoneFolder() const override { return {}; }
  void SetPhoneFolder(const QString&) override {}
};

// Waits for the completion notice of each request.
class DoneLatch {
 public:
  void Done(std::int32_t code) {
    {
      std::lock_guard lock(mutex_);
      codes_.push_back(code);
    }
    changed_.notify_all();
  }
  std::int32_t WaitFor(std::size_t count) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, 60s, [&] { return codes_.size() >= count; });
    return codes_.size() >= count ? codes_[count - 1] : 0;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::int32_t> codes_;
};

// The PC side: both link listeners on ephemeral ports and the transfer engine, whose
// completion notices reach a latch. With `wifiLike`, phones reach each listener through a
// relay of its own (ControlPort and DataPort are then the relays').
struct TEngineRig {
  NoFolders folders;
  link::TPhoneLink phoneLink{Config(), folders, [] { return std::optional<bool>(); }};
  base::TStopFlag abortLoad;
  link::TDownloadThread engine{
      phoneLink.Transfer(), [this](const QByteArray& m) { phoneLink.SendToSession(m); }, abortLoad};
  DoneLatch latch;
  std::int32_t nextId = 0;
  std::optional<bench::TWifiLikeRelay> controlRelay;
  std::optional<bench::TWifiLikeRelay> dataRelay;

  explicit TEngineRig(bool wifiLike = false) {
    phoneLink.StartServers();
    engine.SetRequestDone([this](std::int32_t, std::int32_t code) { latch.Done(code); });
    if (wifiLike) {
      controlRelay.emplace(phoneLink.ControlPortInUse());
      dataRelay.emplace(phoneLink.DataPortInUse());
    }
  }
  ~TEngineRig() {
    phoneLink.DropAllConnections(false);
    engine.Stop();
  }
  static link::TLinkConfig Config() {
    link::TLinkConfig config;
    config.controlPort = 0;
    config.dataPort = 0;
    return config;
  }
  std::uint16_t ControlPort() const {
    return controlRelay ? controlRelay->Port() : phoneLink.ControlPortInUse();
  }
  std::uint16_t DataPort() const {
    return dataRelay ? dataRelay->Port() : phoneLink.DataPortInUse();
  }

  // Fetches `remoteName` of `fileBytes` into `target` once per iteration (the target removed
  // first), each after a run of `baselineOnce`, and reports the median time and ratio.
  void Run(benchmark::State& state, const QString& remoteName, const QString& target,
           std::size_t fileBytes, const std::function<double()>& baselineOnce) {
    std::vector<double> runs, ratios, baselines;
    for (auto _ : state) {
      baselines.push_back(baselineOnce());
      QFile::remove(target);
      const auto start = Clock::now();
      engine.AddRequest(nextId, remoteName, target);
      if (latch.WaitFor(static_cast<std::size_t>(++nextId)) != link::RequestComplete) {
        state.SkipWithError("the transfer failed");
        return;
      }
      runs.push_back(std::chrono::duration<double>(Clock::now() - start).count());
      ratios.push_back(baselines.back() / runs.back());
      state.SetIterationTime(runs.back());
    }
    Report(state, fileBytes, Median(runs), Median(baselines), ratios);
  }
};

// The phone simulator offering one file of `fileBytes` to the engine.
void EngineFromPhoneSimulator(benchmark::State& state, std::size_t fileBytes, bool wifiLike,
                              const std::function<double()>& baselineOnce) {
  QTemporaryDir dir;
  const QString source = dir.filePath(QStringLiteral("phone.jpg"));
  {
    QFile file(source);
    file.open(QIODevice::WriteOnly);
    file.write(QByteArray(static_cast<qsizetype>(fileBytes), 'p'));
  }
  TEngineRig rig(wifiLike);
  phone::PhoneOptions options;
  options.host = "127.0.0.1";
  options.controlPort = rig.ControlPort();
  options.dataPort = rig.DataPort();
  const phone::PhonePicture picture = phone::PictureFromFile(source);
  phone::PhoneSimulator simulator(options, {picture}, nullptr);
  if (!simulator.Start()) {
    state.SkipWithError("the phone simulator could not join");
    return;
  }
  rig.Run(state, picture.phoneName, dir.filePath(QStringLiteral("cache.jpg")), fileBytes,
          baselineOnce);
  simulator.Stop();
}

void BM_EngineFromPhoneSimulator(benchmark::State& state) {
  EngineFromPhoneSimulator(state, FileBytes, false, [] { return BaselineOnce(); });
}
BENCHMARK(BM_EngineFromPhoneSimulator)
    ->Iterations(Iterations)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BM_EngineFromPhoneSimulatorWifiLike(benchmark::State& state) {
  EngineFromPhoneSimulator(state, WifiLikeFileBytes, true, WifiLikeBaselineOnce);
}
BENCHMARK(BM_EngineFromPhoneSimulatorWifiLike)
    ->Iterations(WifiLikeIterations)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// A minimal phone on plain blocking sockets that answers every chunk request for a file of
// `fileBytes` from memory on the reading thread: the engine and both channels without the
// simulator's own costs.
class BarePhone {
 public:
  BarePhone(std::uint16_t controlPort, std::uint16_t dataPort, std::size_t fileBytes)
      : control_(io_), data_(io_), file_(fileBytes, 'p') {
    const auto loopback = asio::ip::make_address("127.0.0.1");
    control_.connect(tcp::endpoint(loopback, controlPort));
    control_.set_option(tcp::no_delay(true));
    const QByteArray hello = phone::MakeHello(link::PcVersion, "bench");
    asio::write(control_, asio::buffer(hello.constData(), hello.size()));
    char reply[link::LinkHeaderSize + link::HelloReplyLength];
    asio::read(control_, asio::buffer(reply));
    data_.connect(tcp::endpoint(loopback, dataPort));
    data_.set_option(tcp::no_delay(true));
    thread_ = std::thread([this] { Serve(); });
  }
  ~BarePhone() {
    boost::system::error_code ignored;
    control_.shutdown(tcp::socket::shutdown_both, ignored);
    thread_.join();
  }

 private:
  void Serve() {
    std::vector<unsigned char> header(link::LinkHeaderSize), payload;
    std::vector<char> answer(link::LinkHeaderSize + link::ChunkHeadLength + link::ChunkSize);
    const auto total = static_cast<std::uint32_t>(file_.size());
    boost::system::error_code error;
    for (;;) {
      asio::read(control_, asio::buffer(header), error);
      if (error) return;
      payload.resize(link::DecodeHeader(header.data()).Length);
      asio::read(control_, asio::buffer(payload), error);
      if (error) return;
      if (link::DecodeHeader(header.data()).Command != link::cmdChunkRequest) continue;
      const std::uint32_t id = link::ReadU32(payload.data());
      const std::uint32_t offset = link::ReadU32(payload.data() + 4);
      const std::uint32_t count = std::min<std::uint32_t>(link::ChunkSize, total - offset);
      auto* out = reinterpret_cast<unsigned char*>(answer.data());
      link::WriteU32(out, link::LinkMagicPhone);
      link::WriteU32(out + 4, link::cmdChunkData);
      link::WriteU32(out + 8, link::ChunkHeadLength + count);
      link::WriteU32(out + 12, 0);
      link::WriteU32(out + 16, id);
      link::WriteU32(out + 20, total);
      link::WriteU32(out + 24, offset);
      std::copy_n(file_.data() + offset, count, answer.data() + 28);
      asio::write(data_, asio::buffer(answer.data(), 28 + count), error);
      if (error) return;
    }
  }

  asio::io_context io_;
  tcp::socket control_;
  tcp::socket data_;
  std::vector<char> file_;
  std::thread thread_;
};

void EngineFromBarePhone(benchmark::State& state, std::size_t fileBytes, bool wifiLike,
                         const std::function<double()>& baselineOnce) {
  QTemporaryDir dir;
  TEngineRig rig(wifiLike);
  BarePhone phone(rig.ControlPort(), rig.DataPort(), fileBytes);
  rig.Run(state, QStringLiteral("/DCIM/bench.jpg"), dir.filePath(QStringLiteral("cache.jpg")),
          fileBytes, baselineOnce);
}

void BM_EngineFromBarePhone(benchmark::State& state) {
  EngineFromBarePhone(state, FileBytes, false, [] { return BaselineOnce(); });
}
BENCHMARK(BM_EngineFromBarePhone)
    ->Iterations(Iterations)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BM_EngineFromBarePhoneWifiLike(benchmark::State& state) {
  EngineFromBarePhone(state, WifiLikeFileBytes, true, WifiLikeBaselineOnce);
}
BENCHMARK(BM_EngineFromBarePhoneWifiLike)
    ->Iterations(WifiLikeIterations)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
