#include "browser/browser_server.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "browser/page_messages.h"
#include "browser/request_checks.h"
#include "link/phone_link.h"
#include "page_client.h"
#include "phone/phone_messages.h"
#include "phone/phone_socket.h"

namespace zephra::browser {
namespace {

using namespace std::chrono_literals;
using test::HttpCall;
using test::TPageSocket;

constexpr char Token[] = "0123456789abcdef0123456789abcdef";

template <class Predicate>
bool WaitUntil(Predicate predicate, std::chrono::milliseconds timeout = 3000ms) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (!predicate()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(5ms);
  }
  return true;
}

TEST(RequestChecksTest, HostOriginOfferAndUploadTargetAreReadStrictly) {
  const net::TWebEndpoints reached{"192.168.137.1", 22309, "192.168.137.5"};
  EXPECT_TRUE(HostMatches("192.168.137.1:22309", reached));
  EXPECT_FALSE(HostMatches("evil.example:22309", reached));  // DNS rebinding
  EXPECT_FALSE(HostMatches("192.168.137.1", reached));
  EXPECT_FALSE(HostMatches("192.168.137.1:22309.evil", reached));
  EXPECT_TRUE(OriginMatches("http://192.168.137.1:22309", "192.168.137.1:22309"));
  EXPECT_FALSE(OriginMatches("https://192.168.137.1:22309", "192.168.137.1:22309"));
  EXPECT_FALSE(OriginMatches("null", "192.168.137.1:22309"));

  const TSocketOffer offer = ParseSocketOffer(" zephra ,token-abc,client-Tab_1");
  EXPECT_TRUE(offer.page);
  EXPECT_EQ(offer.token, "abc");
  EXPECT_EQ(offer.clientId, "Tab_1");
  EXPECT_TRUE(ParseSocketOffer("zephra, client-a/b").clientId.empty());
  EXPECT_FALSE(ParseSocketOffer("token-abc").page);

  EXPECT_EQ(UploadIdOf("/api/upload/17"), 17);
  for (const char* bad : {"/api/upload/", "/api/upload/-1", "/api/upload/1?x", "/api/upload/1x",
                          "/api/upload/99999999999", "/api/uploads/1"}) {
    EXPECT_FALSE(UploadIdOf(bad)) << bad;
  }
}

TEST(PageMessagesTest, ListsAreTakenOnlyWhenEveryEntryIsSound) {
  const auto show = ParsePageMessage(
      R"({"type":"show","index":1,"pictures":[{"name":"a-0.jpg","size":5},{"name":"a \"1\".png","size":0}]})");
  ASSERT_TRUE(show);
  EXPECT_EQ(show->command, TPageCommand::Show);
  EXPECT_EQ(show->index, 1);
  EXPECT_EQ(show->names, QStringList({"a-0.jpg", "a \"1\".png"}));
  EXPECT_EQ(show->sizes, QList<QByteArray>({"5", "0"}));

  for (const char* bad : {
           R"({"type":"show","index":2,"pictures":[{"name":"a.jpg","size":5}]})",
           R"({"type":"show","index":0,"pictures":[{"name":"a.jpg","size":5.5}]})",
           R"({"type":"show","index":0,"pictures":[{"name":"a.jpg","size":-1}]})",
           R"({"type":"show","index":0,"pictures":[{"name":"a.jpg","size":268435457}]})",
           R"({"type":"show","index":0,"pictures":[{"name":"a\nb.jpg","size":1}]})",
           R"({"type":"play","index":0,"pictures":[]})",
           R"({"type":"act","action":"explode"})",
           R"({"type":"shutdown"})",
           R"(["show"])",
           "not json",
       }) {
    EXPECT_FALSE(ParsePageMessage(bad)) << bad;
  }
  const auto act = ParsePageMessage(R"({"type":"act","action":"rotl"})");
  ASSERT_TRUE(act);
  EXPECT_EQ(act->action, link::TRemoteAction::RotateLeft);
}

class RecordingViewer : public link::IViewerPort {
 public:
  void ShowList(std::int32_t index, const QString& names, const QByteArray&) override {
    Record(QStringLiteral("show %1 %2").arg(index).arg(names));
  }
  void StartSlideShow(std::int32_t index, const QString&, const QByteArray&) override {
    Record(QStringLiteral("play %1").arg(index));
  }
  void StopSlideShow(bool) override { Record(QStringLiteral("stop")); }
  void CloseQuietly() override { Record(QStringLiteral("close")); }
  void Act(link::TRemoteAction) override { Record(QStringLiteral("act")); }
  bool Hidden() const override { return true; }
  QStringList Calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
  }

 private:
  void Record(const QString& call) {
    std::lock_guard lock(mutex_);
    calls_.append(call);
  }
  mutable std::mutex mutex_;
  QStringList calls_;
};

class Folders : public link::IPhoneFolders {
 public:
  QString PhoneFolder() const override { return {}; }
  void SetPhoneFolder(const QString&) override {}
};

class BrowserServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    link::TLinkConfig linkConfig;
    linkConfig.controlPort = 0;
    linkConfig.dataPort = 0;
    link_ = std::make_unique<link::TPhoneLink>(linkConfig, folders_,
                                               [] { return std::optional<bool>(true); });
    link_->SetViewer(viewer_);
    TBrowserConfig config;
    config.port = 0;
    config.token = Token;
    config.times = {400ms, 300ms};
    config.freeBytes = [this](const QString&) { return std::optional<std::uint64_t>(free_); };
    server_ = std::make_unique<TBrowserServer>(*link_, config);
    server_->SetRequestDone([this](std::int32_t id, std::int32_t code) {
      std::lock_guard lock(doneMutex_);
      done_.push_back({id, code});
    });
    ASSERT_TRUE(server_->SetActive(true)) << server_->ErrorText();
  }

  std::string Host() const { return "127.0.0.1:" + std::to_string(server_->Port()); }

  test::THttpAnswer Put(std::int32_t id, const std::string& body, std::size_t announced) {
    return HttpCall(server_->Port(),
                    "PUT /api/upload/" + std::to_string(id) + " HTTP/1.1\r\nHost: " + Host() +
                        "\r\nX-Zephra-Token: " + Token +
                        "\r\nContent-Length: " + std::to_string(announced) + "\r\n\r\n" + body);
  }

  // A page that holds the session and has shown a list of two pictures.
  void OpenWithList(TPageSocket& page) {
    ASSERT_TRUE(page.Open(server_->Port(), Token, "tab1"));
    ASSERT_TRUE(page.NextOf("state"));
    QJsonArray pictures{QJsonObject{{"name", "p-0.jpg"}, {"size", 5}},
                        QJsonObject{{"name", "p-1.jpg"}, {"size", 3}}};
    ASSERT_TRUE(page.Send({{"type", "show"}, {"index", 0}, {"pictures", pictures}}));
    ASSERT_TRUE(WaitUntil([&] { return !viewer_->Calls().isEmpty(); }));
  }

  std::vector<std::pair<std::int32_t, std::int32_t>> Done() {
    std::lock_guard lock(doneMutex_);
    return done_;
  }

  QTemporaryDir cache_;
  Folders folders_;
  std::shared_ptr<RecordingViewer> viewer_ = std::make_shared<RecordingViewer>();
  std::unique_ptr<link::TPhoneLink> link_;
  std::atomic<std::uint64_t> free_{std::uint64_t{100} << 30};
  std::unique_ptr<TBrowserServer> server_;
  std::mutex doneMutex_;
  std::vector<std::pair<std::int32_t, std::int32_t>> done_;
};

TEST_F(BrowserServerTest, ForeignHostsWrongTokensAndForeignOriginsAreRefused) {
  const std::string page = "GET / HTTP/1.1\r\nHost: " + Host() + "\r\n\r\n";
  EXPECT_EQ(HttpCall(server_->Port(), page).status, 200u);
  EXPECT_EQ(HttpCall(server_->Port(), "GET / HTTP/1.1\r\nHost: evil.example\r\n\r\n").status, 403u);
  const std::string check = "GET /api/check HTTP/1.1\r\nHost: " + Host() + "\r\nX-Zephra-Token: ";
  EXPECT_EQ(HttpCall(server_->Port(), check + Token + "\r\n\r\n").status, 204u);
  EXPECT_EQ(HttpCall(server_->Port(), check + "00" + (Token + 2) + "\r\n\r\n").status, 403u);
  EXPECT_EQ(HttpCall(server_->Port(), "GET /api/check HTTP/1.1\r\nHost: " + Host() +
                                          "\r\nCookie: token=" + Token + "\r\n\r\n")
                .status,
            403u);

  TPageSocket wrongToken, wrongOrigin;
  EXPECT_FALSE(wrongToken.Open(server_->Port(), "ffffffffffffffffffffffffffffffff", "tab1"));
  EXPECT_FALSE(wrongOrigin.Open(server_->Port(), Token, "tab1", "http://evil.example"));
  EXPECT_FALSE(link_->SessionPresent());

  // A header past the size bound is not read on.
  const std::string huge =
      "GET / HTTP/1.1\r\nHost: " + Host() + "\r\nX-Pad: " + std::string(9000, 'a') + "\r\n\r\n";
  EXPECT_EQ(HttpCall(server_->Port(), huge).status, 431u);
}

TEST_F(BrowserServerTest, OnePhoneAtATimeAndAPageResumesWithinTheGraceTime) {
  ASSERT_TRUE(link_->StartServers());
  TPageSocket page, other;
  ASSERT_TRUE(page.Open(server_->Port(), Token, "tab1"));
  EXPECT_EQ(page.NextOf("state")->value("state").toString(), "connected");
  EXPECT_EQ(link_->Session().Name, QByteArray(BrowserPhoneName));

  ASSERT_TRUE(other.Open(server_->Port(), Token, "tab2"));
  const auto busy = other.NextOf("state");
  ASSERT_TRUE(busy);
  EXPECT_EQ(busy->value("by").toString(), "browser");

  phone::PhoneSocket app;
  ASSERT_TRUE(app.Connect("127.0.0.1", link_->ControlPortInUse(), 3000ms));
  ASSERT_TRUE(app.Send(phone::MakeHello(link::MinPhoneVersion, "app")));
  const auto reply = app.Receive(3000ms);
  ASSERT_TRUE(reply);
  EXPECT_EQ(phone::ParseHelloReply(reply->payload)->status, link::stBusy);

  // A reload: the socket goes, the same tab comes back before the grace time ends.
  page.Close();
  std::this_thread::sleep_for(150ms);
  TPageSocket reloaded;
  ASSERT_TRUE(reloaded.Open(server_->Port(), Token, "tab1"));
  EXPECT_EQ(reloaded.NextOf("state")->value("state").toString(), "connected");
  reloaded.Close();
  ASSERT_TRUE(WaitUntil([&] { return !link_->SessionPresent(); }));
  EXPECT_TRUE(viewer_->Calls().contains("close"));
}

TEST_F(BrowserServerTest, UploadsAreCheckedAgainstTheListAndDoneInRequestOrder) {
  TPageSocket page;
  OpenWithList(page);
  EXPECT_EQ(viewer_->Calls().value(0), R"(show 0 "p-0.jpg","p-1.jpg")");
  const QString first = cache_.filePath("A.jpg"), second = cache_.filePath("B.jpg");
  server_->AddRequest(1, "p-0.jpg", first);
  server_->AddRequest(2, "p-1.jpg", second);
  server_->AddRequest(3, "never-listed.jpg", cache_.filePath("C.jpg"));
  EXPECT_EQ(page.NextOf("need")->value("id").toInt(), 1);
  EXPECT_EQ(page.NextOf("need")->value("id").toInt(), 2);

  EXPECT_EQ(Put(2, "xyz", 3).status, 204u);
  EXPECT_TRUE(Done().empty());  // the older request is not overtaken
  EXPECT_EQ(Put(9, "abcde", 5).status, 404u);
  EXPECT_EQ(Put(1, "toolong", 7).status, 413u);  // another size than the list's: it fails

  free_ = (std::uint64_t{1} << 30) + 2;  // a disk that would keep less than 1 GiB
  server_->AddRequest(4, "p-0.jpg", first);
  EXPECT_EQ(page.NextOf("need")->value("id").toInt(), 4);
  EXPECT_EQ(Put(4, "abcde", 5).status, 507u);

  ASSERT_TRUE(WaitUntil([&] { return Done().size() == 4; }));
  EXPECT_EQ(Done(), (std::vector<std::pair<std::int32_t, std::int32_t>>{{1, link::RequestFailed},
                                                                        {2, link::RequestComplete},
                                                                        {3, link::RequestFailed},
                                                                        {4, link::RequestFailed}}));
  QFile stored(second);
  ASSERT_TRUE(stored.open(QIODevice::ReadOnly));
  EXPECT_EQ(stored.readAll(), "xyz");
  EXPECT_EQ(QDir(cache_.path()).entryList(QDir::Files), QStringList({"B.jpg"}));
}

TEST_F(BrowserServerTest, ASilentPageIsAskedOnceMoreThenTheRequestFails) {
  TPageSocket page;
  OpenWithList(page);
  server_->AddRequest(4, "p-0.jpg", cache_.filePath("A.jpg"));
  EXPECT_EQ(page.NextOf("need")->value("id").toInt(), 4);
  EXPECT_EQ(page.NextOf("need")->value("id").toInt(), 4);  // after one silence
  EXPECT_EQ(page.NextOf("cancel")->value("id").toInt(), 4);
  ASSERT_TRUE(WaitUntil([&] { return !Done().empty(); }));
  EXPECT_EQ(Done().front(), std::make_pair(4, link::RequestFailed));
  EXPECT_EQ(Put(4, "abcde", 5).status, 404u);
  EXPECT_FALSE(QFile::exists(cache_.filePath("A.jpg")));
}

}  // namespace
}  // namespace zephra::browser
