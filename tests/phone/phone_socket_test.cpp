#include "phone/phone_socket.h"

#include <future>

#include <gtest/gtest.h>

#include "fake_pc.h"
#include "link/link_message.h"

namespace zephra::phone {
namespace {

using namespace std::chrono_literals;
using test::FakePc;

class PhoneSocketTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(socket_.Connect("127.0.0.1", pc_.ControlPort(), 2s));
    ASSERT_TRUE(pc_.AcceptControl());
  }

  FakePc pc_;
  PhoneSocket socket_;
};

TEST_F(PhoneSocketTest, TimedOutReceiveKeepsThePartialMessage) {
  const QByteArray message = link::MakeViewStop(9) + QByteArray("xyz");
  pc_.WriteControl(message.first(5));
  EXPECT_FALSE(socket_.Receive(50ms));
  pc_.WriteControl(message.sliced(5));
  const auto received = socket_.Receive(2s);
  ASSERT_TRUE(received);
  EXPECT_EQ(received->magic, link::LinkMagicPc);
  EXPECT_EQ(received->command, link::cmdViewStop);
  EXPECT_EQ(received->payload, QByteArray::fromHex("00000009"));
  EXPECT_EQ(socket_.ReceiveBytes(3, 2s), QByteArray("xyz"));
}

TEST_F(PhoneSocketTest, MessageSentBeforeThePeerClosedIsStillDelivered) {
  pc_.WriteControl(link::MakeKeepAliveEcho());
  pc_.CloseControl();
  // Only 12 bytes ever arrive, so this returns once the close is seen, consuming nothing.
  EXPECT_FALSE(socket_.ReceiveBytes(link::LinkHeaderSize + 1, 2s));
  EXPECT_FALSE(socket_.IsOpen());
  const auto echo = socket_.Receive(0ms);
  ASSERT_TRUE(echo);
  EXPECT_EQ(echo->command, link::cmdKeepAlive);
}

TEST_F(PhoneSocketTest, WaitClosedDiscardsWhatArrives) {
  pc_.WriteControl(link::MakeKeepAliveEcho());
  EXPECT_FALSE(socket_.WaitClosed(50ms));
  pc_.CloseControl();
  EXPECT_TRUE(socket_.WaitClosed(2s));
  EXPECT_FALSE(socket_.Receive(0ms));
}

TEST_F(PhoneSocketTest, CloseFromAnotherThreadEndsAPendingReceive) {
  auto pending = std::async(std::launch::async, [socket = &socket_] {
    return socket->Receive(std::chrono::milliseconds(FakePc::StepTimeout * 10));
  });
  EXPECT_EQ(pending.wait_for(50ms), std::future_status::timeout);
  socket_.Close();
  ASSERT_EQ(pending.wait_for(FakePc::StepTimeout), std::future_status::ready);
  EXPECT_FALSE(pending.get());
  EXPECT_FALSE(socket_.Send(link::MakeKeepAliveEcho()));
}

TEST_F(PhoneSocketTest, OversizedLengthClosesTheConnection) {
  QByteArray head = link::MakeKeepAliveEcho();
  link::WriteU32(reinterpret_cast<unsigned char*>(head.data()) + 8, MaxReceivePayload + 1);
  pc_.WriteControl(head);
  EXPECT_FALSE(socket_.Receive(2s));
  EXPECT_FALSE(socket_.IsOpen());
  EXPECT_TRUE(pc_.ControlClosedByPhone());
}

}  // namespace
}  // namespace zephra::phone
