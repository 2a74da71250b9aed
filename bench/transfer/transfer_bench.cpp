// A 24 MB picture file moved from the phone simulator through the data channel and the transfer
// engine into a cache folder on 127.0.0.1. The baseline, measured in the same run, is a plain
// request/response loop on loopback with the same message sizes: a 60-byte request answered by
// a 96016-byte message, one in flight. Each case reports MB/s and its ratio to the baseline
// ("of_baseline", higher is better: the median over runs, each against a baseline run made just
// before it). A reference case shows what keeping the file costs by itself.
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
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "link/download_thread.h"
#include "link/phone_link.h"
#include "phone/phone_messages.h"
#include "phone/phone_simulator.h"

namespace {

namespace asio = boost::asio;
using tcp = asio::ip::tcp;
using namespace std::chrono_literals;
using namespace zephra;

constexpr std::size_t FileBytes = 24'000'000;
constexpr std::size_t RequestBytes = 60;
constexpr std::size_t AnswerBytes = link::LinkHeaderSize + link::ChunkHeadLength + link::ChunkSize;
constexpr int Repeats = 5;

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// Seconds for one 24 MB file over a plain blocking request/response loop. With `keepAt`, the
// loop also does the least a receiver of the file must: every answer's bytes go into a buffer of
// the file's size, which is written to `keepAt` + ".tmp" and moved over `keepAt` at the end.
double BaselineOnce(const QString& keepAt = {}) {
  asio::io_context io;
  tcp::acceptor acceptor(io, tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0));
  const std::size_t rounds = (FileBytes + link::ChunkSize - 1) / link::ChunkSize;
  std::thread server([&] {
    tcp::socket peer = acceptor.accept();
    peer.set_option(tcp::no_delay(true));
    std::vector<char> request(RequestBytes), answer(AnswerBytes, 'a');
    for (std::size_t i = 0; i < rounds; ++i) {
      asio::read(peer, asio::buffer(request));
      asio::write(peer, asio::buffer(answer));
    }
  });
  tcp::socket socket(io);
  socket.connect(acceptor.local_endpoint());
  socket.set_option(tcp::no_delay(true));
  std::vector<char> request(RequestBytes, 'r'), answer(AnswerBytes);
  const auto start = Clock::now();
  std::unique_ptr<char[]> file(keepAt.isEmpty() ? nullptr : new char[FileBytes]);
  for (std::size_t i = 0; i < rounds; ++i) {
    asio::write(socket, asio::buffer(request));
    asio::read(socket, asio::buffer(answer));
    if (file) {
      const std::size_t offset = i * link::ChunkSize;
      const std::size_t count = std::min<std::size_t>(link::ChunkSize, FileBytes - offset);
      std::copy_n(answer.data() + AnswerBytes - link::ChunkSize, count, file.get() + offset);
    }
  }
  if (file) {
    QFile::remove(keepAt);
    QFile temp(keepAt + QStringLiteral(".tmp"));
    temp.open(QIODevice::WriteOnly | QIODevice::Truncate);
    temp.write(file.get(), FileBytes);
    temp.close();
    QFile::rename(temp.fileName(), keepAt);
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  server.join();
  return seconds;
}

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
void Report(benchmark::State& state, double seconds, std::vector<double> ratios) {
  const double megabytes = static_cast<double>(FileBytes) / 1e6;
  state.counters["MB_per_s"] = megabytes / seconds;
  state.counters["baseline_MB_per_s"] = megabytes / BaselineSeconds();
  state.counters["of_baseline"] = ratios.empty() ? 1.0 : Median(std::move(ratios));
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
    ->Iterations(12)
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
// completion notices reach a latch.
struct TEngineRig {
  NoFolders folders;
  link::TPhoneLink phoneLink{Config(), folders, [] { return std::optional<bool>(); }};
  link::TStopFlag abortLoad;
  link::TDownloadThread engine{
      phoneLink.Transfer(), [this](const QByteArray& m) { phoneLink.SendToSession(m); }, abortLoad};
  DoneLatch latch;
  std::int32_t nextId = 0;

  TEngineRig() {
    phoneLink.StartServers();
    engine.SetRequestDone([this](std::int32_t, std::int32_t code) { latch.Done(code); });
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

  // Fetches `remoteName` into `target` once per iteration (the target removed first), each
  // after a baseline run, and reports the median time and ratio.
  void Run(benchmark::State& state, const QString& remoteName, const QString& target) {
    std::vector<double> runs, ratios;
    for (auto _ : state) {
      const double baseline = BaselineOnce();
      QFile::remove(target);
      const auto start = Clock::now();
      engine.AddRequest(nextId, remoteName, target);
      if (latch.WaitFor(static_cast<std::size_t>(++nextId)) != link::RequestComplete) {
        state.SkipWithError("the transfer failed");
        return;
      }
      runs.push_back(std::chrono::duration<double>(Clock::now() - start).count());
      ratios.push_back(baseline / runs.back());
      state.SetIterationTime(runs.back());
    }
    Report(state, Median(runs), ratios);
  }
};

void BM_EngineFromPhoneSimulator(benchmark::State& state) {
  QTemporaryDir dir;
  const QString source = dir.filePath(QStringLiteral("phone.jpg"));
  {
    QFile file(source);
    file.open(QIODevice::WriteOnly);
    file.write(QByteArray(static_cast<qsizetype>(FileBytes), 'p'));
  }
  TEngineRig rig;
  phone::PhoneOptions options;
  options.host = "127.0.0.1";
  options.controlPort = rig.phoneLink.ControlPortInUse();
  options.dataPort = rig.phoneLink.DataPortInUse();
  const phone::PhonePicture picture = phone::PictureFromFile(source);
  phone::PhoneSimulator simulator(options, {picture}, nullptr);
  if (!simulator.Start()) {
    state.SkipWithError("the phone simulator could not join");
    return;
  }
  rig.Run(state, picture.phoneName, dir.filePath(QStringLiteral("cache.jpg")));
  simulator.Stop();
}
BENCHMARK(BM_EngineFromPhoneSimulator)
    ->Iterations(12)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// A minimal phone on plain blocking sockets that answers every chunk request from memory on the
// reading thread: the engine and both channels without the simulator's own costs.
class BarePhone {
 public:
  BarePhone(std::uint16_t controlPort, std::uint16_t dataPort)
      : control_(io_), data_(io_), file_(FileBytes, 'p') {
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
    std::vector<char> answer(AnswerBytes);
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
      const std::uint32_t count = std::min<std::uint32_t>(link::ChunkSize, FileBytes - offset);
      auto* out = reinterpret_cast<unsigned char*>(answer.data());
      link::WriteU32(out, link::LinkMagicPhone);
      link::WriteU32(out + 4, link::cmdChunkData);
      link::WriteU32(out + 8, link::ChunkHeadLength + count);
      link::WriteU32(out + 12, 0);
      link::WriteU32(out + 16, id);
      link::WriteU32(out + 20, FileBytes);
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

void BM_EngineFromBarePhone(benchmark::State& state) {
  QTemporaryDir dir;
  TEngineRig rig;
  BarePhone phone(rig.phoneLink.ControlPortInUse(), rig.phoneLink.DataPortInUse());
  rig.Run(state, QStringLiteral("/DCIM/bench.jpg"), dir.filePath(QStringLiteral("cache.jpg")));
}
BENCHMARK(BM_EngineFromBarePhone)->Iterations(12)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
