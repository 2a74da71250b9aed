#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <QtEndian>
#include <gtest/gtest.h>

#include "link/phone_link.h"
#include "phone/phone_messages.h"
#include "phone/phone_socket.h"

namespace zephra::link {
namespace {

using namespace std::chrono_literals;
using phone::PhoneSocket;

constexpr auto Wait = 3000ms;
constexpr auto Quiet = 300ms;

struct ViewerCall {
  std::string what;  // "show", "slideshow", "stop", "close"
  std::int32_t index = 0;
  QString names;
  QByteArray sizes;
};

class RecordingViewer : public IViewerPort {
 public:
  void ShowList(std::int32_t index, const QString& names, const QByteArray& sizes) override {
    Record({"show", index, names, sizes});
  }
  void StartSlideShow(std::int32_t index, const QString& names, const QByteArray& sizes) override {
    Record({"slideshow", index, names, sizes});
  }
  void StopSlideShow(bool redisplay) override { Record(Named(redisplay ? "stop" : "stop-quiet")); }
  void Act(TRemoteAction) override { Record(Named("act")); }
  void CloseQuietly() override { Record(Named("close")); }
  bool Hidden() const override { return hidden; }

  // The calls so far once there are at least `count` of them (or after the wait).
  std::vector<ViewerCall> WaitForCalls(std::size_t count, std::chrono::milliseconds wait = Wait) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, wait, [&] { return calls_.size() >= count; });
    return calls_;
  }

  std::atomic<bool> hidden{true};

 private:
  static ViewerCall Named(const char* what) {
    ViewerCall call;
    call.what = what;
    return call;
  }
  void Record(ViewerCall call) {
    {
      std::lock_guard lock(mutex_);
      calls_.push_back(std::move(call));
    }
    changed_.notify_all();
  }
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<ViewerCall> calls_;
};

class RecordingFolders : public IPhoneFolders {
 public:
  QString PhoneFolder() const override {
    std::lock_guard lock(mutex_);
    return current_;
  }
  void SetPhoneFolder(const QString& name) override {
    std::lock_guard lock(mutex_);
    current_ = name;
    ++changes_;
  }
  int Changes() const {
    std::lock_guard lock(mutex_);
    return changes_;
  }

 private:
  mutable std::mutex mutex_;
  QString current_;
  int changes_ = 0;
};

template <class Predicate>
bool WaitUntil(Predicate predicate, std::chrono::milliseconds timeout = Wait) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (!predicate()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(5ms);
  }
  return true;
}

QByteArray PhoneMessage(std::uint32_t command, const QByteArray& payload) {
  return MakeMessage(LinkMagicPhone, command, payload);
}

QByteArray ListMessage(std::uint32_t command, std::int32_t index, const QString& text) {
  return phone::MakePictureList(command, index, text);
}

class ControlChannelTest : public ::testing::Test {
 protected:
  void SetUp() override { Start({}); }

  void Start(net::ServerLimits limits) {
    link_.reset();
    TLinkConfig config;
    config.controlPort = 0;
    config.dataPort = 0;
    config.stopWait = 2000ms;
    config.limits = limits;
    link_ = std::make_unique<TPhoneLink>(config, folders_, [this]() -> std::optional<bool> {
      const int answer = popUpAnswer_.load();
      if (answer < 0) return std::nullopt;
      return answer == 1;
    });
    link_->SetViewer(viewer_);
    std::string error;
    ASSERT_TRUE(link_->StartServers(&error)) << error;
  }

  // A phone connection to the control port (or the data port) from a loopback address.
  std::unique_ptr<PhoneSocket> Connect(const char* from = "127.0.0.1", bool data = false) {
    auto socket = std::make_unique<PhoneSocket>();
    const auto port = data ? link_->DataPortInUse() : link_->ControlPortInUse();
    EXPECT_TRUE(socket->Connect("127.0.0.1", port, Wait, from));
    return socket;
  }

  // Sends a hello and returns the reply's status (-1 without a reply).
  std::int64_t Hello(PhoneSocket& socket, std::uint32_t version, const QByteArray& name) {
    EXPECT_TRUE(socket.Send(phone::MakeHello(version, name)));
    const auto reply = socket.Receive(Wait);
    if (!reply || reply->command != cmdHello || reply->payload.size() != 8) return -1;
    return qFromBigEndian<quint32>(reply->payload.constData() + 4);
  }

  RecordingFolders folders_;
  std::shared_ptr<RecordingViewer> viewer_ = std::make_shared<RecordingViewer>();
  std::atomic<int> popUpAnswer_{-1};  // -1: no request service; 0 game mode; 1 may pop up
  std::unique_ptr<TPhoneLink> link_;
};

TEST_F(ControlChannelTest, HelloIsGrantedWithAByteExactReply) {
  auto phone = Connect();
  ASSERT_TRUE(phone->Send(phone::MakeHello(1001000, "pixel")));
  const auto reply = phone->ReceiveBytes(20, Wait);
  ASSERT_TRUE(reply);
  EXPECT_EQ(*reply, QByteArray::fromHex("00007815000003E900000008000F462800000000"));

  const TClientInfo session = link_->Session();
  EXPECT_EQ(session.IP, "127.0.0.1");
  EXPECT_EQ(session.Name, QByteArray("pixel"));
  EXPECT_EQ(session.Version, 1001000u);
}

TEST_F(ControlChannelTest, VersionBelow1000IsTooOldAnd1000IsEnough) {
  auto old = Connect();
  EXPECT_EQ(Hello(*old, 999, "old"), stTooOld);
  EXPECT_FALSE(link_->SessionPresent());
  auto current = Connect();
  EXPECT_EQ(Hello(*current, 1000, "new"), stOk);
  EXPECT_TRUE(link_->SessionPresent());
}

TEST_F(ControlChannelTest, SecondPhoneIsBusyAndChangesOnlyTheActivityTime) {
  auto first = Connect("127.0.0.1");
  ASSERT_EQ(Hello(*first, 1001000, "first"), stOk);
  const auto before = link_->LastActive();
  std::this_thread::sleep_for(5ms);

  auto second = Connect("127.0.0.2");
  EXPECT_EQ(Hello(*second, 1001000, "second"), stBusy);
  EXPECT_EQ(link_->Session().Name, QByteArray("first"));
  EXPECT_GT(link_->LastActive(), before);

  // Its commands are drained, not obeyed, and its connection stays in step.
  ASSERT_TRUE(second->Send(ListMessage(cmdShowList, 0, "/x.jpg,1,\r\n")));
  EXPECT_EQ(Hello(*second, 1001000, "second"), stBusy);
  EXPECT_TRUE(viewer_->WaitForCalls(1, Quiet).empty());
}

TEST_F(ControlChannelTest, SamePhoneOnANewConnectionIsBusyButObeyedByAddress) {
  auto granted = Connect();
  ASSERT_EQ(Hello(*granted, 1001000, "pixel"), stOk);
  auto again = Connect();
  EXPECT_EQ(Hello(*again, 1001000, "pixel"), stBusy);

  ASSERT_TRUE(again->Send(ListMessage(cmdShowList, 1, "/DCIM/a.jpg,120,\r\n/DCIM/b.jpg,340,x")));
  const auto calls = viewer_->WaitForCalls(1);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].what, "show");
  EXPECT_EQ(calls[0].index, 1);
  EXPECT_EQ(calls[0].names, QString(R"("/DCIM/a.jpg","/DCIM/b.jpg")"));
  EXPECT_EQ(calls[0].sizes, QByteArray("120,340"));
  EXPECT_EQ(folders_.PhoneFolder(), QString("pixel"));

  // Closing the connection that never had its hello granted keeps the session.
  again->Close();
  std::this_thread::sleep_for(Quiet);
  EXPECT_TRUE(link_->SessionPresent());
  EXPECT_EQ(viewer_->WaitForCalls(2, 10ms).size(), 1u);

  // Closing the granted one ends it and closes the viewer quietly.
  granted->Close();
  ASSERT_TRUE(WaitUntil([&] { return !link_->SessionPresent(); }));
  const auto after = viewer_->WaitForCalls(2);
  ASSERT_EQ(after.size(), 2u);
  EXPECT_EQ(after[1].what, "close");
}

TEST_F(ControlChannelTest, EmptyNameIsGrantedButHoldsNoSession) {
  auto nameless = Connect("127.0.0.1");
  EXPECT_EQ(Hello(*nameless, 1001000, ""), stOk);
  EXPECT_FALSE(link_->SessionPresent());
  ASSERT_TRUE(nameless->Send(ListMessage(cmdShowList, 0, "/a.jpg,1,")));
  EXPECT_TRUE(viewer_->WaitForCalls(1, Quiet).empty());

  auto other = Connect("127.0.0.2");
  EXPECT_EQ(Hello(*other, 1001000, "other"), stOk);
  EXPECT_EQ(link_->Session().IP, "127.0.0.2");
}

TEST_F(ControlChannelTest, HelloOfWrongLengthGetsNoReplyAndKeepsTheConnectionInStep) {
  auto phone = Connect();
  ASSERT_TRUE(phone->Send(phone::MakeHello(1001000, "pixel").left(12 + 20).replace(
      8, 4, QByteArray::fromHex("00000014"))));
  EXPECT_EQ(Hello(*phone, 1001000, "pixel"), stOk);  // the first reply is to the second hello
  EXPECT_FALSE(phone->Receive(Quiet)) << "no second reply";
}

TEST_F(ControlChannelTest, WrongMagicIsDroppedAndUnknownCodesAreDrained) {
  auto phone = Connect();
  ASSERT_EQ(Hello(*phone, 1001000, "pixel"), stOk);
  ASSERT_TRUE(phone->Send(QByteArray::fromHex("00001234000003EB00000000")));
  ASSERT_TRUE(phone->Send(PhoneMessage(cmdChunkRequest, QByteArray(40, 'z'))));
  ASSERT_TRUE(phone->Send(PhoneMessage(cmdCloseViewer, QByteArray(3, 'z'))));  // not acted on
  ASSERT_TRUE(phone->Send(phone::MakeViewStop(0)));
  const auto calls = viewer_->WaitForCalls(1);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].what, "stop");
  EXPECT_TRUE(phone->IsOpen());
}

TEST_F(ControlChannelTest, ViewerCommandsReachTheViewerInOrder) {
  auto phone = Connect();
  ASSERT_EQ(Hello(*phone, 1001000, "pixel"), stOk);
  ASSERT_TRUE(phone->Send(ListMessage(cmdSlideShow, 0, "/a.jpg,1,\r\n/b.jpg,2,\r\n")));
  ASSERT_TRUE(phone->Send(phone::MakeViewStop(0)));
  ASSERT_TRUE(phone->Send(phone::MakeCloseViewer()));
  // A list whose text has an odd byte count is read whole: the next message is still understood.
  QByteArray odd = ListMessage(cmdShowList, 0, "/c.jpg,3,");
  odd.append('!');
  qToBigEndian<quint32>(static_cast<quint32>(odd.size() - 12), odd.data() + 8);
  ASSERT_TRUE(phone->Send(odd));
  ASSERT_TRUE(phone->Send(phone::MakeViewStop(0)));

  const auto calls = viewer_->WaitForCalls(5);
  ASSERT_EQ(calls.size(), 5u);
  EXPECT_EQ(calls[0].what, "slideshow");
  EXPECT_EQ(calls[0].names, QString(R"("/a.jpg","/b.jpg")"));
  EXPECT_EQ(calls[1].what, "stop");
  EXPECT_EQ(calls[2].what, "close");
  EXPECT_EQ(calls[3].what, "show");
  EXPECT_EQ(calls[3].names, QString(R"("/c.jpg")"));
  EXPECT_EQ(calls[4].what, "stop");
  EXPECT_TRUE(link_->SessionPresent()) << "closing the viewer keeps the session";
}

TEST_F(ControlChannelTest, OversizedListClosesOnlyThatConnection) {
  auto granted = Connect();
  ASSERT_EQ(Hello(*granted, 1001000, "pixel"), stOk);
  auto other = Connect();
  QByteArray header = PhoneMessage(cmdShowList, {});
  header.replace(8, 4, QByteArray::fromHex("00800001"));  // 8 MiB + 1
  ASSERT_TRUE(other->Send(header));
  EXPECT_TRUE(other->WaitClosed(Wait));

  EXPECT_TRUE(link_->SessionPresent());
  ASSERT_TRUE(granted->Send(phone::MakeViewStop(0)));
  EXPECT_EQ(viewer_->WaitForCalls(1).size(), 1u);
}

TEST_F(ControlChannelTest, KeepAliveOnTheDataChannelIsEchoedOnTheControlChannel) {
  auto control = Connect();
  ASSERT_EQ(Hello(*control, 1001000, "pixel"), stOk);
  auto data = Connect("127.0.0.1", true);
  const auto before = link_->LastActive();
  std::this_thread::sleep_for(5ms);
  ASSERT_TRUE(data->Send(phone::MakeKeepAlive()));
  const auto echo = control->ReceiveBytes(12, Wait);
  ASSERT_TRUE(echo);
  EXPECT_EQ(*echo, QByteArray::fromHex("00007815000004AF00000000"));
  EXPECT_GT(link_->LastActive(), before);
}

TEST_F(ControlChannelTest, SendToSessionUsesTheNewestConnectionOfTheSessionAddress) {
  auto granted = Connect();
  ASSERT_EQ(Hello(*granted, 1001000, "pixel"), stOk);
  auto newest = Connect();
  ASSERT_EQ(Hello(*newest, 1001000, "pixel"), stBusy);
  auto stranger = Connect("127.0.0.2");
  ASSERT_EQ(Hello(*stranger, 1001000, "x"), stBusy);

  link_->SendViewStop(ViewStopClosedByUser);
  const auto stop = newest->ReceiveBytes(16, Wait);
  ASSERT_TRUE(stop);
  EXPECT_EQ(*stop, QByteArray::fromHex("00007815000003ED0000000400000001"));
  EXPECT_FALSE(granted->Receive(Quiet));
  EXPECT_FALSE(stranger->Receive(10ms));

  link_->SendToSession(MakeChunkRequest(3, 0, QString(300, u'n')));
  const auto request = newest->Receive(Wait);
  ASSERT_TRUE(request);
  EXPECT_EQ(request->command, cmdChunkRequest);
  EXPECT_EQ(request->payload.size(), 524);
}

TEST_F(ControlChannelTest, DropAllConnectionsClosesBothPortsAndClearsTheSession) {
  auto control = Connect();
  ASSERT_EQ(Hello(*control, 1001000, "pixel"), stOk);
  auto data = Connect("127.0.0.1", true);
  ASSERT_TRUE(data->Send(phone::MakeKeepAlive()));
  ASSERT_TRUE(control->Receive(Wait));

  link_->DropAllConnections(true);
  EXPECT_TRUE(control->WaitClosed(Wait));
  EXPECT_TRUE(data->WaitClosed(Wait));
  EXPECT_FALSE(link_->SessionPresent());
  EXPECT_TRUE(viewer_->WaitForCalls(1, Quiet).empty()) << "disconnect handlers were detached";

  // Reattached: a new phone is served and its disconnect ends its session.
  auto next = Connect();
  ASSERT_EQ(Hello(*next, 1001000, "next"), stOk);
  next->Close();
  EXPECT_TRUE(WaitUntil([&] { return !link_->SessionPresent(); }));
}

TEST_F(ControlChannelTest, ListIsDroppedInGameModeUntilAnotherPhoneSendsOne) {
  popUpAnswer_ = 0;  // read on the connection thread after the hello
  auto phone = Connect("127.0.0.1");
  ASSERT_EQ(Hello(*phone, 1001000, "gamer"), stOk);
  ASSERT_TRUE(phone->Send(ListMessage(cmdShowList, 0, "/a.jpg,1,")));
  ASSERT_TRUE(phone->Send(phone::MakeViewStop(0)));  // proves the list was read and dropped
  auto calls = viewer_->WaitForCalls(1);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].what, "stop");
  EXPECT_FALSE(link_->MayPopUp());

  popUpAnswer_ = 1;  // same phone: the decision is not taken again
  ASSERT_TRUE(phone->Send(ListMessage(cmdShowList, 0, "/a.jpg,1,")));
  ASSERT_TRUE(phone->Send(phone::MakeViewStop(0)));
  calls = viewer_->WaitForCalls(2);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[1].what, "stop");

  phone->Close();
  ASSERT_TRUE(WaitUntil([&] { return !link_->SessionPresent(); }));
  auto other = Connect("127.0.0.2");
  ASSERT_EQ(Hello(*other, 1001000, "other"), stOk);
  ASSERT_TRUE(other->Send(ListMessage(cmdShowList, 0, "/b.jpg,1,")));
  calls = viewer_->WaitForCalls(4);  // the quiet close of the first session, then the list
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[3].what, "show");
  EXPECT_EQ(folders_.Changes(), 2);
}

TEST_F(ControlChannelTest, ShownViewerAlwaysMayPopUp) {
  popUpAnswer_ = 0;
  viewer_->hidden = false;
  auto phone = Connect();
  ASSERT_EQ(Hello(*phone, 1001000, "pixel"), stOk);
  ASSERT_TRUE(phone->Send(ListMessage(cmdShowList, 0, "/a.jpg,1,")));
  EXPECT_EQ(viewer_->WaitForCalls(1).size(), 1u);
}

TEST_F(ControlChannelTest, ConnectionBoundsSpareTheSessionPhone) {
  auto session = Connect("127.0.0.1");
  ASSERT_EQ(Hello(*session, 1001000, "pixel"), stOk);

  std::vector<std::unique_ptr<PhoneSocket>> crowd;
  for (std::size_t i = 0; i < MaxConnectionsPerPeer; ++i) crowd.push_back(Connect("127.0.0.2"));
  for (auto& c : crowd) ASSERT_EQ(Hello(*c, 1001000, "crowd"), stBusy);
  auto refused = Connect("127.0.0.2");
  EXPECT_TRUE(refused->WaitClosed(Wait));

  std::vector<std::unique_ptr<PhoneSocket>> own;
  for (std::size_t i = 0; i < MaxConnectionsPerPeer + 4; ++i) own.push_back(Connect("127.0.0.1"));
  for (auto& c : own) EXPECT_EQ(Hello(*c, 1001000, "pixel"), stBusy);
}

TEST_F(ControlChannelTest, SilentConnectionIsClosedAfterTheFirstMessageDeadline) {
  net::ServerLimits limits;
  limits.firstMessageDeadline = 800ms;
  Start(limits);
  auto silent = Connect("127.0.0.2");
  auto phone = Connect("127.0.0.1");
  ASSERT_EQ(Hello(*phone, 1001000, "pixel"), stOk);
  EXPECT_TRUE(silent->WaitClosed(Wait));
  std::this_thread::sleep_for(900ms);
  ASSERT_TRUE(phone->Send(phone::MakeViewStop(0)));
  EXPECT_EQ(viewer_->WaitForCalls(1).size(), 1u) << "a connection that has spoken stays";
}

TEST_F(ControlChannelTest, ShutdownWhileAPhoneIsSendingEndsPromptly) {
  auto control = Connect();
  ASSERT_EQ(Hello(*control, 1001000, "pixel"), stOk);
  auto data = Connect("127.0.0.1", true);
  std::atomic<bool> sending{true};
  std::thread flood([&] {
    const QByteArray list = ListMessage(cmdShowList, 0, "/a.jpg,1,\r\n/b.jpg,2,");
    while (sending && control->Send(list) && data->Send(phone::MakeKeepAlive())) {
    }
  });
  viewer_->WaitForCalls(20);

  const auto start = std::chrono::steady_clock::now();
  link_->DetachDisconnectHandlers();
  link_->DropAllConnections(false);
  link_->SetServersActive(false);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2000ms);
  EXPECT_FALSE(link_->ServerActive());
  EXPECT_TRUE(control->WaitClosed(Wait));
  sending = false;
  flood.join();
}

}  // namespace
}  // namespace zephra::link
