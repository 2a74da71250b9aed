// The browser phone's server: the bytes a browser sends on one connection, read by the real
// server (Beast's parser with its header bound, the Host and token checks, the routes and the
// upload into the cache), while a page holds the session and one upload is asked for. In the
// input "{host}", "{token}" and "{id}" stand for the server's address, the run's token and the
// id of the request under way, so that the fuzzer reaches past the checks. The same bytes also
// go through the page-message reader.
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "browser/browser_server.h"
#include "browser/page_messages.h"
#include "fuzz_target.h"
#include "link/link_message.h"
#include "loopback_client.h"
#include "page_client.h"

namespace {

using namespace zephra;
using namespace std::chrono_literals;

constexpr std::size_t MaxInput = 16384;
constexpr char Token[] = "0123456789abcdef0123456789abcdef";
constexpr char Picture[] = "p-0.jpg";
constexpr int PictureSize = 5;

class TNoFolders : public link::IPhoneFolders {
 public:
  QString PhoneFolder() const override { return {}; }
  void SetPhoneFolder(const QString&) override {}
};

struct TBrowserSetUp {
  TBrowserSetUp() {
    ZEPHRA_FUZZ_CHECK(cache.isValid());
    ZEPHRA_FUZZ_CHECK(server.SetActive(true));
    server.SetRequestDone([this](std::int32_t, std::int32_t) { open = false; });
    ZEPHRA_FUZZ_CHECK(page.Open(server.Port(), Token, "fuzz"));
    ZEPHRA_FUZZ_CHECK(page.NextOf(QStringLiteral("state")));
    const QJsonArray pictures{QJsonObject{{"name", Picture}, {"size", PictureSize}}};
    ZEPHRA_FUZZ_CHECK(page.Send({{"type", "show"}, {"index", 0}, {"pictures", pictures}}));
  }

  static link::TLinkConfig LinkConfig() {
    link::TLinkConfig config;
    config.controlPort = 0;
    config.dataPort = 0;
    return config;
  }
  static browser::TBrowserConfig Config() {
    browser::TBrowserConfig config;
    config.port = 0;
    config.token = Token;
    config.limits.socketIdle = std::chrono::hours(1);  // the page never answers pings here
    config.times.silence = std::chrono::hours(1);
    return config;
  }

  // A new request for the picture once the last one ended.
  void AskAgain() {
    if (open) return;
    QFile::remove(Target());
    open = true;
    server.AddRequest(++id, QString::fromLatin1(Picture), Target());
    page.NextOf(QStringLiteral("need"), 2s);
  }
  QString Target() const { return cache.filePath(QStringLiteral("A.jpg")); }

  QTemporaryDir cache;
  TNoFolders folders;
  link::TPhoneLink link{LinkConfig(), folders, [] { return std::optional<bool>(true); }};
  browser::TBrowserServer server{link, Config()};
  browser::test::TPageSocket page;
  std::atomic<bool> open{false};
  std::int32_t id = 0;
};

std::string Filled(std::string text, const TBrowserSetUp& setUp) {
  const auto replace = [&text](const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at)) {
      text.replace(at, from.size(), to);
      at += to.size();
    }
  };
  replace("{host}", "127.0.0.1:" + std::to_string(setUp.server.Port()));
  replace("{token}", Token);
  replace("{id}", std::to_string(setUp.id));
  return text;
}

// One answer at most; a stored upload is whole; nothing half-written stays behind.
void CheckOutcome(const std::string& answer, const TBrowserSetUp& setUp) {
  if (!answer.empty()) ZEPHRA_FUZZ_CHECK(answer.rfind("HTTP/1.1 ", 0) == 0);
  for (const QFileInfo& file : QDir(setUp.cache.path()).entryInfoList(QDir::Files)) {
    ZEPHRA_FUZZ_CHECK(file.fileName() == QLatin1String("A.jpg"));
    ZEPHRA_FUZZ_CHECK(file.size() == PictureSize);
  }
}

void CheckPageMessage(const std::uint8_t* data, std::size_t size) {
  const auto message =
      browser::ParsePageMessage(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!message) return;
  ZEPHRA_FUZZ_CHECK(message->names.size() == message->sizes.size());
  const auto list = link::MakePictureList(message->index, message->names, message->sizes);
  ZEPHRA_FUZZ_CHECK(list.Count == message->names.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > MaxInput) return 0;
  static TBrowserSetUp setUp;
  setUp.AskAgain();
  const std::string input = Filled(std::string(reinterpret_cast<const char*>(data), size), setUp);
  const std::string answer = fuzz::Exchange(
      setUp.server.Port(), reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
  // Only the page's own socket stays open between inputs.
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (setUp.server.ConnectionCount() > 1) {
    ZEPHRA_FUZZ_CHECK(std::chrono::steady_clock::now() < deadline);
    std::this_thread::yield();
  }
  CheckOutcome(answer, setUp);
  CheckPageMessage(data, size);
  return 0;
}
