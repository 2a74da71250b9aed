#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtEndian>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "link/download_thread.h"
#include "link/phone_link.h"
#include "link/request_counter.h"
#include "phone/phone_messages.h"
#include "phone/phone_simulator.h"
#include "phone/phone_socket.h"

namespace zephra::link {
namespace {

using namespace std::chrono_literals;
using phone::PhoneSocket;

constexpr auto Wait = 5000ms;
// The engine's wait per chunk in these tests.
constexpr auto ChunkWaitShort = 500ms;
// A wait per chunk that never runs out within a test: an end the test sees is not a time-out.
constexpr auto ChunkWaitNever = 10min;

using Notice = std::pair<std::int32_t, std::int32_t>;

class NullFolders : public IPhoneFolders {
 public:
  QString PhoneFolder() const override { return {}; }
  void SetPhoneFolder(const QString&) override {}
};

// The viewer's completion entry, recording every notice.
class RecordingDone {
 public:
  void operator()(std::int32_t id, std::int32_t code) {
    {
      std::lock_guard lock(mutex_);
      notices_.emplace_back(id, code);
    }
    changed_.notify_all();
  }
  std::vector<Notice> WaitFor(std::size_t count, std::chrono::milliseconds wait = Wait) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, wait, [&] { return notices_.size() >= count; });
    return notices_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Notice> notices_;
};

QByteArray RandomBytes(qsizetype count) {
  QByteArray bytes(count, Qt::Uninitialized);
  QRandomGenerator generator(static_cast<quint32>(count));
  for (char& byte : bytes) byte = static_cast<char>(generator.bounded(256));
  return bytes;
}

QByteArray ReadFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A phone driven by the test: hello granted on the control connection, a data connection.
struct ManualPhone {
  std::unique_ptr<PhoneSocket> control = std::make_unique<PhoneSocket>();
  std::unique_ptr<PhoneSocket> data = std::make_unique<PhoneSocket>();

  // The next chunk request on the control connection (nullopt when none came in time).
  std::optional<phone::ChunkRequest> NextRequest(std::chrono::milliseconds wait = Wait) {
    while (const auto message = control->Receive(wait)) {
      if (message->command == cmdChunkRequest) return phone::ParseChunkRequest(message->payload);
    }
    return std::nullopt;
  }
  bool Answer(std::uint32_t id, std::uint32_t total, std::uint32_t offset, const QByteArray& bytes,
              std::uint32_t status = 0) {
    return data->Send(phone::MakeChunkData(status, id, total, offset, bytes));
  }
  // True when a keep-alive sent on the data connection is echoed: the data connection is in step.
  bool InStep() {
    if (!data->Send(phone::MakeKeepAlive())) return false;
    const auto message = control->Receive(Wait);
    return message && message->command == cmdKeepAlive;
  }
};

class TransferTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    TLinkConfig config;
    config.controlPort = 0;
    config.dataPort = 0;
    config.stopWait = 2000ms;
    link_ = std::make_unique<TPhoneLink>(config, folders_, [] { return std::nullopt; });
    std::string error;
    ASSERT_TRUE(link_->StartServers(&error)) << error;
    UseChunkWait(ChunkWaitShort);
  }

  // Replaces the engine by one that waits `chunkWait` for each chunk.
  void UseChunkWait(std::chrono::milliseconds chunkWait) {
    engine_.reset();
    engine_ = std::make_unique<TDownloadThread>(
        link_->Transfer(), [this](const QByteArray& m) { link_->SendToSession(m); }, abortLoad_,
        chunkWait);
    engine_->SetRequestDone([this](std::int32_t id, std::int32_t code) { done_(id, code); });
  }

  void TearDown() override {
    engine_->Stop();
    link_->DropAllConnections(false);
  }

  QString PhoneFile(const QString& name, const QByteArray& bytes) {
    const QString path = dir_.filePath(QStringLiteral("phone-") + name);
    EXPECT_TRUE(WriteFile(path, bytes));
    return path;
  }
  QString Target(const QString& name) const {
    return dir_.filePath(QStringLiteral("cache-") + name);
  }

  std::unique_ptr<phone::PhoneSimulator> StartSimulator(
      const QList<phone::PhonePicture>& pictures) {
    phone::PhoneOptions options;
    options.host = "127.0.0.1";
    options.controlPort = link_->ControlPortInUse();
    options.dataPort = link_->DataPortInUse();
    auto simulator = std::make_unique<phone::PhoneSimulator>(options, pictures, nullptr);
    EXPECT_TRUE(simulator->Start()) << simulator->LastError();
    return simulator;
  }

  ManualPhone ConnectManualPhone() {
    ManualPhone phone;
    EXPECT_TRUE(phone.control->Connect("127.0.0.1", link_->ControlPortInUse(), Wait));
    EXPECT_TRUE(phone.control->Send(phone::MakeHello(1001000, "pixel")));
    const auto reply = phone.control->Receive(Wait);
    EXPECT_TRUE(reply && reply->command == cmdHello);
    EXPECT_TRUE(phone.data->Connect("127.0.0.1", link_->DataPortInUse(), Wait));
    return phone;
  }

  QTemporaryDir dir_;
  NullFolders folders_;
  base::TStopFlag abortLoad_;
  RecordingDone done_;
  std::unique_ptr<TPhoneLink> link_;
  std::unique_ptr<TDownloadThread> engine_;
};

TEST_F(TransferTest, FilesOfEverySizeArriveByteExactWithOneRequestPerChunk) {
  const std::vector<qsizetype> sizes = {0, 1, 95999, 96000, 96001, 2 * 96000, 1000003};
  QList<phone::PhonePicture> pictures;
  for (const qsizetype size : sizes) {
    pictures << phone::PictureFromFile(PhoneFile(QString::number(size), RandomBytes(size)));
  }
  auto simulator = StartSimulator(pictures);
  int expectedChunks = 0;
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    engine_->AddRequest(static_cast<std::int32_t>(i), pictures[static_cast<qsizetype>(i)].phoneName,
                        Target(QString::number(sizes[i])));
    expectedChunks += static_cast<int>(std::max<qsizetype>(1, (sizes[i] + 95999) / 96000));
  }
  const auto notices = done_.WaitFor(sizes.size());
  ASSERT_EQ(notices.size(), sizes.size());
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    EXPECT_EQ(notices[i], Notice(static_cast<std::int32_t>(i), RequestComplete));
    const QString target = Target(QString::number(sizes[i]));
    EXPECT_EQ(ReadFile(target), RandomBytes(sizes[i])) << sizes[i];
    EXPECT_FALSE(QFile::exists(target + ".tmp"));
  }
  // A file of exactly two chunks takes two requests, not a third.
  EXPECT_EQ(simulator->ChunksAnswered(), expectedChunks);
  EXPECT_TRUE(engine_->RequestQueue().isEmpty());
}

TEST_F(TransferTest, SilenceIsAnsweredByOneRepeatAndASecondSilenceFailsTheFile) {
  ManualPhone phone = ConnectManualPhone();
  engine_->AddRequest(5, QStringLiteral("/DCIM/slow.jpg"), Target("slow.jpg"));
  const auto first = phone.NextRequest();
  ASSERT_TRUE(first);
  EXPECT_EQ(first->id, 5u);
  EXPECT_EQ(first->offset, 0u);
  EXPECT_EQ(first->size, ChunkSize);
  EXPECT_EQ(first->name, QStringLiteral("/DCIM/slow.jpg"));
  const auto repeat = phone.NextRequest();
  ASSERT_TRUE(repeat);
  EXPECT_EQ(repeat->offset, 0u);
  // The repeat is answered; the next chunk then goes unanswered twice.
  ASSERT_TRUE(phone.Answer(5, 2 * ChunkSize, 0, QByteArray(ChunkSize, 'a')));
  const auto second = phone.NextRequest();
  ASSERT_TRUE(second);
  EXPECT_EQ(second->offset, ChunkSize);
  EXPECT_EQ(done_.WaitFor(1), std::vector<Notice>{Notice(5, RequestFailed)});
  EXPECT_FALSE(phone.NextRequest(3 * ChunkWaitShort));
  EXPECT_FALSE(QFile::exists(Target("slow.jpg")));
}

TEST_F(TransferTest, RefusalFailsTheFileAtOnce) {
  // The wait for the chunk never runs out here, so only the refusal can end the transfer.
  UseChunkWait(ChunkWaitNever);
  ManualPhone phone = ConnectManualPhone();
  engine_->AddRequest(9, QStringLiteral("/DCIM/gone.jpg"), Target("gone.jpg"));
  ASSERT_TRUE(phone.NextRequest());
  ASSERT_TRUE(phone.Answer(9, 0, 0, {}, 1));
  EXPECT_EQ(done_.WaitFor(1), std::vector<Notice>{Notice(9, RequestFailed)});
  EXPECT_FALSE(phone.NextRequest(2 * ChunkWaitShort));
}

TEST_F(TransferTest, ChunksThatAreNotTakenAreReadWholeSoTheConnectionStaysInStep) {
  UseChunkWait(ChunkWaitNever);  // no repeated request comes between the messages checked
  ManualPhone phone = ConnectManualPhone();
  const QByteArray file = RandomBytes(1000);
  engine_->AddRequest(3, QStringLiteral("/DCIM/a.jpg"), Target("a.jpg"));
  ASSERT_TRUE(phone.NextRequest());
  // Another id, an offset far beyond the total, a head shorter than a chunk's: all dropped.
  ASSERT_TRUE(phone.Answer(4, 1000, 0, file));
  ASSERT_TRUE(phone.Answer(3, 1000, 0xFFFFFF00u, file));
  ASSERT_TRUE(phone.data->Send(MakeMessage(LinkMagicPhone, cmdChunkData, QByteArray(10, '\0'))));
  ASSERT_TRUE(phone.InStep());
  // A payload longer than the file: only the file's bytes are taken, the rest is read.
  ASSERT_TRUE(phone.Answer(3, 1000, 0, file + QByteArray(5000, 'z')));
  EXPECT_EQ(done_.WaitFor(1), std::vector<Notice>{Notice(3, RequestComplete)});
  EXPECT_EQ(ReadFile(Target("a.jpg")), file);
  EXPECT_TRUE(phone.InStep());
}

TEST_F(TransferTest, AChunkCutOffByALostConnectionIsAskedForAgain) {
  ManualPhone phone = ConnectManualPhone();
  const QByteArray file = RandomBytes(150000);
  engine_->AddRequest(6, QStringLiteral("/DCIM/a.jpg"), Target("a.jpg"));
  ASSERT_TRUE(phone.NextRequest());
  const QByteArray whole = phone::MakeChunkData(0, 6, 150000, 0, file.first(ChunkSize));
  ASSERT_TRUE(phone.data->Send(whole.first(whole.size() / 2)));
  phone.data->Close();
  const auto repeat = phone.NextRequest();
  ASSERT_TRUE(repeat);
  EXPECT_EQ(repeat->offset, 0u);
  ASSERT_TRUE(phone.data->Connect("127.0.0.1", link_->DataPortInUse(), Wait));
  ASSERT_TRUE(phone.Answer(6, 150000, 0, file.first(ChunkSize)));
  ASSERT_TRUE(phone.NextRequest());
  ASSERT_TRUE(phone.Answer(6, 150000, ChunkSize, file.sliced(ChunkSize)));
  EXPECT_EQ(done_.WaitFor(1), std::vector<Notice>{Notice(6, RequestComplete)});
  EXPECT_EQ(ReadFile(Target("a.jpg")), file);
}

TEST_F(TransferTest, AnAnnouncedTotalAboveTheCapFailsLikeARefusal) {
  UseChunkWait(ChunkWaitNever);
  ManualPhone phone = ConnectManualPhone();
  engine_->AddRequest(1, QStringLiteral("/DCIM/huge.jpg"), Target("huge.jpg"));
  ASSERT_TRUE(phone.NextRequest());
  ASSERT_TRUE(phone.Answer(1, 0xFFFFFFF0u, 0, QByteArray(ChunkSize, 'h')));
  EXPECT_EQ(done_.WaitFor(1), std::vector<Notice>{Notice(1, RequestFailed)});
  EXPECT_FALSE(QFile::exists(Target("huge.jpg") + ".tmp"));
  EXPECT_TRUE(phone.InStep());
}

TEST_F(TransferTest, ACutShortTransferFailsAndAStaleTemporaryFileNeverBecomesThePicture) {
  const QString target = Target("cut.jpg");
  ASSERT_TRUE(WriteFile(target + ".tmp", "stale bytes of an earlier attempt"));
  UseChunkWait(ChunkWaitNever);  // the cut-short chunk itself ends the transfer
  ManualPhone phone = ConnectManualPhone();
  engine_->AddRequest(2, QStringLiteral("/DCIM/cut.jpg"), target);
  ASSERT_TRUE(phone.NextRequest());
  ASSERT_TRUE(phone.Answer(2, 3 * ChunkSize, 0, QByteArray(500, 'c')));
  EXPECT_EQ(done_.WaitFor(1), std::vector<Notice>{Notice(2, RequestFailed)});
  EXPECT_FALSE(QFile::exists(target));
  EXPECT_FALSE(QFile::exists(target + ".tmp"));
}

TEST_F(TransferTest, TheFinishedFileReplacesATargetThatAppearedMeanwhile) {
  const QString target = Target("late.jpg");
  ManualPhone phone = ConnectManualPhone();
  engine_->AddRequest(4, QStringLiteral("/DCIM/late.jpg"), target);
  ASSERT_TRUE(phone.NextRequest());
  ASSERT_TRUE(WriteFile(target, "written by someone else"));
  ASSERT_TRUE(phone.Answer(4, 6, 0, "fresh!"));
  EXPECT_EQ(done_.WaitFor(1), std::vector<Notice>{Notice(4, RequestComplete)});
  EXPECT_EQ(ReadFile(target), QByteArray("fresh!"));
}

TEST_F(TransferTest, CancellingTheTransferUnderWayKeepsTheQueuedOnesInOrder) {
  ManualPhone phone = ConnectManualPhone();
  engine_->AddRequest(10, QStringLiteral("/DCIM/a.jpg"), Target("a.jpg"));
  engine_->AddRequest(11, QStringLiteral("/DCIM/b.jpg"), Target("b.jpg"));
  engine_->AddRequest(12, QStringLiteral("/DCIM/c.jpg"), Target("c.jpg"));
  engine_->AddRequest(13, QStringLiteral("/DCIM/d.jpg"), Target("d.jpg"));
  const auto first = phone.NextRequest();
  ASSERT_TRUE(first);
  ASSERT_EQ(first->id, 10u);
  engine_->CancelRequest(12);  // queued: removed without a notice
  engine_->CancelRequest(10);  // under way: fails at once
  engine_->CancelRequest(10);  // again: must not take another request with it
  for (const std::uint32_t id : {11u, 13u}) {
    const auto request = phone.NextRequest();
    ASSERT_TRUE(request);
    EXPECT_EQ(request->id, id);
    ASSERT_TRUE(phone.Answer(id, 2, 0, QByteArray::number(id)));
  }
  EXPECT_EQ(
      done_.WaitFor(3),
      (std::vector<Notice>{{10, RequestFailed}, {11, RequestComplete}, {13, RequestComplete}}));
  EXPECT_EQ(ReadFile(Target("d.jpg")), QByteArray("13"));
  EXPECT_FALSE(QFile::exists(Target("c.jpg")));
}

TEST_F(TransferTest, TheViewerStopFlagFailsTheTransferAndStoppingEndsWithoutANotice) {
  ManualPhone phone = ConnectManualPhone();
  engine_->AddRequest(20, QStringLiteral("/DCIM/a.jpg"), Target("a.jpg"));
  ASSERT_TRUE(phone.NextRequest());
  abortLoad_.Set(true);
  EXPECT_EQ(done_.WaitFor(1), std::vector<Notice>{Notice(20, RequestFailed)});
  abortLoad_.Set(false);

  engine_->AddRequest(21, QStringLiteral("/DCIM/b.jpg"), Target("b.jpg"));
  ASSERT_TRUE(phone.NextRequest());
  engine_->Stop();
  EXPECT_EQ(done_.WaitFor(2, 2 * ChunkWaitShort).size(), 1u);
  EXPECT_EQ(engine_->RequestQueue(),
            QStringList{QStringLiteral("21=/DCIM/b.jpg,") + Target("b.jpg")});
}

TEST_F(TransferTest, PresentTargetsAreNotQueuedAndTooShortNamesFailWithoutARequest) {
  ManualPhone phone = ConnectManualPhone();
  ASSERT_TRUE(WriteFile(Target("here.jpg"), "cached"));
  engine_->AddRequest(30, QStringLiteral("/DCIM/here.jpg"), Target("here.jpg"));
  EXPECT_TRUE(engine_->RequestQueue().isEmpty());
  engine_->AddRequest(31, QStringLiteral("/"), Target("short.jpg"));
  EXPECT_EQ(done_.WaitFor(1), std::vector<Notice>{Notice(31, RequestFailed)});
  EXPECT_FALSE(phone.NextRequest(2 * ChunkWaitShort));
  // Regression: the failed request was left as the transfer under way, so a chunk sent for
  // its id was taken and its temporary file written and left behind.
  ASSERT_TRUE(phone.Answer(31, 5, 0, "bytes"));
  ASSERT_TRUE(phone.InStep());
  EXPECT_FALSE(QFile::exists(Target("short.jpg") + ".tmp"));
}

TEST(RequestCounterTest, IdsRunUpToTheLimitAndStartAgainAtZero) {
  TRequestCounter counter(MaxRequestId - 1);
  EXPECT_EQ(counter.Take(), MaxRequestId - 1);
  EXPECT_EQ(counter.Take(), MaxRequestId);
  EXPECT_EQ(counter.Take(), 0);
  EXPECT_EQ(counter.Take(), 1);
}

}  // namespace
}  // namespace zephra::link
