#include "phone/phone_simulator.h"

#include <future>
#include <mutex>
#include <vector>

#include <gtest/gtest.h>
#include <QFile>
#include <QTemporaryDir>

#include "fake_pc.h"
#include "link/link_message.h"

namespace zephra::phone {
namespace {

using namespace std::chrono_literals;
using test::FakePc;
using test::WireMessage;

constexpr qsizetype PictureBytes = 250000;
constexpr std::uint32_t TailOffset = 192000;

QByteArray PatternBytes(qsizetype n) {
  QByteArray bytes(n, Qt::Uninitialized);
  for (qsizetype i = 0; i < n; ++i) bytes[i] = static_cast<char>(i * 7 % 251);
  return bytes;
}

std::uint32_t U32(const QByteArray& bytes, qsizetype at) {
  return link::ReadU32(reinterpret_cast<const unsigned char*>(bytes.constData()) + at);
}

class PhoneSimulatorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QFile file(dir_.filePath("a.jpg"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content_);
  }

  PhoneOptions Options() {
    PhoneOptions options;
    options.controlPort = pc_.ControlPort();
    options.dataPort = pc_.DataPort();
    options.keepAliveInterval = 50ms;
    return options;
  }

  PhoneSimulator& MakePhone(PhoneOptions options) {
    const QList<PhonePicture> pictures{PictureFromFile(dir_.filePath("a.jpg"))};
    phone_ = std::make_unique<PhoneSimulator>(options, pictures, [this](const std::string& line) {
      std::lock_guard lock(logMutex_);
      log_.push_back(line);
    });
    return *phone_;
  }

  std::future<bool> StartAsync() {
    return std::async(std::launch::async, [phone = phone_.get()] { return phone->Start(); });
  }

  // Plays the PC through hello (answered with `status`); returns the hello bytes.
  std::optional<QByteArray> Greet(std::uint32_t status) {
    if (!pc_.AcceptControl()) return std::nullopt;
    auto hello = pc_.ReadControlBytes(link::LinkHeaderSize + link::HelloLength);
    if (hello) pc_.WriteControl(link::MakeHelloReply(status));
    return hello;
  }

  // A whole join: hello granted, data connection, list. Returns the list message.
  std::optional<WireMessage> Join() {
    MakePhone(Options());
    auto started = StartAsync();
    if (!Greet(link::stOk) || !pc_.AcceptData()) return std::nullopt;
    auto list = pc_.ReadControl();
    return started.get() ? list : std::nullopt;
  }

  bool LogHas(const std::string& line) {
    std::lock_guard lock(logMutex_);
    return std::find(log_.begin(), log_.end(), line) != log_.end();
  }

  QTemporaryDir dir_;
  const QByteArray content_ = PatternBytes(PictureBytes);
  FakePc pc_;
  std::mutex logMutex_;
  std::vector<std::string> log_;
  std::unique_ptr<PhoneSimulator> phone_;
};

TEST_F(PhoneSimulatorTest, HelloIsVersionAndZeroPaddedName) {
  MakePhone(Options());
  auto started = StartAsync();
  const auto hello = Greet(link::stOk);
  ASSERT_TRUE(hello);
  const QByteArray expected = QByteArray::fromHex("0000d840000003e900000018000f4628") +
                              QByteArray("zephra-phone") + QByteArray(8, '\0');
  EXPECT_EQ(*hello, expected);
  EXPECT_TRUE(pc_.AcceptData());
  EXPECT_TRUE(started.get());
}

TEST_F(PhoneSimulatorTest, ListReachesThePcParser) {
  const auto list = Join();
  ASSERT_TRUE(list);
  EXPECT_EQ(list->header.Magic, link::LinkMagicPhone);
  EXPECT_EQ(list->header.Command, link::cmdShowList);
  const link::TPictureList parsed = link::ParsePictureList(list->payload);
  EXPECT_EQ(parsed.Count, 1);
  EXPECT_EQ(parsed.Names, QStringLiteral("\"/DCIM/a.jpg\""));
  EXPECT_EQ(parsed.Sizes, QByteArray("250000"));
}

TEST_F(PhoneSimulatorTest, LastChunkIsTheFileTail) {
  ASSERT_TRUE(Join());
  pc_.WriteControl(link::MakeChunkRequest(7, TailOffset, u"/DCIM/a.jpg"));
  const auto answer = pc_.ReadDataAnswer();
  ASSERT_TRUE(answer);
  const qsizetype tail = PictureBytes - TailOffset;
  EXPECT_EQ(answer->header.Command, link::cmdChunkData);
  ASSERT_EQ(answer->header.Length, link::ChunkHeadLength + tail);
  EXPECT_EQ(U32(answer->payload, 0), ChunkDelivered);
  EXPECT_EQ(U32(answer->payload, 4), 7u);
  EXPECT_EQ(U32(answer->payload, 8), static_cast<std::uint32_t>(PictureBytes));
  EXPECT_EQ(U32(answer->payload, 12), TailOffset);
  EXPECT_EQ(answer->payload.sliced(link::ChunkHeadLength), content_.sliced(TailOffset));
  // The phone has finished its answer once it has seen the PC close the control connection.
  pc_.CloseControl();
  ASSERT_TRUE(phone_->WaitUntilStopped(FakePc::StepTimeout));
  EXPECT_EQ(phone_->ChunksAnswered(), 1);
  EXPECT_TRUE(LogHas("-> chunk id=7 offset=192000 bytes=58000 total=250000"));
}

TEST_F(PhoneSimulatorTest, UnknownNameIsRefusedWithoutBytes) {
  ASSERT_TRUE(Join());
  pc_.WriteControl(link::MakeChunkRequest(8, 0, u"/DCIM/missing.jpg"));
  const auto answer = pc_.ReadDataAnswer();
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->header.Length, link::ChunkHeadLength);
  EXPECT_EQ(U32(answer->payload, 0), ChunkRefused);
  EXPECT_EQ(U32(answer->payload, 4), 8u);
}

TEST_F(PhoneSimulatorTest, KeepAliveGoesOnTheDataConnection) {
  ASSERT_TRUE(Join());
  const auto keepAlive = pc_.ReadData();
  ASSERT_TRUE(keepAlive);
  EXPECT_EQ(keepAlive->header.Magic, link::LinkMagicPhone);
  EXPECT_EQ(keepAlive->header.Command, link::cmdKeepAlive);
  EXPECT_EQ(keepAlive->header.Length, 0u);
}

TEST_F(PhoneSimulatorTest, CountsPcMessagesAndEndsWhenPcCloses) {
  ASSERT_TRUE(Join());
  pc_.WriteControl(link::MakeKeepAliveEcho() + link::MakeViewStop(link::ViewStopClosedByUser));
  pc_.CloseControl();
  EXPECT_TRUE(phone_->WaitUntilStopped(FakePc::StepTimeout));
  EXPECT_FALSE(phone_->Running());
  EXPECT_EQ(phone_->KeepAliveEchoes(), 1);
  EXPECT_EQ(phone_->ViewStopsReceived(), 1);
  EXPECT_TRUE(LogHas("<- view-stop value=1"));
}

TEST_F(PhoneSimulatorTest, RefusedHelloFailsStartAndCloses) {
  MakePhone(Options());
  auto started = StartAsync();
  ASSERT_TRUE(Greet(link::stBusy));
  EXPECT_FALSE(started.get());
  EXPECT_EQ(phone_->HelloStatus(), link::stBusy);
  EXPECT_TRUE(pc_.ControlClosedByPhone());
  EXPECT_FALSE(phone_->Running());
}

TEST_F(PhoneSimulatorTest, UnreachablePcFailsStartWithoutStatus) {
  PhoneOptions options = Options();
  {
    FakePc gone;
    options.controlPort = gone.ControlPort();
  }
  EXPECT_FALSE(MakePhone(options).Start());
  EXPECT_FALSE(phone_->HelloStatus());
  EXPECT_FALSE(phone_->LastError().empty());
}

}  // namespace
}  // namespace zephra::phone
